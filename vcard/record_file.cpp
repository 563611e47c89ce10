#include "vcard/record_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "vcard/file_write.h"
#include "vcard/vcard_line.h"

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

std::pair<std::string, std::string> SplitPath(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// A folder's descriptor for the *at calls of its files, or -1 with errno set. O_PATH: a folder
// the user may write but not list is still reached.
int OpenFolder(const std::string& folder) { return ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC); }

// An unnamed file in the folder `where` relative to `dir` ("." for the folder `dir` itself),
// or -1 with errno set.
int OpenUnnamed(int dir, const char* where) { return internal::OpenUnnamedFile(dir, where); }

// The descriptor's path through /proc, which links an unnamed file by its descriptor.
std::string SelfPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// Whether linking a descriptor itself (AT_EMPTY_PATH) works for this process: it needs the
// capability to read any file, which a user's process rarely has; its way through
// /proc/self/fd is the one that always works but walks a path more.
std::atomic<int> g_empty_path_links{-1};  // -1 not tried yet, 0 no, 1 yes

// Gives the unnamed file `fd` the name `name` in `folder_fd` (AT_FDCWD: `name` is a path);
// 0, or -1 with errno set.
int LinkUnnamed(int fd, int folder_fd, const std::string& name) {
  if (g_empty_path_links.load(std::memory_order_relaxed) != 0) {
    if (::linkat(fd, "", folder_fd, name.c_str(), AT_EMPTY_PATH) == 0) {
      g_empty_path_links.store(1, std::memory_order_relaxed);
      return 0;
    }
    if (errno != ENOENT && errno != EPERM) return -1;
    if (g_empty_path_links.load(std::memory_order_relaxed) == 1) return -1;  // the folder is gone
    g_empty_path_links.store(0, std::memory_order_relaxed);
  }
  return ::linkat(AT_FDCWD, SelfPath(fd).c_str(), folder_fd, name.c_str(), AT_SYMLINK_FOLLOW);
}

// The errors of a file system (or kernel) that has no unnamed files.
bool UnnamedFilesUnsupported(int error) { return error == EOPNOTSUPP || error == EISDIR || error == EINVAL; }

// Temporaries are named ".cardwright-<process id>-<count>.tmp", so a later run can tell its
// own leftovers from anything else in the folder.
constexpr std::string_view kTemporaryPrefix = ".cardwright-";
constexpr std::string_view kTemporarySuffix = ".tmp";

// A fresh temporary's name: ".cardwright-<process id>-<count>.tmp" after `prefix`.
std::string NextTemporaryName(const std::string& prefix) {
  static std::atomic<unsigned long> counter{0};
  return prefix + std::string(kTemporaryPrefix) + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
         std::string(kTemporarySuffix);
}

// Whether the name `name` relative to `dir` is the file open as `fd`.
bool NameIsFile(int dir, const std::string& name, int fd) {
  struct stat by_name {};
  struct stat by_fd {};
  return ::fstatat(dir, name.c_str(), &by_name, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &by_fd) == 0 &&
         by_name.st_dev == by_fd.st_dev && by_name.st_ino == by_fd.st_ino;
}

// A new named temporary relative to `dir`, its name (`temp_name`) beginning with `prefix`
// ("" in the folder `dir` itself; the folder's path and "/" when `dir` is AT_FDCWD); -1 with
// errno set when none can be made.
//
// It is held under an advisory lock (flock) for as long as it is open: the leftover sweep of
// any other run, in whatever process, container or host, removes only temporaries it can
// lock. A sweep that slipped in between the file's creation and its lock is caught by
// looking the name up again, and a new temporary is made.
int RegisterTemporary(int dir, const std::string& name);
void UnregisterTemporary(int& slot) noexcept;

// Creates a named temporary, locked. With `slot`, the name is entered for the SIGTERM/SIGINT
// handler before the file is created, as LinkAsTemporary does.
int OpenNamedTemporary(int dir, const std::string& prefix, std::string& temp_name, int* slot = nullptr) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_name = NextTemporaryName(prefix);
    if (slot) *slot = RegisterTemporary(dir, temp_name);
    const int fd = ::openat(dir, temp_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      const int error = errno;
      if (slot) UnregisterTemporary(*slot);
      errno = error;
      if (errno != EEXIST) break;
      continue;
    }
    int locked;
    do {
      locked = ::flock(fd, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    // A file system without locks still gets its temporary; its sweep goes by process ids.
    if (locked != 0 || NameIsFile(dir, temp_name, fd)) return fd;
    if (slot) UnregisterTemporary(*slot);
    ::close(fd);
  }
  temp_name.clear();
  return -1;
}

