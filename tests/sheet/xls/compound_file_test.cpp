#include "sheet/xls/compound_file.h"

#include <gtest/gtest.h>

#include <functional>

#include "sheet/xls/xls_error.h"
#include "tests/sheet/xls/xls_test_support.h"

namespace cw::sheet {
namespace {

using testing::BuildCompoundFile;
using testing::Bytes;
using testing::CompoundLayout;
using testing::PutU32;

Bytes Pattern(std::size_t size, int seed) {
  Bytes b(size);
  for (std::size_t i = 0; i < size; ++i)
    b[i] = static_cast<std::byte>((i * 31 + static_cast<std::size_t>(seed)) & 0xFF);
  return b;
}

XlsErrorCode OpenAndReadAll(const Bytes& file) {
  try {
    const CompoundFile cf(file);
    for (const auto& name : cf.StreamNames()) cf.ReadStream(name);
  } catch (const XlsReadError& e) {
    return e.code;
  }
  ADD_FAILURE() << "no error";
  return XlsErrorCode::kNotXls;
}

TEST(CompoundFile, ReadsStreamsOfEverySizeInBothVersions) {
  struct Case {
    int version;
    std::size_t size;
    const char* where;
  };
  constexpr Case kCases[] = {
      {3, 1, "mini stream"},
      {3, 64, "mini stream, one full mini sector"},
      {3, 4095, "mini stream, largest"},
      {3, 4096, "FAT, smallest"},
      {3, 70000, "FAT, many sectors"},
      {4, 100, "mini stream"},
      {4, 4096, "FAT, one sector"},
      {4, 4097, "FAT, second sector holds one byte"},
      {4, 50000, "FAT"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(::testing::Message() << "version " << c.version << ", " << c.size << " bytes, " << c.where);
    const Bytes data = Pattern(c.size, c.version);
    const Bytes other = Pattern(300, 7);
    const Bytes file = BuildCompoundFile({{u"Other", other}, {u"Workbook", data}}, c.version);
    const CompoundFile cf(file);
    EXPECT_TRUE(cf.HasStream(u"workbook"));  // names compare without regard to case
    EXPECT_FALSE(cf.HasStream(u"Book"));
    EXPECT_EQ(cf.ReadStream(u"Workbook"), data);
    EXPECT_EQ(cf.ReadStream(u"Other"), other);
    EXPECT_EQ(cf.ReadStream(u"Missing"), std::nullopt);
    Bytes storage;
    const auto view = cf.StreamBytes(u"Workbook", storage);
    ASSERT_TRUE(view);
    EXPECT_TRUE(std::equal(view->begin(), view->end(), data.begin(), data.end()));
  }
}

TEST(CompoundFile, FatListedPastTheHeaderInDifatSectors) {
  struct Case {
    std::size_t fat_sectors;
    const char* what;
  };
  constexpr Case kCases[] = {{109, "all in the header"}, {110, "one DIFAT sector"}, {300, "two DIFAT sectors"}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    const Bytes data = Pattern(6000, 9);
    CompoundLayout layout;
    const Bytes file = BuildCompoundFile({{u"Workbook", data}}, 3, &layout, c.fat_sectors);
    EXPECT_EQ(CompoundFile(file).ReadStream(u"Workbook"), data);
  }
  // A DIFAT chain that points at itself.
  Bytes looped = BuildCompoundFile({{u"Workbook", Pattern(6000, 9)}}, 3, nullptr, 300);
  const std::uint32_t first_difat = 300;  // DIFAT sectors follow the FAT sectors
  PutU32(looped, (first_difat + 1) * 512 + 4 * 127, first_difat);
  EXPECT_EQ(OpenAndReadAll(looped), XlsErrorCode::kChainLoops);
}

TEST(CompoundFile, ReadsTheStreamsOfRealWriters) {
  // Gnumeric's "dual" save holds an Excel 95 "Book" beside the Excel 97 "Workbook".
  const Bytes dual = testing::ReadFixture("gnumeric_dual.xls");
  const CompoundFile cf(dual);
  EXPECT_TRUE(cf.HasStream(u"Book"));
  EXPECT_TRUE(cf.HasStream(u"Workbook"));
  const Bytes xlwt = testing::ReadFixture("xlwt_cells.xls");
  const auto stream = CompoundFile(xlwt).ReadStream(u"Workbook");
  ASSERT_TRUE(stream);
  ASSERT_GE(stream->size(), 4u);
  EXPECT_EQ(std::to_integer<int>((*stream)[0]), 0x09);  // a BOF record opens the stream
  EXPECT_EQ(std::to_integer<int>((*stream)[1]), 0x08);
}

TEST(CompoundFile, DamagedFilesGiveTheirError) {
  struct Case {
    const char* what;
    std::function<void(Bytes&, const CompoundLayout&)> damage;
    XlsErrorCode expected;
  };
  const Case kCases[] = {
      {"FAT chain points at itself",
       [](Bytes& f, const CompoundLayout& l) { PutU32(f, l.fat_offset + 4 * l.first_sector[0], l.first_sector[0]); },
       XlsErrorCode::kChainLoops},
      {"FAT chain runs back to its start",
       [](Bytes& f, const CompoundLayout& l) {
         PutU32(f, l.fat_offset + 4 * (l.first_sector[0] + 3), l.first_sector[0]);
       },
       XlsErrorCode::kChainLoops},
      {"FAT chain points past the FAT",
       [](Bytes& f, const CompoundLayout& l) { PutU32(f, l.fat_offset + 4 * l.first_sector[0], 0x00FFFFFF); },
       XlsErrorCode::kCompoundFileDamaged},
      {"FAT chain ends before the stream does",
       [](Bytes& f, const CompoundLayout& l) { PutU32(f, l.fat_offset + 4 * l.first_sector[0], 0xFFFFFFFE); },
       XlsErrorCode::kCompoundFileTruncated},
      {"free sector inside a chain",
       [](Bytes& f, const CompoundLayout& l) { PutU32(f, l.fat_offset + 4 * l.first_sector[0], 0xFFFFFFFF); },
       XlsErrorCode::kCompoundFileDamaged},
      {"stream larger than the file",
       [](Bytes& f, const CompoundLayout& l) { PutU32(f, l.dir_offset + 128 + 0x78, 0x7FFFFFFF); },
       XlsErrorCode::kCompoundFileTruncated},
      {"directory sibling points at itself",
       [](Bytes& f, const CompoundLayout& l) { PutU32(f, l.dir_offset + 128 + 0x48, 1); }, XlsErrorCode::kChainLoops},
      {"directory child out of range", [](Bytes& f, const CompoundLayout& l) { PutU32(f, l.dir_offset + 0x4C, 5000); },
       XlsErrorCode::kCompoundFileDamaged},
      {"directory chain loops",
       [](Bytes& f, const CompoundLayout& l) {
         const std::uint32_t dir_sector = static_cast<std::uint32_t>(l.dir_offset / l.sector_size - 1);
         PutU32(f, l.fat_offset + 4 * dir_sector, dir_sector);
       },
       XlsErrorCode::kChainLoops},
      {"mini chain loops",
       [](Bytes& f, const CompoundLayout& l) {
         // The mini FAT sits right after the directory sector in the writer's layout.
         const std::size_t mini_fat = l.dir_offset + l.sector_size;
         PutU32(f, mini_fat + 4 * l.first_sector[1], l.first_sector[1]);
       },
       XlsErrorCode::kChainLoops},
      {"sector size neither 512 nor 4096", [](Bytes& f, const CompoundLayout&) { f[0x1E] = std::byte{10}; },
       XlsErrorCode::kCompoundFileDamaged},
      {"unknown major version", [](Bytes& f, const CompoundLayout&) { f[0x1A] = std::byte{5}; },
       XlsErrorCode::kCompoundFileDamaged},
      {"FAT larger than the file", [](Bytes& f, const CompoundLayout&) { PutU32(f, 0x2C, 0x10000000); },
       XlsErrorCode::kCompoundFileDamaged},
      {"FAT sector past the end", [](Bytes& f, const CompoundLayout&) { PutU32(f, 0x4C, 0x00100000); },
       XlsErrorCode::kCompoundFileTruncated},
      {"cut after the header", [](Bytes& f, const CompoundLayout&) { f.resize(600); },
       XlsErrorCode::kCompoundFileTruncated},
      {"cut inside the header", [](Bytes& f, const CompoundLayout&) { f.resize(100); },
       XlsErrorCode::kCompoundFileTruncated},
      {"no signature", [](Bytes& f, const CompoundLayout&) { f[0] = std::byte{0x50}; }, XlsErrorCode::kNotXls},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    CompoundLayout layout;
    Bytes file = BuildCompoundFile({{u"Workbook", Pattern(9000, 1)}, {u"Small", Pattern(200, 2)}}, 3, &layout);
    c.damage(file, layout);
    EXPECT_EQ(OpenAndReadAll(file), c.expected);
  }
}

TEST(CompoundFile, StreamWhoseSectorsAreOutOfOrderIsCopiedInOrder) {
  CompoundLayout layout;
  const Bytes data = Pattern(8 * 512 + 100, 5);  // 9 sectors, past the mini-stream cutoff
  // Swap the stream's first two sectors in the file and in its chain: s1 -> s0 -> s2.
  Bytes file = BuildCompoundFile({{u"Workbook", Bytes(data.size())}}, 3, &layout);
  const std::uint32_t s0 = layout.first_sector[0];
  auto offset = [&](std::uint32_t s) { return (s + 1) * std::size_t{512}; };
  std::copy(data.begin(), data.begin() + 512, file.begin() + static_cast<std::ptrdiff_t>(offset(s0 + 1)));
  std::copy(data.begin() + 512, data.begin() + 1024, file.begin() + static_cast<std::ptrdiff_t>(offset(s0)));
  std::copy(data.begin() + 1024, data.end(), file.begin() + static_cast<std::ptrdiff_t>(offset(s0 + 2)));
  PutU32(file, layout.fat_offset + 4 * (s0 + 1), s0);
  PutU32(file, layout.fat_offset + 4 * s0, s0 + 2);
  PutU32(file, layout.dir_offset + 128 + 0x74, s0 + 1);
  const CompoundFile cf(file);
  Bytes storage;
  const auto view = cf.StreamBytes(u"Workbook", storage);
  ASSERT_TRUE(view);
  EXPECT_TRUE(std::equal(view->begin(), view->end(), data.begin(), data.end()));
  EXPECT_EQ(view->data(), storage.data());  // copied, since the sectors are not in order
}

TEST(CompoundFile, EveryTruncationFailsCleanlyOrReadsTheSameStream) {
  const Bytes data = Pattern(5000, 3);
  const Bytes file = BuildCompoundFile({{u"Workbook", data}, {u"Small", Pattern(100, 4)}});
  for (std::size_t size = 0; size < file.size(); ++size) {
    const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
    try {
      const CompoundFile cf(cut);
      const auto read = cf.ReadStream(u"Workbook");
      ASSERT_TRUE(read) << size;
      EXPECT_EQ(*read, data) << size;
    } catch (const XlsReadError&) {
    }
  }
}

}  // namespace
}  // namespace cw::sheet
