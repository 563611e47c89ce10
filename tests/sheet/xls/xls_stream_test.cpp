// The streamed rows of a block give exactly the texts of the workbook model, on every .xls
// fixture and on hand-built sheets whose rows come out of order or break off.
#include "sheet/xls/xls_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sheet/cell_text.h"
#include "sheet/workbook_file.h"
#include "sheet/xls/biff_records.h"
#include "sheet/xls/xls_error.h"
#include "sheet/xls/xls_reader.h"
#include "tests/sheet/xls/xls_test_support.h"

namespace cw::sheet {
namespace {

using testing::Bytes;
using testing::Concat;
using testing::Le16Bytes;

using Rows = std::vector<std::vector<std::string>>;

Rows Streamed(const Bytes& file, std::size_t sheet, const Extent& block, const std::vector<bool>& wanted,
              const FormatLocale& locale) {
  const auto stream = OpenXlsStream(file);
  const auto rows = stream->Rows(sheet, block, wanted, locale);
  Rows out;
  std::vector<std::string> texts;
  while (rows->NextRow(texts)) out.push_back(texts);
  return out;
}

Rows FromModel(const Workbook& wb, std::size_t sheet, const Extent& block, const std::vector<bool>& wanted,
               const FormatLocale& locale) {
  CellTextRenderer renderer(wb, locale);
  Rows out;
  for (std::uint32_t r = block.first_row; r <= block.last_row; ++r) {
    std::vector<std::string>& row = out.emplace_back();
    for (std::uint32_t c = block.first_column; c <= block.last_column; ++c) {
      row.push_back(wanted[c - block.first_column] ? renderer.Text(wb.sheets[sheet], r, c) : "");
    }
  }
  return out;
}

TEST(XlsStream, SameTextsAsTheModelOnEveryFixture) {
  const FormatLocale german{DateOrder::kDayMonthYear, '.', ',', '.'};
  std::vector<std::filesystem::path> files = {std::filesystem::path(CW_SOURCE_DIR) / "Samples/sample.xls"};
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::path(CW_SOURCE_DIR) / "tests/fixtures/xls")) {
    if (entry.path().extension() == ".xls") files.push_back(entry.path());
  }
  std::size_t blocks = 0;
  for (const auto& path : files) {
    SCOPED_TRACE(path.filename().string());
    const Bytes file = testing::ReadSourceFile(std::filesystem::relative(path, CW_SOURCE_DIR).string());
    Workbook wb;
    try {
      wb = ReadXls(file);
    } catch (const XlsReadError& e) {
      EXPECT_THROW(OpenXlsStream(file), XlsReadError);  // refused alike
      continue;
    }
    EXPECT_EQ(OpenXlsStream(file)->Model().sheets.size(), wb.sheets.size());
    for (std::size_t s = 0; s < wb.sheets.size(); ++s) {
      const auto used = wb.sheets[s].UsedRange();
      if (!used) continue;
      // The whole used range, and a block in its middle that runs one row and one column past it.
      const Extent whole = *used;
      const Extent middle{used->first_row + (used->last_row - used->first_row) / 3, used->first_column + 1,
                          used->last_row + 1, used->last_column + 1};
      for (const Extent& block : {whole, middle}) {
        std::vector<bool> wanted(block.last_column - block.first_column + 1, true);
        if (wanted.size() > 1) wanted[1] = false;
        for (const FormatLocale& locale : {FormatLocale{}, german}) {
          SCOPED_TRACE(::testing::Message() << "sheet " << s << " rows " << block.first_row << ".." << block.last_row);
          EXPECT_EQ(Streamed(file, s, block, wanted, locale), FromModel(wb, s, block, wanted, locale));
          ++blocks;
        }
      }
    }
  }
  EXPECT_GT(blocks, 40u);
}

// A BIFF8 workbook of one sheet holding these cell records, in a compound file.
Bytes OneSheetWorkbook(const std::vector<std::pair<std::uint16_t, Bytes>>& cells) {
  const Bytes bof_globals = Concat({Le16Bytes(0x0600), Le16Bytes(0x0005), Bytes(12)});
  const Bytes bof_sheet = Concat({Le16Bytes(0x0600), Le16Bytes(0x0010), Bytes(12)});
  testing::BiffBuilder globals;
  globals.Record(biff::kBof, bof_globals);
  const std::size_t position = globals.Size() + 4;
  globals.Record(biff::kBoundSheet, Concat({testing::Le32Bytes(0), testing::B({0, 0, 1, 0}), testing::Latin1("S")}));
  globals.Record(biff::kEof, Bytes{});
  Bytes stream = globals.Data();
  testing::PutU32(stream, position, static_cast<std::uint32_t>(stream.size()));
  testing::BiffBuilder sheet;
  sheet.Record(biff::kBof, bof_sheet);
  for (const auto& [type, data] : cells) sheet.Record(type, data);
  sheet.Record(biff::kEof, Bytes{});
  stream.insert(stream.end(), sheet.Data().begin(), sheet.Data().end());
  return testing::BuildCompoundFile({{u"Workbook", stream}});
}

