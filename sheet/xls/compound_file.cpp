#include "sheet/xls/compound_file.h"

#include <algorithm>
#include <cstring>

#include "sheet/little_endian.h"
#include "sheet/xls/xls_error.h"

namespace cw::sheet {
namespace {

constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::size_t kHeaderSize = 512;
constexpr std::size_t kDirEntrySize = 128;
constexpr std::size_t kHeaderDifatEntries = 109;
// [MS-CFB] 2.1: special sector numbers.
constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFA;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

enum : std::uint8_t { kTypeStorage = 1, kTypeStream = 2, kTypeRoot = 5 };

char16_t FoldAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c; }

bool SameName(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return FoldAscii(x) == FoldAscii(y); });
}

}  // namespace

bool CompoundFile::HasSignature(std::span<const std::byte> bytes) {
  return bytes.size() >= sizeof kSignature && std::memcmp(bytes.data(), kSignature, sizeof kSignature) == 0;
}

CompoundFile::CompoundFile(std::span<const std::byte> bytes) : bytes_(bytes) {
  if (!HasSignature(bytes)) FailXls(XlsErrorCode::kNotXls, 0);
  if (bytes.size() < kHeaderSize) FailXls(XlsErrorCode::kCompoundFileTruncated, bytes.size());

  const std::uint16_t major_version = Le16(bytes, 0x1A);          // header +0x1A
  const std::uint16_t sector_shift = Le16(bytes, 0x1E);           // header +0x1E: 9 (v3) or 12 (v4)
  const std::uint16_t mini_sector_shift = Le16(bytes, 0x20);      // header +0x20: always 6
  const std::uint32_t fat_sector_count = Le32(bytes, 0x2C);       // header +0x2C
  const std::uint32_t first_dir_sector = Le32(bytes, 0x30);       // header +0x30
  const std::uint32_t mini_cutoff = Le32(bytes, 0x38);            // header +0x38: always 4096
  const std::uint32_t first_mini_fat_sector = Le32(bytes, 0x3C);  // header +0x3C
  const std::uint32_t mini_fat_sector_count = Le32(bytes, 0x40);  // header +0x40
  const std::uint32_t first_difat_sector = Le32(bytes, 0x44);     // header +0x44
  const std::uint32_t difat_sector_count = Le32(bytes, 0x48);     // header +0x48

  if ((major_version != 3 && major_version != 4) || (sector_shift != 9 && sector_shift != 12) ||
      mini_sector_shift != 6 || mini_cutoff != 4096) {
    FailXls(XlsErrorCode::kCompoundFileDamaged, 0x1A);
  }
  version4_ = major_version == 4;
  // CFB: sector size is 1 << sector_shift; sector n starts at (n + 1) * sector size, the
  // header filling sector "-1" (padded to 4096 bytes in version 4).
  sector_size_ = std::size_t{1} << sector_shift;
  mini_sector_size_ = std::size_t{1} << mini_sector_shift;
  mini_cutoff_ = mini_cutoff;
  if (bytes.size() <= sector_size_) FailXls(XlsErrorCode::kCompoundFileTruncated, bytes.size());
  sector_count_ = static_cast<std::uint32_t>(
      std::min<std::size_t>((bytes.size() - sector_size_ + sector_size_ - 1) / sector_size_, kMaxRegularSector));

  // The FAT's own sectors: the first 109 are listed in the header, the rest in the DIFAT chain.
  if (fat_sector_count == 0 || fat_sector_count > sector_count_) {
    FailXls(XlsErrorCode::kCompoundFileDamaged, 0x2C);
  }
  std::vector<std::uint32_t> fat_sectors;
  fat_sectors.reserve(fat_sector_count);
  for (std::size_t i = 0; i < kHeaderDifatEntries && fat_sectors.size() < fat_sector_count; ++i) {
    fat_sectors.push_back(Le32(bytes, 0x4C + 4 * i));
  }
  {
    const std::size_t per_sector = sector_size_ / 4 - 1;
    std::uint32_t next = first_difat_sector;
    std::vector<bool> seen(sector_count_, false);
    std::size_t walked = 0;
    while (fat_sectors.size() < fat_sector_count) {
      if (next >= sector_count_ || walked >= difat_sector_count) {
        FailXls(next == kEndOfChain || next == kFreeSector ? XlsErrorCode::kCompoundFileDamaged
                                                           : XlsErrorCode::kCompoundFileTruncated,
                0x44);
      }
      if (seen[next]) FailXls(XlsErrorCode::kChainLoops, 0x44);
      seen[next] = true;
      ++walked;
      const auto difat = Sector(next, sector_size_);
      for (std::size_t i = 0; i < per_sector && fat_sectors.size() < fat_sector_count; ++i) {
        fat_sectors.push_back(Le32(difat, 4 * i));
      }
      next = Le32(difat, 4 * per_sector);
    }
  }
  fat_.reserve(fat_sectors.size() * (sector_size_ / 4));
  for (const std::uint32_t s : fat_sectors) {
    const auto sector = Sector(s, sector_size_);
    for (std::size_t i = 0; i < sector_size_; i += 4) fat_.push_back(Le32(sector, i));
  }

  if (first_mini_fat_sector != kEndOfChain && mini_fat_sector_count > 0) {
    const auto chain = Chain(first_mini_fat_sector, fat_, mini_fat_sector_count, 0x3C);
    mini_fat_.reserve(chain.size() * (sector_size_ / 4));
    for (const std::uint32_t s : chain) {
      const auto sector = Sector(s, sector_size_);
      for (std::size_t i = 0; i < sector_size_; i += 4) mini_fat_.push_back(Le32(sector, i));
    }
  }

  // The directory has no size of its own: its chain runs to ENDOFCHAIN.
  for (const std::uint32_t s : Chain(first_dir_sector, fat_, sector_count_, 0x30)) {
    const auto sector = Sector(s, sector_size_);
    for (std::size_t at = 0; at + kDirEntrySize <= sector_size_; at += kDirEntrySize) {
      const auto raw = sector.subspan(at, kDirEntrySize);
      Entry e;
      const std::uint16_t name_bytes = Le16(raw, 0x40);  // entry +0x40, terminator included
      for (std::size_t i = 0; i + 1 < std::min<std::size_t>(name_bytes / 2, 32); ++i) {
        const char16_t c = static_cast<char16_t>(Le16(raw, 2 * i));
        if (c == 0) break;
        e.name.push_back(c);
      }
      e.type = std::to_integer<std::uint8_t>(raw[0x42]);  // entry +0x42
      e.left = Le32(raw, 0x44);
      e.right = Le32(raw, 0x48);
      e.child = Le32(raw, 0x4C);
      e.start = Le32(raw, 0x74);
      // CFB: in version 3 files the high 32 bits of the size may hold garbage.
      e.size = version4_ ? Le64(raw, 0x78) : Le32(raw, 0x78);
      entries_.push_back(std::move(e));
    }
  }
  if (entries_.empty() || entries_[0].type != kTypeRoot) {
    FailXls(XlsErrorCode::kCompoundFileDamaged, (first_dir_sector + std::size_t{1}) * sector_size_);
  }
}

