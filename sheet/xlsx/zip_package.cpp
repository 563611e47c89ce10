#include "sheet/xlsx/zip_package.h"

#include <zip.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "sheet/xlsx/xlsx_error.h"

namespace cw::sheet::xlsx {
namespace {

constexpr std::size_t kChunk = std::size_t{64} * 1024;
// Reading ahead pays for its thread from parts of this size on; it holds this many chunks.
constexpr std::uint64_t kReadAheadFrom = std::uint64_t{1} << 20;
constexpr std::size_t kChunksAhead = 4;

std::string MiB(std::uint64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

std::uint64_t TimesRatio(std::uint64_t size, std::uint64_t ratio) {
  return ratio != 0 && size > UINT64_MAX / ratio ? UINT64_MAX : size * ratio;
}

zip_t* OpenSource(zip_source_t* source) {
  zip_error_t error;
  zip_error_init(&error);
  zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
  const int code = zip_error_code_zip(&error);
  std::string reason = archive ? std::string() : zip_error_strerror(&error);
  if (!reason.empty() && reason[0] >= 'A' && reason[0] <= 'Z') reason[0] = static_cast<char>(reason[0] - 'A' + 'a');
  zip_error_fini(&error);
  if (!archive) {
    zip_source_free(source);
    if (code == ZIP_ER_ENCRNOTSUPP || code == ZIP_ER_NOPASSWD || code == ZIP_ER_WRONGPASSWD) {
      FailXlsx(XlsxErrorCode::kEncrypted);
    }
    FailXlsx(XlsxErrorCode::kNotZip, {}, reason);
  }
  return archive;
}

std::string Folded(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

}  // namespace

ZipPackage::ZipPackage(std::span<const std::byte> bytes, PartLimits limits) : limits_(limits) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(
      bytes.empty() ? static_cast<const void*>("") : static_cast<const void*>(bytes.data()), bytes.size(), 0, &error);
  zip_error_fini(&error);
  if (!source) FailXlsx(XlsxErrorCode::kNotZip);
  archive_ = OpenSource(source);
  total_budget_ = std::max(limits_.total_floor, TimesRatio(bytes.size(), limits_.max_ratio));
  archive_size_ = bytes.size();
  IndexEntries();
}

ZipPackage::ZipPackage(zip_t* archive, PartLimits limits, std::uint64_t archive_size)
    : archive_(archive),
      limits_(limits),
      total_budget_(std::max(limits.total_floor, TimesRatio(archive_size, limits.max_ratio))),
      archive_size_(archive_size) {
  IndexEntries();
}

ZipPackage ZipPackage::OpenFile(const std::string& path, PartLimits limits) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_file_create(path.c_str(), 0, -1, &error);
  zip_error_fini(&error);
  if (!source) FailXlsx(XlsxErrorCode::kNotZip);
  zip_stat_t st;
  zip_stat_init(&st);
  const std::uint64_t size = zip_source_stat(source, &st) == 0 && (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
  return ZipPackage(OpenSource(source), limits, size);
}

ZipPackage::~ZipPackage() {
  if (archive_) zip_discard(archive_);
}

ZipPackage::ZipPackage(ZipPackage&& other) noexcept
    : archive_(other.archive_),
      limits_(other.limits_),
      total_budget_(other.total_budget_),
      archive_size_(other.archive_size_),
      entries_(std::move(other.entries_)),
      read_(std::move(other.read_)),
      inflated_(other.inflated_),
      lock_(std::move(other.lock_)) {
  other.archive_ = nullptr;
}

// Two entries whose names differ only in case or in "\" for "/" name one part (part names
// compare that way, ECMA-376 Part 2, 9.1.1.1); which of them a reader takes is the reader's
// choice, so one file could show one content here and another elsewhere. Such a package is
// refused, never read by a guess.
void ZipPackage::IndexEntries() {
  try {
    FoldEntryNames();
  } catch (...) {  // the constructor does not complete, so the destructor will not run
    zip_discard(archive_);
    archive_ = nullptr;
    throw;
  }
}

void ZipPackage::FoldEntryNames() {
  const zip_int64_t count = zip_get_num_entries(archive_, 0);
  std::map<std::string, std::string, std::less<>> by_part;
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* stored = zip_get_name(archive_, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
    if (!stored) continue;
    std::string folded = Folded(stored);
    std::string part = folded;
    std::replace(part.begin(), part.end(), '\\', '/');
    const auto [at, fresh] = by_part.emplace(std::move(part), stored);
    if (!fresh) FailXlsx(XlsxErrorCode::kAmbiguousPackage, at->second, stored);
    entries_.emplace(std::move(folded), static_cast<std::uint64_t>(i));
  }
}

std::optional<std::uint64_t> ZipPackage::IndexOf(std::string_view name) const {
  const auto at = entries_.find(Folded(name));
  if (at == entries_.end()) return std::nullopt;
  return at->second;
}

std::optional<std::string> ZipPackage::Find(std::string_view name) const {
  const auto index = IndexOf(name);
  if (!index) return std::nullopt;
  const std::lock_guard lock(*lock_);
  const char* stored = zip_get_name(archive_, *index, ZIP_FL_ENC_GUESS);
  return stored ? std::optional<std::string>(stored) : std::nullopt;
}

std::uint64_t ZipPackage::SizeBound(std::string_view name) const {
  const auto index = IndexOf(name);
  if (!index) return 0;
  zip_stat_t st;
  zip_stat_init(&st);
  const std::lock_guard lock(*lock_);
  if (zip_stat_index(archive_, *index, 0, &st) != 0) return 0;
  if (!(st.valid & ZIP_STAT_SIZE) || !(st.valid & ZIP_STAT_COMP_SIZE)) return 0;
  // A stored size is never more than the archive holds, whatever the directory says.
  const std::uint64_t stored = std::min<std::uint64_t>(st.comp_size, archive_size_);
  const std::uint64_t by_ratio =
      stored > limits_.max_size / limits_.max_ratio ? limits_.max_size : stored * limits_.max_ratio;
  return std::min({st.size, std::max(by_ratio, limits_.ratio_floor), limits_.max_size});
}

void ZipPackage::Read(std::string_view name, const std::function<void(std::span<const char>)>& sink) const {
  PartReader reader(*this, name);
  for (std::span<const char> chunk = reader.Next(); !chunk.empty(); chunk = reader.Next()) sink(chunk);
}

PartReader::PartReader(const ZipPackage& package, std::string_view name) : package_(package), name_(name) {
  const auto index = package.IndexOf(name);
  if (!index) FailXlsx(XlsxErrorCode::kMissingPart, name);
  const std::lock_guard lock(*package.lock_);
  // A part read twice would be one part serving two purposes (two sheets, or the shared
  // strings as a sheet); each costs the whole part again, so it is refused.
  if (!package.read_.insert(*index).second) FailXlsx(XlsxErrorCode::kPartNamedTwice, name);
  zip_t* archive = package.archive_;
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(archive, *index, 0, &st) != 0) FailXlsx(XlsxErrorCode::kPartDamaged, name, zip_strerror(archive));
  if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE) {
    FailXlsx(XlsxErrorCode::kEncrypted, name);
  }
  stored_ = (st.valid & ZIP_STAT_COMP_SIZE) ? std::min<std::uint64_t>(st.comp_size, package.archive_size_) : 0;
  declared_known_ = (st.valid & ZIP_STAT_SIZE) != 0;
  declared_ = declared_known_ ? st.size : 0;
  // A part whose directory entry states a size past the limits is refused before any of it
  // is inflated; one that inflates past its stated size is damaged (see Inflate), so no
  // bomb gets further than what it states.
  const PartLimits& limits = package.limits_;
  if (declared_ > limits.max_size) FailXlsx(XlsxErrorCode::kPartTooLarge, name, MiB(limits.max_size));
  if (declared_ > limits.ratio_floor && declared_ / limits.max_ratio > stored_) {
    FailXlsx(XlsxErrorCode::kPartRatioTooHigh, name,
             "it states more than " + std::to_string(limits.max_ratio) + " times its stored size");
  }
  if (package.inflated_ + std::min(declared_, limits.max_size) > package.total_budget_) {
    FailXlsx(XlsxErrorCode::kPackageRatioTooHigh, name,
             "more than " + std::to_string(limits.max_ratio) + " times the file's size");
  }
  file_ = zip_fopen_index(archive, *index, 0);
  if (!file_) {
    const int code = zip_error_code_zip(zip_get_error(archive));
    if (code == ZIP_ER_NOPASSWD || code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_ENCRNOTSUPP) {
      FailXlsx(XlsxErrorCode::kEncrypted, name);
    }
    FailXlsx(XlsxErrorCode::kPartDamaged, name, zip_strerror(archive));
  }
  buffer_.resize(kChunk);
}