std::pair<std::uint16_t, Bytes> Number(std::uint16_t row, std::uint16_t column, double value) {
  Bytes v(8);
  std::memcpy(v.data(), &value, 8);
  return {biff::kNumber, Concat({Le16Bytes(row), Le16Bytes(column), Le16Bytes(0), v})};
}

TEST(XlsStream, RowsOutOfOrderAreSortedAndTheLaterCellAtOnePlaceWins) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::uint16_t, Bytes>> cells;
    Extent block;
    Rows expected;
  };
  const Case kCases[] = {
      {"rows 3, 1, 2",
       {Number(3, 0, 3), Number(1, 0, 1), Number(2, 0, 2), Number(1, 1, 11)},
       {1, 0, 3, 1},
       {{"1", "11"}, {"2", ""}, {"3", ""}}},
      {"a row past the block, then one inside it",
       {Number(1, 0, 1), Number(9, 0, 9), Number(2, 0, 2)},
       {0, 0, 2, 0},
       {{""}, {"1"}, {"2"}}},
      {"in order, one place twice",
       {Number(0, 0, 1), Number(0, 0, 2), Number(2, 0, 3)},
       {0, 0, 2, 0},
       {{"2"}, {""}, {"3"}}},
      {"out of order, one place twice",
       {Number(2, 0, 1), Number(0, 0, 5), Number(2, 0, 2)},
       {0, 0, 2, 0},
       {{"5"}, {""}, {"2"}}},
      {"rows before the block come late",
       {Number(5, 0, 5), Number(0, 0, 9), Number(6, 0, 6)},
       {5, 0, 6, 0},
       {{"5"}, {"6"}}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    const Bytes file = OneSheetWorkbook(c.cells);
    const std::vector<bool> wanted(c.block.last_column - c.block.first_column + 1, true);
    EXPECT_EQ(Streamed(file, 0, c.block, wanted, {}), c.expected);
    EXPECT_EQ(FromModel(ReadXls(file), 0, c.block, wanted, {}), c.expected);
  }
}

TEST(XlsStream, DamageMidSheetComesAfterTheRowsBeforeIt) {
  // Rows 0..3 hold numbers; row 4's NUMBER record is cut to 6 bytes.
  std::vector<std::pair<std::uint16_t, Bytes>> cells;
  for (std::uint16_t r = 0; r < 4; ++r) cells.push_back(Number(r, 0, r));
  cells.push_back({biff::kNumber, Concat({Le16Bytes(4), Le16Bytes(0), Le16Bytes(0)})});
  cells.push_back(Number(5, 0, 5));
  const auto stream = OpenXlsStream(OneSheetWorkbook(cells));
  const auto rows = stream->Rows(0, {0, 0, 9, 0}, {true}, {});
  std::vector<std::string> texts;
  for (int r = 0; r < 4; ++r) {
    ASSERT_TRUE(rows->NextRow(texts));
    EXPECT_EQ(texts, std::vector<std::string>{std::to_string(r)});
  }
  for (int again = 0; again < 2; ++again) {
    try {
      rows->NextRow(texts);
      ADD_FAILURE() << "no error";
    } catch (const XlsReadError& e) {
      EXPECT_EQ(e.code, XlsErrorCode::kRecordDamaged);
    }
  }
}

}  // namespace
}  // namespace cw::sheet

namespace cw::sheet {
namespace {

TEST(XlsFiles, SmallWorkbookFilesOpenByPathForReadingAndStreaming) {
  // A workbook whose stream sits in the mini stream, in a file smaller than the 4,096
  // bytes read to tell a compound file from a zip package.
  const Bytes alone = OneSheetWorkbook({Number(1, 0, 42), Number(1, 2, 7)});
  ASSERT_LT(alone.size(), 4096u);
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "cw_xls_small_file_test.xls";
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(alone.data()), static_cast<std::streamsize>(alone.size()));
  }
  const Workbook wb = ReadWorkbookFile(path.string());
  EXPECT_EQ(CellTextRenderer(wb).Text(wb.sheets.at(0), 1, 0), "42");
  const auto rows = OpenWorkbookStreamFile(path.string())->Rows(0, {1, 0, 1, 2}, {true, true, true}, {});
  std::vector<std::string> texts;
  ASSERT_TRUE(rows->NextRow(texts));
  EXPECT_EQ(texts, (std::vector<std::string>{"42", "", "7"}));
  std::filesystem::remove(path);
  EXPECT_THROW(OpenWorkbookStreamFile(path.string()), WorkbookFileError);
}

}  // namespace
}  // namespace cw::sheet