std::span<const std::byte> CompoundFile::Sector(std::uint32_t sector, std::size_t needed) const {
  if (sector > kMaxRegularSector) FailXls(XlsErrorCode::kCompoundFileDamaged, 0);
  const std::size_t at = (static_cast<std::size_t>(sector) + 1) * sector_size_;
  if (at >= bytes_.size() || bytes_.size() - at < needed) FailXls(XlsErrorCode::kCompoundFileTruncated, bytes_.size());
  return bytes_.subspan(at, needed);
}

std::vector<std::uint32_t> CompoundFile::Chain(std::uint32_t start, const std::vector<std::uint32_t>& table,
                                               std::size_t max_steps, std::size_t offset_for_errors) const {
  std::vector<std::uint32_t> chain;
  std::vector<bool> seen(table.size(), false);
  std::uint32_t cur = start;
  while (chain.size() < max_steps) {
    if (cur == kEndOfChain) break;
    if (cur >= table.size()) FailXls(XlsErrorCode::kCompoundFileDamaged, offset_for_errors);
    if (seen[cur]) FailXls(XlsErrorCode::kChainLoops, offset_for_errors);
    seen[cur] = true;
    chain.push_back(cur);
    cur = table[cur];
  }
  return chain;
}

std::vector<std::byte> CompoundFile::ReadEntry(const Entry& entry) const {
  if (entry.size > bytes_.size()) FailXls(XlsErrorCode::kCompoundFileTruncated, bytes_.size());
  const std::size_t size = static_cast<std::size_t>(entry.size);
  std::vector<std::byte> out;
  if (size == 0) return out;
  out.reserve(size);
  const bool in_mini_stream = entry.type != kTypeRoot && entry.size < mini_cutoff_;
  if (in_mini_stream) {
    const std::vector<std::byte> mini_stream = ReadEntry(entries_[0]);
    const std::size_t needed = (size + mini_sector_size_ - 1) / mini_sector_size_;
    const auto chain = Chain(entry.start, mini_fat_, needed, 0x3C);
    if (chain.size() < needed) FailXls(XlsErrorCode::kCompoundFileDamaged, 0x3C);
    for (const std::uint32_t s : chain) {
      const std::size_t at = static_cast<std::size_t>(s) * mini_sector_size_;
      const std::size_t take = std::min(mini_sector_size_, size - out.size());
      if (at >= mini_stream.size() || mini_stream.size() - at < take) {
        FailXls(XlsErrorCode::kCompoundFileDamaged, 0x3C);
      }
      out.insert(out.end(), mini_stream.begin() + static_cast<std::ptrdiff_t>(at),
                 mini_stream.begin() + static_cast<std::ptrdiff_t>(at + take));
    }
    return out;
  }
  const std::size_t needed = (size + sector_size_ - 1) / sector_size_;
  const auto chain = Chain(entry.start, fat_, needed, 0);
  if (chain.size() < needed) FailXls(XlsErrorCode::kCompoundFileTruncated, bytes_.size());
  for (const std::uint32_t s : chain) {
    // The last sector of a stream may stop where the stream does, even at the file's end.
    const auto sector = Sector(s, std::min(sector_size_, size - out.size()));
    out.insert(out.end(), sector.begin(), sector.end());
  }
  return out;
}

