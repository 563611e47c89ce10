// Helpers for the .xls reader's tests: fixture loading, a small compound-file writer and
// a BIFF record builder, for the cases no real writer produces (damaged, hostile or
// encrypted files, old formats, code pages Gnumeric does not write).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cw::sheet::testing {

using Bytes = std::vector<std::byte>;

// The bytes of tests/fixtures/xls/<name>, or of a file below the source tree.
Bytes ReadFixture(std::string_view name);
Bytes ReadSourceFile(std::string_view path);

struct Stream {
  std::u16string name;
  Bytes data;
};

// Where the writer put things, so a test can damage them on purpose.
struct CompoundLayout {
  std::size_t sector_size = 512;
  std::size_t fat_offset = 0;               // file offset of FAT entry 0 (FAT sectors are contiguous)
  std::size_t dir_offset = 0;               // file offset of directory entry 0
  std::vector<std::uint32_t> first_sector;  // per stream: first sector, or first mini sector
};

// A compound file holding `streams` in its root storage: version 3 (512-byte sectors) or
// 4 (4096-byte sectors); streams under 4096 bytes go to the mini stream. With more than
// 109 FAT sectors (`min_fat_sectors`), the rest are listed in DIFAT sectors.
Bytes BuildCompoundFile(const std::vector<Stream>& streams, int version = 3, CompoundLayout* layout = nullptr,
                        std::size_t min_fat_sectors = 1);

void PutU16(Bytes& b, std::size_t at, std::uint16_t v);
void PutU32(Bytes& b, std::size_t at, std::uint32_t v);

// Appends BIFF records.
class BiffBuilder {
 public:
  BiffBuilder& Record(std::uint16_t type, const Bytes& data);
  BiffBuilder& Record(std::uint16_t type, std::initializer_list<int> data);
  const Bytes& Data() const { return data_; }
  std::size_t Size() const { return data_.size(); }

 private:
  Bytes data_;
};

Bytes Le16Bytes(std::uint16_t v);
Bytes Le32Bytes(std::uint32_t v);
Bytes Concat(std::initializer_list<Bytes> parts);
Bytes B(std::initializer_list<int> values);
Bytes Latin1(std::string_view text);
Bytes Utf16(std::u16string_view text);

}  // namespace cw::sheet::testing
