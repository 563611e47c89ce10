#include "tests/sheet/xls/xls_test_support.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace cw::sheet::testing {
namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFree = 0xFFFFFFFF;
constexpr std::uint32_t kFatSector = 0xFFFFFFFD;

std::size_t SectorsFor(std::size_t bytes, std::size_t size) { return (bytes + size - 1) / size; }

}  // namespace

Bytes ReadSourceFile(std::string_view path) {
  const std::string full = std::string(CW_SOURCE_DIR) + "/" + std::string(path);
  std::ifstream in(full, std::ios::binary);
  if (!in) throw std::runtime_error("missing test file " + full);
  const std::vector<char> chars((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Bytes out(chars.size());
  for (std::size_t i = 0; i < chars.size(); ++i) out[i] = static_cast<std::byte>(chars[i]);
  return out;
}

Bytes ReadFixture(std::string_view name) { return ReadSourceFile("tests/fixtures/xls/" + std::string(name)); }

void PutU16(Bytes& b, std::size_t at, std::uint16_t v) {
  b.at(at) = static_cast<std::byte>(v & 0xFF);
  b.at(at + 1) = static_cast<std::byte>(v >> 8);
}

void PutU32(Bytes& b, std::size_t at, std::uint32_t v) {
  PutU16(b, at, static_cast<std::uint16_t>(v & 0xFFFF));
  PutU16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}

Bytes BuildCompoundFile(const std::vector<Stream>& streams, int version, CompoundLayout* layout_out,
                        std::size_t min_fat_sectors) {
  const std::size_t s = version == 4 ? 4096 : 512;
  CompoundLayout layout;
  layout.sector_size = s;

  // Small streams into the mini stream, 64-byte mini sectors.
  Bytes mini_stream;
  std::vector<std::uint32_t> mini_fat;
  std::vector<std::uint32_t> first(streams.size(), kEndOfChain);
  for (std::size_t i = 0; i < streams.size(); ++i) {
    const Bytes& d = streams[i].data;
    if (d.empty() || d.size() >= 4096) continue;
    const std::size_t n = SectorsFor(d.size(), 64);
    first[i] = static_cast<std::uint32_t>(mini_fat.size());
    for (std::size_t k = 0; k < n; ++k) {
      mini_fat.push_back(k + 1 < n ? static_cast<std::uint32_t>(mini_fat.size() + 1) : kEndOfChain);
    }
    mini_stream.insert(mini_stream.end(), d.begin(), d.end());
    mini_stream.resize(mini_fat.size() * 64);
  }

  const std::size_t entries = streams.size() + 1;
  const std::size_t dir_sectors = SectorsFor(entries * 128, s);
  const std::size_t mini_fat_sectors = SectorsFor(mini_fat.size() * 4, s);
  std::size_t data_sectors = SectorsFor(mini_stream.size(), s);
  for (const Stream& st : streams) {
    if (st.data.size() >= 4096) data_sectors += SectorsFor(st.data.size(), s);
  }
  const std::size_t per_difat = s / 4 - 1;
  auto difat_for = [&](std::size_t fat) { return fat > 109 ? SectorsFor(fat - 109, per_difat) : 0; };
  std::size_t fat_sectors = std::max<std::size_t>(min_fat_sectors, 1);
  while (fat_sectors * (s / 4) < fat_sectors + difat_for(fat_sectors) + dir_sectors + mini_fat_sectors + data_sectors) {
    ++fat_sectors;
  }
  const std::size_t difat_sectors = difat_for(fat_sectors);
  const std::size_t total = fat_sectors + difat_sectors + dir_sectors + mini_fat_sectors + data_sectors;

  std::vector<std::uint32_t> fat(fat_sectors * (s / 4), kFree);
  std::uint32_t next = 0;
  auto allocate = [&](std::size_t count) {
    const std::uint32_t start = next;
    for (std::size_t k = 0; k < count; ++k) {
      fat[next] = k + 1 < count ? next + 1 : kEndOfChain;
      ++next;
    }
    return count == 0 ? kEndOfChain : start;
  };
  for (std::size_t k = 0; k < fat_sectors; ++k) fat[next++] = kFatSector;
  const std::uint32_t difat_start = difat_sectors ? next : kEndOfChain;
  for (std::size_t k = 0; k < difat_sectors; ++k) fat[next++] = 0xFFFFFFFC;  // DIFSECT
  const std::uint32_t dir_start = allocate(dir_sectors);
  const std::uint32_t mini_fat_start = allocate(mini_fat_sectors);
  const std::uint32_t mini_stream_start = allocate(SectorsFor(mini_stream.size(), s));
  for (std::size_t i = 0; i < streams.size(); ++i) {
    if (streams[i].data.size() >= 4096) first[i] = allocate(SectorsFor(streams[i].data.size(), s));
  }

  Bytes out((total + 1) * s, std::byte{0});
  const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  for (int i = 0; i < 8; ++i) out[i] = static_cast<std::byte>(signature[i]);
  PutU16(out, 0x18, 0x3E);
  PutU16(out, 0x1A, static_cast<std::uint16_t>(version));
  PutU16(out, 0x1C, 0xFFFE);
  PutU16(out, 0x1E, version == 4 ? 12 : 9);
  PutU16(out, 0x20, 6);
  PutU32(out, 0x28, version == 4 ? static_cast<std::uint32_t>(dir_sectors) : 0);
  PutU32(out, 0x2C, static_cast<std::uint32_t>(fat_sectors));
  PutU32(out, 0x30, dir_start);
  PutU32(out, 0x38, 4096);
  PutU32(out, 0x3C, mini_fat_start);
  PutU32(out, 0x40, static_cast<std::uint32_t>(mini_fat_sectors));
  PutU32(out, 0x44, difat_start);
  PutU32(out, 0x48, static_cast<std::uint32_t>(difat_sectors));
  for (std::size_t i = 0; i < 109; ++i)
    PutU32(out, 0x4C + 4 * i, i < fat_sectors ? static_cast<std::uint32_t>(i) : kFree);

  auto sector_offset = [&](std::uint32_t sector) { return (static_cast<std::size_t>(sector) + 1) * s; };
  for (std::size_t d = 0; d < difat_sectors; ++d) {
    const std::size_t at = sector_offset(static_cast<std::uint32_t>(difat_start + d));
    for (std::size_t k = 0; k < per_difat; ++k) {
      const std::size_t fat_index = 109 + d * per_difat + k;
      PutU32(out, at + 4 * k, fat_index < fat_sectors ? static_cast<std::uint32_t>(fat_index) : kFree);
    }
    PutU32(out, at + 4 * per_difat,
           d + 1 < difat_sectors ? static_cast<std::uint32_t>(difat_start + d + 1) : kEndOfChain);
  }
  for (std::size_t i = 0; i < fat.size(); ++i) PutU32(out, s + 4 * i, fat[i]);
  if (mini_fat_start != kEndOfChain) {
    for (std::size_t i = 0; i < mini_fat_sectors * (s / 4); ++i) {
      PutU32(out, sector_offset(mini_fat_start) + 4 * i, i < mini_fat.size() ? mini_fat[i] : kFree);
    }
  }
  if (mini_stream_start != kEndOfChain) {
    std::copy(mini_stream.begin(), mini_stream.end(),
              out.begin() + static_cast<std::ptrdiff_t>(sector_offset(mini_stream_start)));
  }
  for (std::size_t i = 0; i < streams.size(); ++i) {
    if (streams[i].data.size() >= 4096) {
      std::copy(streams[i].data.begin(), streams[i].data.end(),
                out.begin() + static_cast<std::ptrdiff_t>(sector_offset(first[i])));
    }
  }

  // Directory: the root, then each stream; the root's children hang as a right-leaning chain.
  const std::size_t dir = sector_offset(dir_start);
  auto write_entry = [&](std::size_t index, std::u16string_view name, std::uint8_t type, std::uint32_t right,
                         std::uint32_t child, std::uint32_t start, std::uint64_t size) {
    const std::size_t e = dir + index * 128;
    for (std::size_t k = 0; k < name.size(); ++k) PutU16(out, e + 2 * k, name[k]);
    PutU16(out, e + 0x40, static_cast<std::uint16_t>((name.size() + 1) * 2));
    out[e + 0x42] = static_cast<std::byte>(type);
    out[e + 0x43] = std::byte{1};
    PutU32(out, e + 0x44, 0xFFFFFFFF);
    PutU32(out, e + 0x48, right);
    PutU32(out, e + 0x4C, child);
    PutU32(out, e + 0x74, start);
    PutU32(out, e + 0x78, static_cast<std::uint32_t>(size));
    PutU32(out, e + 0x7C, static_cast<std::uint32_t>(size >> 32));
  };
  for (std::size_t i = entries; i < dir_sectors * (s / 128); ++i) {
    PutU32(out, dir + i * 128 + 0x44, 0xFFFFFFFF);
    PutU32(out, dir + i * 128 + 0x48, 0xFFFFFFFF);
    PutU32(out, dir + i * 128 + 0x4C, 0xFFFFFFFF);
  }
  write_entry(0, u"Root Entry", 5, 0xFFFFFFFF, streams.empty() ? 0xFFFFFFFF : 1, mini_stream_start, mini_stream.size());
  for (std::size_t i = 0; i < streams.size(); ++i) {
    const std::uint32_t right = i + 1 < streams.size() ? static_cast<std::uint32_t>(i + 2) : 0xFFFFFFFF;
    write_entry(i + 1, streams[i].name, 2, right, 0xFFFFFFFF, first[i], streams[i].data.size());
  }

  layout.fat_offset = s;
  layout.dir_offset = dir;
  layout.first_sector = first;
  if (layout_out) *layout_out = layout;
  return out;
}

BiffBuilder& BiffBuilder::Record(std::uint16_t type, const Bytes& data) {
  const Bytes header = Concat({Le16Bytes(type), Le16Bytes(static_cast<std::uint16_t>(data.size()))});
  data_.insert(data_.end(), header.begin(), header.end());
  data_.insert(data_.end(), data.begin(), data.end());
  return *this;
}

BiffBuilder& BiffBuilder::Record(std::uint16_t type, std::initializer_list<int> data) {
  Bytes b;
  for (int v : data) b.push_back(static_cast<std::byte>(v));
  return Record(type, b);
}

Bytes Le16Bytes(std::uint16_t v) { return {static_cast<std::byte>(v & 0xFF), static_cast<std::byte>(v >> 8)}; }
Bytes Le32Bytes(std::uint32_t v) {
  return Concat({Le16Bytes(static_cast<std::uint16_t>(v & 0xFFFF)), Le16Bytes(static_cast<std::uint16_t>(v >> 16))});
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes B(std::initializer_list<int> values) {
  Bytes out;
  for (int v : values) out.push_back(static_cast<std::byte>(v));
  return out;
}

Bytes Latin1(std::string_view text) {
  Bytes out;
  for (char c : text) out.push_back(static_cast<std::byte>(c));
  return out;
}

Bytes Utf16(std::u16string_view text) {
  Bytes out;
  for (char16_t c : text) {
    const Bytes b = Le16Bytes(c);
    out.insert(out.end(), b.begin(), b.end());
  }
  return out;
}

}  // namespace cw::sheet::testing