// Links the unnamed file `fd` under a new temporary's name relative to `dir` (its name in
// `temp_name`, beginning with `prefix`), locked first as OpenNamedTemporary locks its files;
// 0, or -1 with errno set.
// Links the unnamed file `fd` under a new temporary name. The name is entered for the
// SIGTERM/SIGINT handler (`slot`) before it appears, so a signal at any moment after it
// appears removes it; a signal before finds no such name and does nothing.
int LinkAsTemporary(int fd, int dir, const std::string& prefix, std::string& temp_name, int& slot) {
  ::flock(fd, LOCK_EX);  // the inode's lock: the name is locked from the moment it appears
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_name = NextTemporaryName(prefix);
    slot = RegisterTemporary(dir, temp_name);
    if (LinkUnnamed(fd, dir, temp_name) == 0) return 0;
    const int error = errno;
    UnregisterTemporary(slot);  // the name is another file's, or none
    errno = error;
    if (errno != EEXIST) break;
  }
  const int error = errno;
  temp_name.clear();
  errno = error;
  return -1;
}

// The named temporaries this process has open, for the SIGTERM and SIGINT handler to remove
// before the process ends: a fixed table, so the handler reads it without locks or
// allocation. A temporary that finds no free slot is left to the next run's sweep.
struct TemporarySlot {
  std::atomic<int> state{0};  // 0 free, 1 being filled or emptied, 2 holds a temporary
  int dir = AT_FDCWD;
  char name[PATH_MAX] = {};
};
constexpr int kTemporarySlots = 64;
TemporarySlot g_temporaries[kTemporarySlots];
struct sigaction g_previous_term {};
struct sigaction g_previous_int {};

void RemoveTemporariesAndEnd(int signal_number) {
  const int saved_errno = errno;
  for (TemporarySlot& slot : g_temporaries) {
    if (slot.state.load(std::memory_order_acquire) == 2) ::unlinkat(slot.dir, slot.name, 0);
  }
  const struct sigaction& previous = signal_number == SIGTERM ? g_previous_term : g_previous_int;
  if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
    // Someone else handles the signal too: theirs runs after ours.
    if ((previous.sa_flags & SA_SIGINFO) == 0) previous.sa_handler(signal_number);
    errno = saved_errno;
    return;
  }
  ::sigaction(signal_number, &previous, nullptr);
  ::raise(signal_number);  // ends the process as the signal would have
  errno = saved_errno;
}

// Installs the handler once, for signals whose disposition is not to be ignored.
void HandleEndingSignals() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndEnd;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGTERM);
    sigaddset(&action.sa_mask, SIGINT);
    action.sa_flags = SA_RESTART;
    for (const auto& [number, previous] : {std::pair{SIGTERM, &g_previous_term}, std::pair{SIGINT, &g_previous_int}}) {
      struct sigaction current {};
      if (::sigaction(number, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
      if ((current.sa_flags & SA_SIGINFO) != 0) continue;  // a handler we cannot chain to
      *previous = current;
      ::sigaction(number, &action, nullptr);
    }
  });
}

// Enters a temporary for the signal handler; its slot, or -1 when none is free or the name
// is too long to hold.
int RegisterTemporary(int dir, const std::string& name) {
  if (name.size() >= PATH_MAX) return -1;
  HandleEndingSignals();
  for (int i = 0; i < kTemporarySlots; ++i) {
    int free_state = 0;
    if (!g_temporaries[i].state.compare_exchange_strong(free_state, 1, std::memory_order_acquire)) continue;
    g_temporaries[i].dir = dir;
    std::memcpy(g_temporaries[i].name, name.c_str(), name.size() + 1);
    g_temporaries[i].state.store(2, std::memory_order_release);
    return i;
  }
  return -1;
}

void UnregisterTemporary(int& slot) noexcept {
  if (slot >= 0) g_temporaries[slot].state.store(0, std::memory_order_release);
  slot = -1;
}

