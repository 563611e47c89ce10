#include "run/photo_file.h"

#include <Magick++.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <mutex>
#include <stdexcept>

namespace cw::run {
namespace {

// The most pixels a photo to be shrunk may decode to: a 48-megapixel camera's (8000 x 6000),
// about 400 MB decoded, so that a small file cannot claim gigabytes as it is decoded.
constexpr long long kMaxPixels = 50LL * 1000 * 1000;
constexpr int kShrinkAttempts = 12;

std::string_view TypeOf(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xD8\xFF")) return "jpeg";
  if (bytes.starts_with("\x89PNG\r\n\x1A\n")) return "png";
  if (bytes.starts_with("GIF87a") || bytes.starts_with("GIF89a")) return "gif";
  return {};
}

[[noreturn]] void Fail(const std::string& path, std::string_view why) {
  throw std::runtime_error("The photo " + path + " " + std::string(why) + "; the contact is written without it.");
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

void StartMagick() {
  static std::once_flag once;
  std::call_once(once, [] {
    Magick::InitializeMagick(nullptr);
    MagickLib::SetMagickResourceLimit(MagickLib::PixelsResource, kMaxPixels);
    MagickLib::SetMagickResourceLimit(MagickLib::WidthResource, 65535);
    MagickLib::SetMagickResourceLimit(MagickLib::HeightResource, 65535);
  });
}

}  // namespace

vcard::PhotoData ReadPhotoFile(std::string_view cell, const std::string& workbook_folder) {
  std::string path(cell);
  if (path.find('\0') != std::string::npos) Fail("\"" + path + "\"", "is not a file name");
  if (!path.starts_with('/')) path = (workbook_folder.empty() ? std::string(".") : workbook_folder) + "/" + path;
  // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
  const Descriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) Fail(path, "was not found");
    if (error == ELOOP) Fail(path, "is a symbolic link, which is not followed");
    Fail(path, std::string("could not be opened (") + std::strerror(error) + ")");
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) Fail(path, "is not a regular file");
  if (static_cast<unsigned long long>(st.st_size) > kMaxPhotoFileBytes) {
    Fail(path, "is larger than " + std::to_string(kMaxPhotoFileBytes / (std::size_t{1024} * 1024)) + " MB");
  }
  std::string bytes;
  bytes.resize(static_cast<std::size_t>(st.st_size));
  std::size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail(path, std::string("could not be read (") + std::strerror(errno) + ")");
    if (n == 0) break;  // shortened while read
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  const std::string_view type = TypeOf(bytes);
  if (type.empty()) Fail(path, "is not a JPEG, PNG or GIF image");
  try {
    return {type, ShrinkImage(std::move(bytes), type, kMaxPhotoBytes)};
  } catch (const std::runtime_error& e) {
    Fail(path, e.what());
  }
}

std::string ShrinkImage(std::string bytes, std::string_view type, std::size_t max_bytes) {
  if (bytes.size() <= max_bytes) return bytes;
  StartMagick();
  try {
    Magick::Image original;
    original.read(Magick::Blob(bytes.data(), bytes.size()));
    const double width = original.columns();
    const double height = original.rows();
    // The area shrinks about as the file does; start there and step down until it fits.
    double scale = std::sqrt(static_cast<double>(max_bytes) / static_cast<double>(bytes.size()));
    for (int attempt = 0; attempt < kShrinkAttempts; ++attempt, scale *= 0.8) {
      const auto w = static_cast<unsigned>(std::max(1.0, std::floor(width * scale)));
      const auto h = static_cast<unsigned>(std::max(1.0, std::floor(height * scale)));
      Magick::Image image = original;
      Magick::Geometry size(w, h);
      size.aspect(true);  // exactly w x h, which keeps the aspect as both are scaled alike
      image.resize(size);
      image.strip();
      image.magick(type == "jpeg" ? "JPEG" : type == "png" ? "PNG" : "GIF");
      if (type == "jpeg") image.quality(85);
      Magick::Blob out;
      image.write(&out);
      if (out.length() <= max_bytes) return std::string(static_cast<const char*>(out.data()), out.length());
    }
  } catch (const Magick::Exception& e) {
    throw std::runtime_error(std::string("could not be read as an image (") + e.what() + ")");
  }
  throw std::runtime_error("could not be made smaller than " + std::to_string(max_bytes / 1024) + " KB");
}

}  // namespace cw::run
