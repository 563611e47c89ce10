// A reader for compound files ([MS-CFB]), the container that holds an .xls workbook's
// "Workbook" (or Excel 95 "Book") stream. Written by hand: the only library in the archive
// that reads them, libgsf, would pull GLib into the core. It reads version 3 and 4 files
// (512- and 4096-byte sectors), the FAT with its DIFAT, the mini FAT and mini stream, and
// the directory tree. Every sector number, chain and directory link taken from the file is
// checked before use; a chain that loops or runs past the end of the file is an error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cw::sheet {

class CompoundFile {
 public:
  // True when `bytes` begin with the compound-file signature D0 CF 11 E0 A1 B1 1A E1.
  static bool HasSignature(std::span<const std::byte> bytes);

  // Checks the header, loads the FAT, mini FAT and directory. Throws XlsReadError. The
  // bytes must outlive this object.
  explicit CompoundFile(std::span<const std::byte> bytes);

  // The names of the streams directly inside the root storage, in directory order.
  std::vector<std::u16string> StreamNames() const;
  // Whether the root storage holds a stream of this name (compared without regard to case).
  bool HasStream(std::u16string_view name) const;
  // The contents of the root-level stream `name`, or nothing when there is none. Throws
  // XlsReadError when its chain is broken or runs past the end of the file.
  std::optional<std::vector<std::byte>> ReadStream(std::u16string_view name) const;
  // The same contents without a copy when the stream's sectors lie in order in the file,
  // as most writers put them; otherwise copied into `storage`. Nothing when absent.
  std::optional<std::span<const std::byte>> StreamBytes(std::u16string_view name,
                                                        std::vector<std::byte>& storage) const;

 private:
  struct Entry {
    std::u16string name;
    std::uint8_t type = 0;  // 1 storage, 2 stream, 5 root storage
    std::uint32_t left = 0, right = 0, child = 0;
    std::uint32_t start = 0;
    std::uint64_t size = 0;
  };

  std::span<const std::byte> Sector(std::uint32_t sector, std::size_t needed) const;
  std::vector<std::uint32_t> Chain(std::uint32_t start, const std::vector<std::uint32_t>& table, std::size_t max_steps,
                                   std::size_t offset_for_errors) const;
  std::vector<std::byte> ReadEntry(const Entry& entry) const;
  std::optional<std::span<const std::byte>> ContiguousEntry(const Entry& entry) const;
  std::vector<std::size_t> RootChildren() const;

  std::span<const std::byte> bytes_;
  std::size_t sector_size_ = 512;
  std::size_t mini_sector_size_ = 64;
  std::uint32_t mini_cutoff_ = 4096;
  std::uint32_t sector_count_ = 0;  // sectors that start inside the file
  bool version4_ = false;
  std::vector<std::uint32_t> fat_;
  std::vector<std::uint32_t> mini_fat_;
  std::vector<Entry> entries_;
  std::vector<std::byte> mini_stream_;
};

}  // namespace cw::sheet