std::optional<std::span<const std::byte>> CompoundFile::ContiguousEntry(const Entry& entry) const {
  if (entry.type == kTypeRoot || entry.size < mini_cutoff_ || entry.size > bytes_.size()) return std::nullopt;
  const std::size_t size = static_cast<std::size_t>(entry.size);
  const std::size_t needed = (size + sector_size_ - 1) / sector_size_;
  const auto chain = Chain(entry.start, fat_, needed, 0);
  if (chain.size() < needed) return std::nullopt;
  for (std::size_t i = 1; i < chain.size(); ++i) {
    if (chain[i] != chain[i - 1] + 1) return std::nullopt;
  }
  const std::size_t at = (static_cast<std::size_t>(chain[0]) + 1) * sector_size_;
  if (at >= bytes_.size() || bytes_.size() - at < size) return std::nullopt;
  return bytes_.subspan(at, size);
}

std::optional<std::span<const std::byte>> CompoundFile::StreamBytes(std::u16string_view name,
                                                                    std::vector<std::byte>& storage) const {
  for (const std::size_t id : RootChildren()) {
    const Entry& e = entries_[id];
    if (e.type != kTypeStream || !SameName(e.name, name)) continue;
    if (const auto view = ContiguousEntry(e)) return view;
    storage = ReadEntry(e);
    return std::span<const std::byte>(storage);
  }
  return std::nullopt;
}

std::vector<std::size_t> CompoundFile::RootChildren() const {
  // The children of a storage form a red-black tree of left/right links under `child`. We
  // visit every node rather than trust the sort order, which some writers get wrong.
  std::vector<std::size_t> found;
  std::vector<bool> seen(entries_.size(), false);
  std::vector<std::uint32_t> pending{entries_[0].child};
  while (!pending.empty()) {
    const std::uint32_t id = pending.back();
    pending.pop_back();
    if (id == kNoStream) continue;
    if (id >= entries_.size()) FailXls(XlsErrorCode::kCompoundFileDamaged, 0x30);
    if (seen[id] || id == 0) FailXls(XlsErrorCode::kChainLoops, 0x30);
    seen[id] = true;
    found.push_back(id);
    pending.push_back(entries_[id].left);
    pending.push_back(entries_[id].right);
  }
  std::sort(found.begin(), found.end());
  return found;
}

std::vector<std::u16string> CompoundFile::StreamNames() const {
  std::vector<std::u16string> names;
  for (const std::size_t id : RootChildren()) {
    if (entries_[id].type == kTypeStream) names.push_back(entries_[id].name);
  }
  return names;
}

bool CompoundFile::HasStream(std::u16string_view name) const {
  for (const std::size_t id : RootChildren()) {
    if (entries_[id].type == kTypeStream && SameName(entries_[id].name, name)) return true;
  }
  return false;
}

std::optional<std::vector<std::byte>> CompoundFile::ReadStream(std::u16string_view name) const {
  for (const std::size_t id : RootChildren()) {
    if (entries_[id].type == kTypeStream && SameName(entries_[id].name, name)) return ReadEntry(entries_[id]);
  }
  return std::nullopt;
}

}  // namespace cw::sheet
