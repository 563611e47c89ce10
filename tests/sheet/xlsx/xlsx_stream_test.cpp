// The row stream of .xlsx sheets: the same texts as the object model, block by block, rows
// missing from the file, and errors met mid-sheet after the rows before them.
#include "sheet/xlsx/xlsx_stream.h"

#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <filesystem>

#include "sheet/cell_text.h"
#include "sheet/workbook_file.h"
#include "tests/sheet/xlsx/test_package.h"

namespace cw::sheet {
namespace {

using Rows = std::vector<std::vector<std::string>>;
using testing::MinimalParts;
using testing::ZipBytes;

// The rows the stream gives for `block`; `given` holds them even when a row throws.
Rows Streamed(std::span<const std::byte> bytes, std::size_t sheet, const Extent& block, std::vector<bool> wanted,
              Rows* given = nullptr) {
  Rows local;
  Rows& rows = given ? *given : local;
  const auto stream = OpenXlsxStream(bytes);
  const auto block_rows = stream->Rows(sheet, block, std::move(wanted), {});
  std::vector<std::string> texts;
  while (block_rows->NextRow(texts)) rows.push_back(texts);
  return rows;
}

Rows FromModel(const Workbook& book, std::size_t sheet, const Extent& block, const std::vector<bool>& wanted) {
  CellTextRenderer renderer(book);
  Rows rows;
  for (std::uint32_t r = block.first_row; r <= block.last_row; ++r) {
    auto& row = rows.emplace_back();
    for (std::uint32_t c = block.first_column; c <= block.last_column; ++c) {
      row.push_back(wanted[c - block.first_column] ? renderer.Text(book.sheets[sheet], r, c) : "");
    }
  }
  return rows;
}

void FillSeveralSheets(lxw_workbook* book) {
  {
    lxw_worksheet* a = workbook_add_worksheet(book, "Types");
    lxw_format* date = workbook_add_format(book);
    format_set_num_format(date, "yyyy-mm-dd");
    lxw_format* money = workbook_add_format(book);
    format_set_num_format(money, "#,##0.00;[Red](#,##0.00)");
    for (lxw_row_t r = 0; r < 40; ++r) {
      if (r % 7 == 3) continue;  // rows the file does not hold
      worksheet_write_string(a, r, 0, ("name " + std::to_string(r) + "\nline two").c_str(), nullptr);
      worksheet_write_number(a, r, 1, 30000 + r * 17.25, date);
      worksheet_write_number(a, r, 2, -1234.5 * r, money);
      if (r % 3 == 0) worksheet_write_boolean(a, r, 3, r % 2, nullptr);
      worksheet_write_formula_str(a, r, 4, "=\"x\"", nullptr, "x");
      worksheet_write_number(a, r, 6, 1.0 / (r + 1), nullptr);
    }
    workbook_add_worksheet(book, "Empty");
    worksheet_write_string(workbook_add_worksheet(book, "Far"), 5000, 300, "far away", nullptr);
  }
}

// Every fixture workbook and a libxlsxwriter one (shared and inline strings), every sheet:
// the whole used range, and a block in its middle with one column not wanted.
TEST(XlsxStream, GivesTheObjectModelsTextsForEveryFixture) {
  testing::TempDir dir;
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(CW_FIXTURES_DIR) + "/xlsx")) {
    if (entry.path().extension() == ".xlsx") paths.push_back(entry.path().string());
  }
  ASSERT_GE(paths.size(), 3u);
  paths.push_back(dir.File("shared.xlsx"));
  testing::WriteWorkbook(paths.back(), FillSeveralSheets);
  paths.push_back(dir.File("inline.xlsx"));
  testing::WriteWorkbook(paths.back(), FillSeveralSheets, /*constant_memory=*/true);
  for (const auto& path : paths) {
    SCOPED_TRACE(path);
    const Workbook book = ReadWorkbookFile(path);
    const std::vector<std::byte> bytes = testing::FileBytes(path);
    const auto stream = OpenXlsxStream(bytes);
    ASSERT_EQ(stream->Model().sheets.size(), book.sheets.size());
    EXPECT_EQ(stream->Model().active_sheet, book.active_sheet);
    for (std::size_t s = 0; s < book.sheets.size(); ++s) {
      SCOPED_TRACE(book.sheets[s].Name());
      EXPECT_EQ(stream->Model().sheets[s].Name(), book.sheets[s].Name());
      const auto used = book.sheets[s].UsedRange();
      if (!used) continue;
      const std::vector<bool> all(used->last_column - used->first_column + 1, true);
      EXPECT_EQ(Streamed(bytes, s, *used, all), FromModel(book, s, *used, all));
      Extent middle = *used;
      if (middle.last_row - middle.first_row >= 2) {
        ++middle.first_row;
        --middle.last_row;
      }
      if (middle.last_column > middle.first_column) ++middle.first_column;
      std::vector<bool> some(middle.last_column - middle.first_column + 1, true);
      if (some.size() > 1) some[1] = false;
      EXPECT_EQ(Streamed(bytes, s, middle, some), FromModel(book, s, middle, some));
    }
  }
}