bool AllDigits(std::string_view s, std::size_t most) {
  return !s.empty() && s.size() <= most && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The process that made a temporary of ours called `name`, or nothing for any other name.
std::optional<pid_t> TemporaryOwner(std::string_view name) {
  if (name.size() < kTemporaryPrefix.size() + kTemporarySuffix.size() ||
      name.substr(0, kTemporaryPrefix.size()) != kTemporaryPrefix ||
      name.substr(name.size() - kTemporarySuffix.size()) != kTemporarySuffix) {
    return std::nullopt;
  }
  name = name.substr(kTemporaryPrefix.size(), name.size() - kTemporaryPrefix.size() - kTemporarySuffix.size());
  const std::size_t dash = name.find('-');
  if (dash == std::string_view::npos || !AllDigits(name.substr(0, dash), 9) || !AllDigits(name.substr(dash + 1), 20)) {
    return std::nullopt;
  }
  return static_cast<pid_t>(std::stol(std::string(name.substr(0, dash))));
}

// Refuses replacing the file `name` (its status `target`) where the rename would fail, and
// where the user may not write it.
void CheckReplaceable(const struct stat& target, int folder_fd, const std::string& name, const std::string& path) {
  if (S_ISDIR(target.st_mode)) FailWithErrno("Cannot create file", path, EISDIR);
  if ((target.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::faccessat(folder_fd, name.c_str(), W_OK, 0) != 0) {
    throw std::runtime_error("Cannot create file " + path + ": the file is read-only");
  }
}

}  // namespace

namespace {

// Appends `record` to `out` as well-formed UTF-8, each ill-formed byte as U+FFFD.
void AppendUtf8(std::string& out, std::string_view record) {
  // Text from the readers is nearly always well-formed and mostly ASCII: skip ASCII eight
  // bytes at a time, copy everything before the first ill-formed byte at once, and repair
  // only from there on.
  std::size_t i = 0;
  while (i < record.size()) {
    if (record.size() - i >= 8) {
      std::uint64_t word;
      std::memcpy(&word, record.data() + i, 8);
      if ((word & 0x8080808080808080u) == 0) {
        i += 8;
        continue;
      }
    }
    if (static_cast<unsigned char>(record[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t n = Utf8SequenceLength(record, i);
    if (n == 0) break;
    i += n;
  }
  out.append(record.substr(0, i));
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
}

}  // namespace

std::string EncodeUtf8(std::string_view record) {
  std::string out;
  AppendUtf8(out, record);
  return out;
}

std::string_view FileStart(ExportEncoding encoding, VCardVersion version) {
  switch (encoding) {
    case ExportEncoding::Utf8:
      return RulesFor(version).utf8_byte_order_mark ? kUtf8ByteOrderMark : std::string_view();
    case ExportEncoding::Ansi:
      return {};
  }
  return {};  // not reached: every encoding has its case above
}

void AppendRecordBytes(std::string& out, std::string_view record, ExportEncoding encoding, const CodePage& code_page) {
  switch (encoding) {
    case ExportEncoding::Utf8:
      AppendUtf8(out, record);
      break;
    case ExportEncoding::Ansi:
      out += code_page.Encode(record);
      break;
  }
  out += "\r\n";
}

std::string RecordFileBytes(std::string_view record, ExportEncoding encoding, VCardVersion version,
                            const CodePage& code_page) {
  std::string bytes;
  const std::string_view start = FileStart(encoding, version);
  bytes.reserve(start.size() + record.size() + 2);
  bytes = start;
  AppendRecordBytes(bytes, record, encoding, code_page);
  return bytes;
}

OutputFolder::OutputFolder(std::string path) : path_(std::move(path)) {
  fd_ = OpenFolder(path_);
  if (fd_ < 0) return;
  // One pass over the folder spares every new file a lookup of its own. A folder of very many
  // names is not held in memory: its files are looked up one by one instead.
  constexpr std::size_t kMostNames = std::size_t{1} << 22;
  const int listing_fd = ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = listing_fd >= 0 ? ::fdopendir(listing_fd) : nullptr;
  if (!dir) {
    if (listing_fd >= 0) ::close(listing_fd);
    return;
  }
  errno = 0;
  bool whole = true;
  while (const dirent* entry = ::readdir(dir)) {
    if (names_.size() == kMostNames) {
      whole = false;
      break;
    }
    names_.push_back(std::hash<std::string_view>{}(entry->d_name));
  }
  if (errno != 0) whole = false;
  ::closedir(dir);
  if (!whole) {
    names_ = {};
    return;
  }
  std::sort(names_.begin(), names_.end());
  listed_ = true;
}

bool OutputFolder::MayHold(std::string_view name) const {
  return !listed_ || std::binary_search(names_.begin(), names_.end(), std::hash<std::string_view>{}(name));
}

OutputFolder::~OutputFolder() {
  if (fd_ >= 0) ::close(fd_);
}

RecordFile::RecordFile(RecordFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      folder_fd_(other.folder_fd_),
      owns_folder_(std::exchange(other.owns_folder_, false)),
      replaces_(other.replaces_),
      temp_slot_(std::exchange(other.temp_slot_, -1)),
      path_(std::move(other.path_)),
      name_(std::move(other.name_)),
      temp_name_(std::move(other.temp_name_)) {}

RecordFile& RecordFile::operator=(RecordFile&& other) noexcept {
  if (this != &other) {
    Discard();
    fd_ = std::exchange(other.fd_, -1);
    folder_fd_ = other.folder_fd_;
    owns_folder_ = std::exchange(other.owns_folder_, false);
    replaces_ = other.replaces_;
    temp_slot_ = std::exchange(other.temp_slot_, -1);
    path_ = std::move(other.path_);
    name_ = std::move(other.name_);
    temp_name_ = std::move(other.temp_name_);
  }
  return *this;
}

RecordFile::~RecordFile() { Discard(); }

void RecordFile::Discard() noexcept {
  if (fd_ >= 0) {
    // A named temporary goes while still locked; an unnamed file goes with its last descriptor.
    if (!temp_name_.empty()) ::unlinkat(folder_fd_, temp_name_.c_str(), 0);
    ::close(fd_);
    fd_ = -1;
  }
  UnregisterTemporary(temp_slot_);
  ReleaseFolder();
}

void RecordFile::ReleaseFolder() noexcept {
  if (owns_folder_) ::close(folder_fd_);
  owns_folder_ = false;
}

RecordFile RecordFile::Create(const std::string& path) {
  const auto [folder, name] = SplitPath(path);
  if (name.empty()) throw std::runtime_error("Bad file name: " + path);
  // Held open until the file is closed, so that the file keeps to this folder wherever it
  // goes; where it cannot be opened, the steps below say why by the whole path.
  const int folder_fd = OpenFolder(folder);
  return CreateAt(folder_fd, folder_fd >= 0, folder, name, false);
}

RecordFile RecordFile::Create(const OutputFolder& folder, const std::string& name) {
  // A name the folder did not hold needs no lookup of its own. Should it appear in the
  // meantime, Close finds it taken and replaces it the way it replaces any existing file.
  const bool surely_new = folder.Descriptor() >= 0 && name.size() <= NAME_MAX && !folder.MayHold(name);
  return CreateAt(folder.Descriptor(), false, folder.Path(), name, surely_new);
}

RecordFile RecordFile::CreateAt(int folder_fd, bool owns_folder, const std::string& folder, const std::string& name,
                                bool surely_new) {
  RecordFile file;
  // Relative to the open folder where it is open, else by the whole path.
  const bool relative = folder_fd >= 0;
  file.folder_fd_ = relative ? folder_fd : AT_FDCWD;
  file.owns_folder_ = relative && owns_folder;
  const std::string path = folder + "/" + name;
  if (name.empty()) throw std::runtime_error("Bad file name: " + path);
  file.path_ = path;
  file.name_ = relative ? name : path;
  const std::string temp_prefix = relative ? std::string() : folder + "/";
  if (surely_new && relative) {
    file.fd_ = OpenUnnamed(folder_fd, ".");
    if (file.fd_ >= 0) return file;
  }
  struct stat target {};
  const bool exists = ::fstatat(file.folder_fd_, file.name_.c_str(), &target, 0) == 0;
  // No such name yet: stat has also checked the name's length and the folders on the way.
  if (!exists && errno != ENOENT) FailWithErrno("Cannot create file", path, errno);
  if (exists) CheckReplaceable(target, file.folder_fd_, file.name_, path);
  // An existing file is replaced by an unnamed file too, linked under a temporary name and
  // renamed over it only at Close: a kill while it is written leaves nothing behind.
  file.fd_ = OpenUnnamed(file.folder_fd_, relative ? "." : folder.c_str());
  if (file.fd_ < 0 && UnnamedFilesUnsupported(errno)) {
    file.fd_ = OpenNamedTemporary(file.folder_fd_, temp_prefix, file.temp_name_, &file.temp_slot_);
  }
  if (file.fd_ < 0) FailWithErrno("Cannot create file", path, errno);
  if (exists) {
    file.replaces_ = true;
    ::fchmod(file.fd_, target.st_mode & 07777);  // best effort: the contents matter more
  }
  return file;
}

void RecordFile::Write(std::string_view bytes) {
  if (fd_ < 0) throw std::runtime_error("Bad file name or number: no file is open for writing");
  while (!bytes.empty()) {
    const long n = internal::WriteFileBytes(fd_, bytes.data(), bytes.size());
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
  // A folder opened for this file alone is let go however the close ends.
  struct Release {
    RecordFile& file;
    ~Release() { file.ReleaseFolder(); }
  } release{*this};
  const int fd = std::exchange(fd_, -1);
  if (temp_name_.empty() && replaces_) {
    // Over an existing file: linked under a temporary name, then renamed over it.
    ReplaceWithUnnamed(fd);  // closes fd
    return;
  }
  if (temp_name_.empty()) {
    // Create, write, link, close: the name appears with the whole file behind it.
    const int linked = LinkUnnamed(fd, folder_fd_, name_);
    const int error = errno;
    if (linked != 0 && error == EEXIST) {
      ReplaceTakenName(fd);  // closes fd
      return;
    }
    ::close(fd);
    if (linked != 0) FailWithErrno("Cannot create file", path_, error);
    return;
  }
  // Renamed while still open, so its lock holds until the name is gone; then closed.
  const bool renamed = ::renameat(folder_fd_, temp_name_.c_str(), folder_fd_, name_.c_str()) == 0;
  const int rename_error = errno;
  if (!renamed) ::unlinkat(folder_fd_, temp_name_.c_str(), 0);
  UnregisterTemporary(temp_slot_);
  const int closed = ::close(fd);
  const int close_error = errno;
  if (!renamed) FailWithErrno("Cannot create file", path_, rename_error);
  if (closed != 0) FailWithErrno("Cannot write file", path_, close_error);
}

void RecordFile::ReplaceWithUnnamed(int fd) {
  std::string temp;
  const std::string temp_prefix = folder_fd_ == AT_FDCWD ? SplitPath(path_).first + "/" : std::string();
  int slot = -1;
  if (LinkAsTemporary(fd, folder_fd_, temp_prefix, temp, slot) != 0) {
    const int error = errno;
    ::close(fd);
    FailWithErrno("Cannot create file", path_, error);
  }
  const bool renamed = ::renameat(folder_fd_, temp.c_str(), folder_fd_, name_.c_str()) == 0;
  const int error = errno;
  if (!renamed) ::unlinkat(folder_fd_, temp.c_str(), 0);
  UnregisterTemporary(slot);
  ::close(fd);
  if (!renamed) FailWithErrno("Cannot create file", path_, error);
}

void RecordFile::ReplaceTakenName(int fd) {
  // The name was taken after Create looked: the file there is replaced the way Create
  // replaces an existing file, linked under a temporary name renamed over it, keeping its
  // permission bits, and refused when the user may not write it.
  struct stat target {};
  if (::fstatat(folder_fd_, name_.c_str(), &target, 0) == 0) {
    try {
      CheckReplaceable(target, folder_fd_, name_, path_);
    } catch (...) {
      ::close(fd);
      throw;
    }
    ::fchmod(fd, target.st_mode & 07777);  // best effort, as at Create
  }
  ReplaceWithUnnamed(fd);
}

std::optional<std::string> FolderWriteProblem(const std::string& folder) {
  const int folder_fd = OpenFolder(folder);
  if (folder_fd < 0) return std::string(std::strerror(errno));
  int fd = OpenUnnamed(folder_fd, ".");
  std::string temp;
  if (fd < 0 && UnnamedFilesUnsupported(errno)) fd = OpenNamedTemporary(folder_fd, "", temp);
  const int error = errno;
  if (fd >= 0) {
    if (!temp.empty()) ::unlinkat(folder_fd, temp.c_str(), 0);
    ::close(fd);
  }
  ::close(folder_fd);
  if (fd < 0) return std::string(std::strerror(error));
  return std::nullopt;
}

std::size_t RemoveLeftoverTemporaries(const std::string& folder) {
  std::size_t removed = 0;
  DIR* dir = ::opendir(folder.c_str());  // its names are removed relative to it, below
  if (!dir) return 0;
  while (const dirent* entry = ::readdir(dir)) {
    const auto pid = TemporaryOwner(entry->d_name);
    if (!pid) continue;
    // A temporary of a run still going in this process, or in another of this system, stays.
    if (*pid == ::getpid() || ::kill(*pid, 0) == 0 || errno == EPERM) continue;
    // A process id says nothing of a run in another container or on another host sharing
    // the folder: a live run holds its temporary locked, so only one that can be locked goes.
    const int fd = ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    const std::string name = entry->d_name;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && NameIsFile(::dirfd(dir), name, fd) &&
        ::unlinkat(::dirfd(dir), name.c_str(), 0) == 0) {
      ++removed;
    }
    ::close(fd);
  }
  ::closedir(dir);
  return removed;
}

}  // namespace cw::vcard