// The chunks inflated ahead, handed from the inflating thread to the reader's caller.
struct PartReader::Ahead {
  struct Chunk {
    std::vector<char> bytes;
    std::size_t size = 0;  // 0: the part's end, or the error below
    std::exception_ptr error;
  };
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Chunk> full;                // inflated, in order, not yet taken
  std::vector<std::vector<char>> spare;  // buffers free to inflate into
  std::vector<char> current;             // the buffer of the chunk Next gave last
  std::optional<Chunk> last;             // the end or the error, once taken
  std::exception_ptr broken;             // the thread itself failed
  bool stop = false;
  std::thread thread;

  ~Ahead() {
    {
      std::lock_guard lock(mutex);
      stop = true;
    }
    changed.notify_all();
    if (thread.joinable()) thread.join();
  }
};

PartReader::~PartReader() {
  ahead_.reset();  // the inflating thread is done with the file before it closes
  if (file_) {
    const std::lock_guard lock(*package_.lock_);
    zip_fclose(file_);
  }
}

void PartReader::ReadAhead() {
  if (ahead_ || declared_ < kReadAheadFrom) return;
  auto ahead = std::make_unique<Ahead>();
  for (std::size_t i = 0; i < kChunksAhead; ++i) ahead->spare.emplace_back(kChunk);
  Ahead& a = *ahead;
  try {
    a.thread = std::thread([this, &a] {
      // Nothing may leave the thread: a failure past the chunk's own (an allocation in the
      // queue) ends the reading ahead and is handed to Next as the part's error.
      try {
        InflateAhead(a);
      } catch (...) {
        std::lock_guard lock(a.mutex);
        a.broken = std::current_exception();
      }
      a.changed.notify_all();
    });
  } catch (const std::system_error&) {
    return;  // no thread to be had: chunks are inflated as they are asked for
  }
  ahead_ = std::move(ahead);
}