TEST(XlsxStream, RowsMissingFromTheFileAndBeyondItAreEmpty) {
  const auto bytes = ZipBytes(MinimalParts(
      R"(<row r="2"><c r="A2" t="s"><v>0</v></c></row><row r="3"/><row r="5"><c r="B5"><v>5</v></c></row>)",
      {"<t>two</t>"}));
  const Rows expected = {{"", ""}, {"two", ""}, {"", ""}, {"", ""}, {"", "5"}, {"", ""}, {"", ""}};
  EXPECT_EQ(Streamed(bytes, 0, {0, 0, 6, 1}, {true, true}), expected);
}

// An error met mid-sheet is thrown at its row, after the rows before it, and again on later
// calls; parsing stops after the block, so damage beyond it is never met.
TEST(XlsxStream, ErrorsComeAtTheirRowAfterTheRowsBefore) {
  std::string data;
  for (int r = 1; r <= 8; ++r) {
    const std::string n = std::to_string(r);
    data += "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v>" + n + "</v></c>" +
            (r == 5 ? "<c r=\"B5\" t=\"b\"><v>maybe</v></c>" : "") + "</row>";
  }
  const std::string sheet_xml = MinimalParts(data).at("xl/worksheets/sheet1.xml");
  struct Case {
    std::string_view label;
    std::string sheet;
    std::uint32_t last_row;
    std::size_t given;  // rows given before the error; all of them when none is expected
    bool fails;
  };
  const Case cases[] = {
      {"cut inside row 5", sheet_xml.substr(0, sheet_xml.find("<row r=\"5\"") + 20), 7, 4, true},
      {"out of order",
       MinimalParts(R"(<row r="1"><c><v>1</v></c></row><row r="4"><c><v>4</v></c></row>)"
                    R"(<row r="2"><c><v>2</v></c></row>)")
           .at("xl/worksheets/sheet1.xml"),
       7, 1, true},
      {"damage after the block", sheet_xml.substr(0, sheet_xml.find("<row r=\"6\"") + 20), 3, 4, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    testing::Parts parts = MinimalParts("");
    parts["xl/worksheets/sheet1.xml"] = c.sheet;
    const auto bytes = ZipBytes(parts);
    const auto stream = OpenXlsxStream(bytes);
    const auto rows = stream->Rows(0, {0, 0, c.last_row, 1}, {true, true}, {});
    std::vector<std::string> texts;
    for (std::size_t r = 0; r < c.given; ++r) {
      ASSERT_TRUE(rows->NextRow(texts));
      EXPECT_EQ(texts[0], std::to_string(r + 1)) << "row " << r + 1;
    }
    if (!c.fails) {
      EXPECT_FALSE(rows->NextRow(texts));
      continue;
    }
    for (int again = 0; again < 2; ++again) {
      try {
        rows->NextRow(texts);
        ADD_FAILURE() << "no error at row " << c.given + 1;
      } catch (const XlsxError& e) {
        EXPECT_NE(std::string(e.what()).find("sheet1.xml"), std::string::npos) << e.what();
      }
    }
  }
}

// A cell whose value is not of its type is one damaged cell, not a damaged sheet: the row
// gives it empty and says why, and the rows after it come as usual.
TEST(XlsxStream, AnUnreadableCellIsSaidAndTheRowsGoOn) {
  const auto bytes = ZipBytes(MinimalParts(
      R"(<row r="1"><c r="A1"><v>1</v></c><c r="B1"><v>abc</v></c></row>)"
      R"(<row r="2"><c r="A2" t="b"><v>maybe</v></c><c r="B2"><v>2</v></c></row><row r="3"><c r="A3"><v>3</v></c></row>)"));
  const auto stream = OpenXlsxStream(bytes);
  const auto rows = stream->Rows(0, {0, 0, 2, 1}, {true, true}, {});
  std::vector<std::string> texts;
  const std::vector<std::vector<std::string>> expected = {{"1", ""}, {"", "2"}, {"3", ""}};
  const std::vector<std::optional<std::size_t>> damaged = {1, 0, std::nullopt};
  for (std::size_t r = 0; r < expected.size(); ++r) {
    SCOPED_TRACE(r + 1);
    ASSERT_TRUE(rows->NextRow(texts));
    EXPECT_EQ(texts, expected[r]);
    for (std::size_t column = 0; column < 2; ++column) {
      const auto why = rows->ErrorOf(column);
      EXPECT_EQ(why.has_value(), damaged[r] == column);
      if (why) {
        EXPECT_NE(why->find(r == 0 ? "\"abc\", which is not a number" : "not TRUE or FALSE"), std::string::npos)
            << *why;
      }
    }
  }
  EXPECT_FALSE(rows->NextRow(texts));
  // Unwanted, the damaged cell is never read.
  EXPECT_EQ(Streamed(bytes, 0, {0, 0, 2, 0}, {false}).size(), 3u);
}

// Damage to the deflated data of a large sheet: the rows given before the error are the
// intact file's.
TEST(XlsxStream, DamagedZipDataFailsAfterCorrectRows) {
  std::string data;
  for (int r = 1; r <= 20000; ++r) {
    data += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) + "\"><v>" +
            std::to_string(r * 7919 % 100003) + "</v></c></row>";
  }
  const testing::Parts parts = MinimalParts(data);
  std::vector<std::byte> bytes = ZipBytes(parts);
  const Extent block{0, 0, 19999, 0};
  const Rows intact = Streamed(bytes, 0, block, {true});
  const std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const std::size_t sheet_at = text.find("xl/worksheets/sheet1.xml");  // the local header's name
  bytes[sheet_at + 30000] ^= std::byte{0x55};
  Rows given;
  try {
    Streamed(bytes, 0, block, {true}, &given);
    ADD_FAILURE() << "no error";
  } catch (const XlsxError& e) {
    EXPECT_GT(std::string_view(e.what()).size(), 20u);
  }
  ASSERT_LT(given.size(), intact.size());
  EXPECT_TRUE(std::equal(given.begin(), given.end(), intact.begin()));
}

