// Workbooks written by libxlsxwriter at test time, read back through the engine's reader.
#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <regex>

#include "sheet/address.h"
#include "sheet/cell_text.h"
#include "sheet/workbook_file.h"
#include "sheet/xlsx/xlsx_reader.h"
#include "tests/sheet/xlsx/test_package.h"

namespace cw::sheet {
namespace {

using testing::TempDir;

std::string Dump(const Workbook& book, std::size_t index) {
  CellTextRenderer renderer(book);
  std::string out;
  for (const Cell& cell : book.sheets.at(index).Cells()) {
    if (!out.empty()) out += '|';
    out += ColumnLetters(cell.column + 1u) + std::to_string(cell.row + 1u) + "=" + renderer.Text(cell);
  }
  return out;
}

void FillEveryType(lxw_workbook* book) {
  lxw_worksheet* s = workbook_add_worksheet(book, "Types");
  lxw_format* bold = workbook_add_format(book);
  format_set_bold(bold);
  worksheet_write_string(s, 0, 0, "text", nullptr);
  worksheet_write_string(s, 0, 1, "Zoë Łukasz 山田", bold);
  worksheet_write_string(s, 0, 2, "two\nlines", nullptr);
  worksheet_write_number(s, 1, 0, 123456789012.0, nullptr);
  worksheet_write_number(s, 1, 1, 1.0 / 3.0, nullptr);
  worksheet_write_number(s, 1, 2, -0.25, nullptr);
  worksheet_write_boolean(s, 2, 0, 1, nullptr);
  worksheet_write_boolean(s, 2, 1, 0, nullptr);
  worksheet_write_formula_num(s, 3, 0, "=1+2", nullptr, 3);
  worksheet_write_formula_str(s, 3, 1, "=\"a\"&\"b\"", nullptr, "ab");
  worksheet_write_blank(s, 4, 0, bold);          // formatted but empty: no cell
  worksheet_write_string(s, 4, 1, "", nullptr);  // libxlsxwriter writes nothing for ""
  lxw_rich_string_tuple plain = {nullptr, const_cast<char*>("plain ")};
  lxw_rich_string_tuple strong = {bold, const_cast<char*>("bold")};
  lxw_rich_string_tuple* runs[] = {&plain, &strong, nullptr};
  worksheet_write_rich_string(s, 5, 0, runs, nullptr);
}

constexpr std::string_view kEveryType =
    "A1=text|B1=Zoë Łukasz 山田|C1=two\nlines|A2=123456789012|B2=0.333333333333333|C2=-0.25|A3=TRUE|B3=FALSE|"
    "A4=3|B4=ab|A6=plain bold";

TEST(XlsxWriterWorkbooks, EveryCellTypeWithSharedStrings) {
  TempDir dir;
  const std::string path = dir.File("types.xlsx");
  testing::WriteWorkbook(path, FillEveryType);
  EXPECT_EQ(Dump(ReadWorkbookFile(path), 0), kEveryType);
}

TEST(XlsxWriterWorkbooks, EveryCellTypeWithInlineStrings) {
  TempDir dir;
  const std::string path = dir.File("inline.xlsx");
  testing::WriteWorkbook(path, FillEveryType, /*constant_memory=*/true);
  // The constant-memory writer keeps no shared-string table.
  ASSERT_EQ(testing::ReadParts(path).count("xl/sharedStrings.xml"), 0u);
  EXPECT_EQ(Dump(ReadWorkbookFile(path), 0), kEveryType);
}

TEST(XlsxWriterWorkbooks, NumberFormatsReachTheRenderer) {
  TempDir dir;
  const std::string path = dir.File("formats.xlsx");
  testing::WriteWorkbook(path, [](lxw_workbook* book) {
    lxw_worksheet* s = workbook_add_worksheet(book, "Formats");
    struct Entry {
      const char* code;
      int builtin;
      double value;
    };
    const Entry entries[] = {{"00000", -1, 1234},  {"yyyy-mm-dd", -1, 45000}, {"(###) ###-####", -1, 5551234567},
                             {nullptr, 14, 45000}, {nullptr, 10, 0.5},        {nullptr, 49, 7}};
    lxw_row_t row = 0;
    for (const auto& e : entries) {
      lxw_format* f = workbook_add_format(book);
      if (e.code) {
        format_set_num_format(f, e.code);
      } else {
        format_set_num_format_index(f, static_cast<uint8_t>(e.builtin));
      }
      worksheet_write_number(s, row++, 0, e.value, f);
    }
  });
  const Workbook book = ReadWorkbookFile(path);
  struct Expected {
    std::uint32_t row;
    std::optional<std::uint32_t> id;  // built-in id, or custom when nothing
    std::string_view code;
  };
  constexpr Expected kExpected[] = {{0, std::nullopt, "00000"},
                                    {1, std::nullopt, "yyyy-mm-dd"},
                                    {2, std::nullopt, "(###) ###-####"},
                                    {3, 14, ""},
                                    {4, 10, ""},
                                    {5, 49, ""}};
  NumberFormatter formatter({}, book.date_system);
  CellTextRenderer renderer(book);
  for (const auto& e : kExpected) {
    SCOPED_TRACE(e.row);
    const Cell* cell = book.sheets[0].Find(e.row, 0);
    ASSERT_NE(cell, nullptr);
    const std::uint32_t id = book.FormatIdOf(cell->style);
    if (e.id) {
      EXPECT_EQ(id, *e.id);
    } else {
      EXPECT_GE(id, 164u);
    }
    EXPECT_EQ(book.CustomCode(id), e.code);
    // The displayed text is the renderer's, under the cell's own format.
    EXPECT_EQ(renderer.Text(*cell), formatter.FormatNumber(cell->number, id, e.code));
  }
}

TEST(XlsxWriterWorkbooks, SeveralSheetsWithANonFirstActiveSheetAndAnEmptySheet) {
  TempDir dir;
  const std::string path = dir.File("sheets.xlsx");
  testing::WriteWorkbook(path, [](lxw_workbook* book) {
    worksheet_write_string(workbook_add_worksheet(book, "One"), 0, 0, "1", nullptr);
    workbook_add_worksheet(book, "Empty");
    lxw_worksheet* third = workbook_add_worksheet(book, "It's three");
    worksheet_write_number(third, 9, 2, 3, nullptr);
    lxw_worksheet* hidden = workbook_add_worksheet(book, "Hidden");
    worksheet_hide(hidden);
    worksheet_activate(third);
  });
  const Workbook book = ReadWorkbookFile(path);
  ASSERT_EQ(book.sheets.size(), 4u);
  EXPECT_EQ(book.sheets[0].Name(), "One");
  EXPECT_EQ(book.sheets[1].Name(), "Empty");
  EXPECT_EQ(book.sheets[2].Name(), "It's three");
  EXPECT_EQ(book.sheets[3].Name(), "Hidden");
  EXPECT_EQ(book.active_sheet, 2u);
  EXPECT_FALSE(book.sheets[1].UsedRange());
  EXPECT_EQ(Dump(book, 2), "C10=3");
  const auto used = book.sheets[2].UsedRange();
  ASSERT_TRUE(used);
  EXPECT_EQ(used->first_row, 9u);
  EXPECT_EQ(used->first_column, 2u);
}

// libxlsxwriter has no 1904 switch: its workbook.xml gets the flag Excel writes.
TEST(XlsxWriterWorkbooks, The1904DateSystem) {
  TempDir dir;
  const std::string path = dir.File("1904.xlsx");
  testing::WriteWorkbook(path, [](lxw_workbook* book) {
    worksheet_write_number(workbook_add_worksheet(book, nullptr), 0, 0, 1, nullptr);
  });
  testing::Parts parts = testing::ReadParts(path);
  EXPECT_EQ(ReadXlsx(testing::ZipBytes(parts)).date_system, DateSystem::k1900);
  std::string& workbook = parts.at("xl/workbook.xml");
  const auto at = workbook.find("<workbookPr");
  ASSERT_NE(at, std::string::npos);
  workbook.insert(at + 11, " date1904=\"1\"");
  EXPECT_EQ(ReadXlsx(testing::ZipBytes(parts)).date_system, DateSystem::k1904);
}

// Some writers leave out the r attributes of rows and cells; the order then gives the place.
TEST(XlsxWriterWorkbooks, ASheetWhoseCellsHaveNoReferences) {
  TempDir dir;
  const std::string path = dir.File("noref.xlsx");
  testing::WriteWorkbook(path, [](lxw_workbook* book) {
    lxw_worksheet* s = workbook_add_worksheet(book, nullptr);
    for (lxw_row_t r = 0; r < 3; ++r) {
      for (lxw_col_t c = 0; c < 4; ++c) worksheet_write_number(s, r, c, r * 10 + c, nullptr);
    }
  });
  testing::Parts parts = testing::ReadParts(path);
  std::string& sheet = parts.at("xl/worksheets/sheet1.xml");
  sheet = std::regex_replace(sheet, std::regex(R"( (r|spans)="[A-Z0-9:]+")"), "");
  ASSERT_EQ(sheet.find(" r=\""), std::string::npos);
  EXPECT_EQ(Dump(ReadXlsx(testing::ZipBytes(parts)), 0),
            "A1=0|B1=1|C1=2|D1=3|A2=10|B2=11|C2=12|D2=13|A3=20|B3=21|C3=22|D3=23");
}

// Every prefix of a valid workbook gives a clear error or a correct read, never a crash.
TEST(XlsxWriterWorkbooks, EveryTruncationIsAClearErrorOrACorrectRead) {
  TempDir dir;
  const std::string path = dir.File("small.xlsx");
  testing::WriteWorkbook(path, FillEveryType);
  const std::vector<std::byte> bytes = testing::FileBytes(path);
  const std::string whole = Dump(ReadWorkbook(bytes), 0);
  int errors = 0;
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    const std::span<const std::byte> prefix(bytes.data(), size);
    try {
      EXPECT_EQ(Dump(ReadWorkbook(prefix), 0), whole) << "prefix of " << size << " bytes";
    } catch (const ReadError& e) {
      ++errors;
      EXPECT_GT(std::string_view(e.what()).size(), 20u) << "prefix of " << size << " bytes";
    }
  }
  EXPECT_GT(errors, 0);
}

// Every single damaged byte likewise: the zip's checksums or the XML parser catch it, or
// the damage lands where it changes nothing the reader keeps.
TEST(XlsxWriterWorkbooks, EveryDamagedByteIsAClearErrorOrARead) {
  TempDir dir;
  const std::string path = dir.File("small.xlsx");
  testing::WriteWorkbook(path, FillEveryType);
  const std::vector<std::byte> original = testing::FileBytes(path);
  std::vector<std::byte> bytes = original;
  std::size_t errors = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = original[i] ^ std::byte{0x5A};
    try {
      const Workbook book = ReadWorkbook(bytes);
      EXPECT_EQ(book.sheets.size(), 1u) << "damaged byte " << i;
    } catch (const ReadError& e) {
      ++errors;
      EXPECT_GT(std::string_view(e.what()).size(), 20u) << "damaged byte " << i;
    }
    bytes[i] = original[i];
  }
  // Damage to the parts the reader opens is caught by their CRC; the theme and the document
  // properties are never opened, so damage there changes nothing.
  EXPECT_GT(errors, original.size() / 4);
}

}  // namespace
}  // namespace cw::sheet