void PartReader::InflateAhead(Ahead& a) {
  for (;;) {
    Ahead::Chunk chunk;
    {
      std::unique_lock lock(a.mutex);
      a.changed.wait(lock, [&] { return a.stop || !a.spare.empty(); });
      if (a.stop) return;
      chunk.bytes = std::move(a.spare.back());
      a.spare.pop_back();
    }
    try {
      chunk.size = Inflate(chunk.bytes).size();
    } catch (...) {  // handed to Next, which throws it at this chunk
      chunk.error = std::current_exception();
    }
    const bool last = chunk.size == 0;
    {
      std::lock_guard lock(a.mutex);
      a.full.push_back(std::move(chunk));
    }
    a.changed.notify_all();
    if (last) return;
  }
}

std::span<const char> PartReader::Next() {
  if (!ahead_) return Inflate(buffer_);
  Ahead& a = *ahead_;
  if (!a.last) {
    std::unique_lock lock(a.mutex);
    if (!a.current.empty()) a.spare.push_back(std::move(a.current));
    a.current = {};
    a.changed.notify_all();
    a.changed.wait(lock, [&] { return !a.full.empty() || a.broken; });
    if (a.full.empty()) std::rethrow_exception(a.broken);
    Ahead::Chunk chunk = std::move(a.full.front());
    a.full.pop_front();
    lock.unlock();
    if (chunk.size != 0) {
      a.current = std::move(chunk.bytes);
      return std::span<const char>(a.current.data(), chunk.size);
    }
    a.last = std::move(chunk);
  }
  if (a.last->error) std::rethrow_exception(a.last->error);
  return {};
}

std::span<const char> PartReader::Inflate(std::vector<char>& buffer) {
  const std::lock_guard lock(*package_.lock_);
  const zip_int64_t got = zip_fread(file_, buffer.data(), buffer.size());
  if (got < 0) FailXlsx(XlsxErrorCode::kPartDamaged, name_, zip_file_strerror(file_));
  const auto n = static_cast<std::uint64_t>(got);
  total_ += n;
  const PartLimits& limits = package_.limits_;
  if (declared_known_ && total_ > declared_) {
    FailXlsx(XlsxErrorCode::kPartDamaged, name_, "it unpacks to more than its stated size");
  }
  if (total_ > limits.max_size) FailXlsx(XlsxErrorCode::kPartTooLarge, name_, MiB(limits.max_size));
  if (total_ > limits.ratio_floor && total_ / limits.max_ratio > stored_) {
    FailXlsx(XlsxErrorCode::kPartRatioTooHigh, name_,
             "more than " + std::to_string(limits.max_ratio) + " times its stored size");
  }
  package_.inflated_ += n;
  if (package_.inflated_ > package_.total_budget_) {
    FailXlsx(XlsxErrorCode::kPackageRatioTooHigh, name_,
             "more than " + std::to_string(limits.max_ratio) + " times the file's size");
  }
  return std::span<const char>(buffer.data(), static_cast<std::size_t>(n));
}

}  // namespace cw::sheet::xlsx
