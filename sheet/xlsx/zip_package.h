// The zip container of an .xlsx package, read through libzip from memory or from a file.
// Parts are inflated in bounded chunks and handed on as they come, so a part is never held
// whole; each part's inflated size is capped, and so is its ratio to the stored size. The
// work of one open is bounded by the archive's size: each part is inflated at most once, and
// all parts together inflate to no more than a fixed multiple of the archive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct zip;
typedef struct zip zip_t;
struct zip_file;
typedef struct zip_file zip_file_t;

namespace cw::sheet::xlsx {

// Caps on one part. A real sheet of a million rows stays well under both; an inflated size
// hundreds of times the stored one is what zip bombs are made of.
struct PartLimits {
  std::uint64_t max_size = std::uint64_t{2} << 30;     // 2 GiB
  std::uint64_t ratio_floor = std::uint64_t{1} << 20;  // no ratio check below 1 MiB
  std::uint64_t max_ratio = 250;
  // All parts of one open together: max_ratio times the archive's size, and at least this.
  std::uint64_t total_floor = std::uint64_t{32} << 20;
};

class ZipPackage;

// One part being inflated, chunk by chunk, under the package's limits.
class PartReader {
 public:
  // Throws XlsxError when the part is missing, encrypted, already read in this open, or
  // cannot be opened.
  PartReader(const ZipPackage& package, std::string_view name);
  ~PartReader();
  PartReader(const PartReader&) = delete;
  PartReader& operator=(const PartReader&) = delete;

  // The next chunk of the inflated part, empty at its end; valid until the next call.
  // Throws XlsxError when the data is damaged or over the limits.
  std::span<const char> Next();
  const std::string& Name() const { return name_; }
  // From here on the part is inflated a few chunks ahead on a thread of its own, while the
  // caller works on the chunk it has, so a large part parsed whole keeps two cores busy.
  // Next gives the same chunks and throws the same errors, at the same chunk. Nothing
  // changes for a small part, or when no thread can be started. Other parts of the package
  // may be read meanwhile, on other threads.
  void ReadAhead();

 private:
  struct Ahead;
  // Inflates the next chunk into `buffer`, under the limits.
  std::span<const char> Inflate(std::vector<char>& buffer);
  // The reading-ahead thread's work.
  void InflateAhead(Ahead& ahead);
  const ZipPackage& package_;
  std::string name_;
  zip_file_t* file_ = nullptr;
  std::uint64_t stored_ = 0;
  std::uint64_t declared_ = 0;  // the inflated size the archive states
  bool declared_known_ = false;
  std::uint64_t total_ = 0;
  std::vector<char> buffer_;
  std::unique_ptr<Ahead> ahead_;  // while reading ahead
};

class ZipPackage {
 public:
  // Throws XlsxError (kNotZip) when the bytes are no zip archive, (kAmbiguousPackage) when
  // two entries share a name. The bytes must outlive this.
  explicit ZipPackage(std::span<const std::byte> bytes, PartLimits limits = {});
  // Opens the zip archive at `path`, reading it as needed rather than whole.
  static ZipPackage OpenFile(const std::string& path, PartLimits limits = {});
  ~ZipPackage();
  ZipPackage(ZipPackage&& other) noexcept;
  ZipPackage& operator=(ZipPackage&&) = delete;
  ZipPackage(const ZipPackage&) = delete;
  ZipPackage& operator=(const ZipPackage&) = delete;

  // The entry name of part `name` as stored (part names match case-insensitively), or nothing.
  std::optional<std::string> Find(std::string_view name) const;
  // The most a part can inflate to within the limits: its declared size, held to what its
  // stored size allows (0 when absent). Sizes in the archive are the writer's word, so
  // this is for sizing reservations, never for trusting.
  std::uint64_t SizeBound(std::string_view name) const;
  // The size of the archive itself: the one size here that is not the writer's word.
  std::uint64_t ArchiveSize() const { return archive_size_; }
  // Inflates part `name` and feeds it to `sink` in chunks. Throws XlsxError when the part is
  // missing, damaged, encrypted, already read in this open, or over the limits.
  void Read(std::string_view name, const std::function<void(std::span<const char>)>& sink) const;

 private:
  friend class PartReader;
  ZipPackage(zip_t* archive, PartLimits limits, std::uint64_t archive_size);
  // Indexes the entries by their folded names; refuses two entries of one name.
  void IndexEntries();
  void FoldEntryNames();
  std::optional<std::uint64_t> IndexOf(std::string_view name) const;

  zip_t* archive_ = nullptr;
  PartLimits limits_;
  std::uint64_t total_budget_ = 0;
  std::uint64_t archive_size_ = 0;
  // Entry index by name folded to ASCII lower case.
  std::map<std::string, std::uint64_t, std::less<>> entries_;
  // What this open has inflated: the entries read and the bytes they gave.
  mutable std::set<std::uint64_t> read_;
  mutable std::uint64_t inflated_ = 0;
  // Held around every call into the archive and the counts above: libzip serves one thread
  // at a time per archive, and two parts may be read at once (the shared strings beside a
  // sheet, each inflated ahead on a thread of its own).
  std::unique_ptr<std::mutex> lock_ = std::make_unique<std::mutex>();
};

}  // namespace cw::sheet::xlsx