// A block that ends before the damage gives its rows whole; Finish then reads the rest of the
// part and finds its checksum wrong, so the run never calls such rows done.
TEST(XlsxStream, FinishChecksThePartToItsEnd) {
  std::string data;
  for (int r = 1; r <= 2000; ++r)
    data += "<row r=\"" + std::to_string(r) + "\"><c><v>" + std::to_string(r) + "</v></c></row>";
  std::vector<std::byte> bytes = ZipBytes(MinimalParts(data), /*stored=*/true);
  const std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const std::size_t late = text.find("<v>1999</v>");
  ASSERT_NE(late, std::string::npos);
  for (const bool damaged : {false, true}) {
    SCOPED_TRACE(damaged);
    std::vector<std::byte> file = bytes;
    if (damaged) file[late + 3] = std::byte{'7'};  // still well-formed XML: only the checksum knows
    const auto stream = OpenXlsxStream(file);
    const auto rows = stream->Rows(0, Extent{0, 0, 1, 0}, {true}, {});
    std::vector<std::string> texts;
    ASSERT_TRUE(rows->NextRow(texts));
    ASSERT_TRUE(rows->NextRow(texts));
    EXPECT_EQ(texts, std::vector<std::string>{"2"});
    EXPECT_FALSE(rows->NextRow(texts));
    if (damaged) {
      try {
        rows->Finish();
        ADD_FAILURE() << "no error";
      } catch (const XlsxError& e) {
        EXPECT_EQ(e.code, XlsxErrorCode::kPartDamaged) << e.what();
      }
    } else {
      EXPECT_NO_THROW(rows->Finish());
    }
  }
}

