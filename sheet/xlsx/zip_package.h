// The zip container of an .xlsx package, read through libzip from memory or from a file.
// Parts are inflated in bounded chunks and handed on as they come, so a part is never held
// whole; each part's inflated size is capped, and so is its ratio to the stored size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

struct zip;
typedef struct zip zip_t;

namespace cw::sheet::xlsx {

// Caps on one part. A real sheet of a million rows stays well under both; an inflated size
// hundreds of times the stored one is what zip bombs are made of.
struct PartLimits {
  std::uint64_t max_size = std::uint64_t{2} << 30;     // 2 GiB
  std::uint64_t ratio_floor = std::uint64_t{1} << 20;  // no ratio check below 1 MiB
  std::uint64_t max_ratio = 250;
};

class ZipPackage {
 public:
  // Throws XlsxError (kNotZip) when the bytes are no zip archive. The bytes must outlive this.
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
  // Inflates part `name` and feeds it to `sink` in chunks. Throws XlsxError when the part is
  // missing, damaged, encrypted or over the limits.
  void Read(std::string_view name, const std::function<void(std::span<const char>)>& sink) const;

 private:
  explicit ZipPackage(zip_t* archive, PartLimits limits) : archive_(archive), limits_(limits) {}
  zip_t* archive_ = nullptr;
  PartLimits limits_;
};

}  // namespace cw::sheet::xlsx
