#include "vcard/record_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace cw::vcard {
namespace {

[[noreturn]] void FailWithErrno(const std::string& what, const std::string& path, int error) {
  throw std::runtime_error(what + " " + path + ": " + std::strerror(error));
}

// Length of the well-formed UTF-8 sequence at s[i], or 0 when it is ill-formed.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
  const auto cont = [&](std::size_t k) { return i + k < s.size() && (b(k) & 0xC0) == 0x80; };
  const unsigned char c = b(0);
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return cont(1) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    if (!cont(1) || !cont(2)) return 0;
    if (c == 0xE0 && b(1) < 0xA0) return 0;   // overlong
    if (c == 0xED && b(1) >= 0xA0) return 0;  // a surrogate
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (!cont(1) || !cont(2) || !cont(3)) return 0;
    if (c == 0xF0 && b(1) < 0x90) return 0;
    if (c == 0xF4 && b(1) >= 0x90) return 0;
    return 4;
  }
  return 0;
}

}  // namespace

std::string EncodeUtf8(std::string_view record) {
  // Text from the readers is nearly always well-formed: find the first ill-formed byte, copy
  // everything before it at once, and repair only from there on.
  std::size_t i = 0;
  while (i < record.size()) {
    if (static_cast<unsigned char>(record[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t n = Utf8SequenceLength(record, i);
    if (n == 0) break;
    i += n;
  }
  std::string out(record.substr(0, i));
  while (i < record.size()) {
    const std::size_t n = Utf8SequenceLength(record, i);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(record.substr(i, n));
      i += n;
    }
  }
  return out;
}

RecordFile::RecordFile(RecordFile&& other) noexcept
    : fd_(other.fd_), path_(std::move(other.path_)), temp_path_(std::move(other.temp_path_)) {
  other.fd_ = -1;
}

RecordFile& RecordFile::operator=(RecordFile&& other) noexcept {
  if (this != &other) {
    Discard();
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    temp_path_ = std::move(other.temp_path_);
    other.fd_ = -1;
  }
  return *this;
}

RecordFile::~RecordFile() { Discard(); }

const std::string& RecordFile::WritingPath() const { return temp_path_.empty() ? path_ : temp_path_; }

void RecordFile::Discard() noexcept {
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(WritingPath().c_str());
    fd_ = -1;
  }
}

RecordFile RecordFile::Create(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) throw std::runtime_error("Bad file name: " + path);
  RecordFile file;
  file.path_ = path;
  // A new name is written in place: created exclusively, and removed again if the write
  // does not complete, so no truncated file is left behind.
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd >= 0) {
    file.fd_ = fd;
    return file;
  }
  if (errno != EEXIST) FailWithErrno("Cannot create file", path, errno);
  // An existing file is replaced only when the new one is complete: the content goes to a
  // temporary in the same folder (so the rename never crosses file systems) that is renamed
  // over it. Refuse here what that rename would refuse, so a bad target fails at creation.
  struct stat target {};
  if (::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) FailWithErrno("Cannot create file", path, EISDIR);
  static std::atomic<unsigned long> counter{0};
  std::string temp;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = folder + "/.cw-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) FailWithErrno("Cannot create file", path, errno);
  file.fd_ = fd;
  file.temp_path_ = std::move(temp);
  return file;
}

void RecordFile::Write(std::string_view bytes) {
  if (fd_ < 0) throw std::runtime_error("Bad file name or number: no file is open for writing");
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      Discard();
      FailWithErrno("Cannot write file", path_, error);
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

void RecordFile::Close() {
  if (fd_ < 0) return;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(WritingPath().c_str());
    FailWithErrno("Cannot write file", path_, error);
  }
  if (temp_path_.empty()) return;
  if (::rename(temp_path_.c_str(), path_.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp_path_.c_str());
    FailWithErrno("Cannot create file", path_, error);
  }
}

void WriteRecordFile(const std::string& path, std::string_view record, ExportEncoding encoding,
                     const CodePage& code_page) {
  std::string bytes;
  if (encoding == ExportEncoding::Utf8) {
    bytes = std::string(kUtf8ByteOrderMark) + EncodeUtf8(record);
  } else {
    bytes = code_page.Encode(record);
  }
  bytes += "\r\n";
  RecordFile file = RecordFile::Create(path);
  file.Write(bytes);
  file.Close();
}

}  // namespace cw::vcard