// The shared strings are read beside the sheet: rows that name strings far ahead of what has
// been read wait for them; a string the part lacks, or damage to the part, is met at the row
// that needs it, after the rows before; and Finish finds damage the block never needed.
TEST(XlsxStream, SharedStringsReadBesideTheSheet) {
  constexpr int kStrings = 10000;  // several of the loader's segments
  std::vector<std::string> shared;
  for (int i = 0; i < kStrings; ++i) shared.push_back("<t>s" + std::to_string(i) + "</t>");
  // Rows 1 to 3 name strings past the first segments, row 4 `row4`, rows 5 and 6 the first.
  const auto named = [](int r, int row4) { return r <= 3 ? 5000 - r : r == 4 ? row4 : r - 5; };
  const auto sheet_with = [&](int row4) {
    std::string data;
    for (int r = 1; r <= 6; ++r) {
      const int index = named(r, row4);
      data += "<row r=\"" + std::to_string(r) + "\"><c t=\"s\"><v>" + std::to_string(index) + "</v></c></row>";
    }
    return data;
  };
  testing::Parts good = MinimalParts(sheet_with(kStrings - 4), shared);
  testing::Parts missing = MinimalParts(sheet_with(kStrings), shared);
  testing::Parts cut = good;
  std::string& strings = cut.at("xl/sharedStrings.xml");
  strings.resize(strings.find("<t>s5000</t>"));  // row 4 names string 9996
  struct Case {
    std::string_view label;
    const testing::Parts& parts;
    std::size_t given;  // rows given before the error; all six when none
    std::optional<XlsxErrorCode> error;
  };
  const Case cases[] = {
      {"every string there", good, 6, std::nullopt},
      {"a string past the last", missing, 3, XlsxErrorCode::kStringIndex},
      {"the part cut short", cut, 3, XlsxErrorCode::kXmlMalformed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const auto bytes = ZipBytes(c.parts);
    const auto stream = OpenXlsxStream(bytes);
    const auto rows = stream->Rows(0, {0, 0, 5, 0}, {true}, {});
    std::vector<std::string> texts;
    for (std::size_t r = 0; r < c.given; ++r) {
      ASSERT_TRUE(rows->NextRow(texts));
      EXPECT_EQ(texts[0], "s" + std::to_string(named(static_cast<int>(r) + 1, kStrings - 4))) << "row " << r + 1;
    }
    if (!c.error) {
      EXPECT_FALSE(rows->NextRow(texts));
      EXPECT_NO_THROW(rows->Finish());
      continue;
    }
    try {
      rows->NextRow(texts);
      ADD_FAILURE() << "no error at row " << c.given + 1;
    } catch (const XlsxError& e) {
      EXPECT_EQ(e.code, *c.error) << e.what();
    }
  }
  // A block of the first row alone needs none of the missing text; Finish still finds it.
  const auto bytes = ZipBytes(cut);
  const auto rows = OpenXlsxStream(bytes)->Rows(0, {0, 0, 0, 0}, {true}, {});
  std::vector<std::string> texts;
  ASSERT_TRUE(rows->NextRow(texts));
  EXPECT_FALSE(rows->NextRow(texts));
  EXPECT_THROW(rows->Finish(), XlsxError);
}

}  // namespace
}  // namespace cw::sheet
