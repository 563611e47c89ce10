#include "sheet/engine.h"

#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <cstdlib>
#include <filesystem>

#include "tests/sheet/xlsx/test_package.h"

namespace cw::sheet {
namespace {

using testing::TempDir;

// Three sheets, the second active: "First" (A1:B2), "My Sheet" (B2:D6), "Sheet2" (empty).
void WriteThreeSheets(const std::string& path) {
  testing::WriteWorkbook(path, [](lxw_workbook* book) {
    lxw_worksheet* first = workbook_add_worksheet(book, "First");
    lxw_worksheet* mine = workbook_add_worksheet(book, "My Sheet");
    workbook_add_worksheet(book, "Sheet2");
    worksheet_write_string(first, 0, 0, "first-a1", nullptr);
    worksheet_write_number(first, 1, 1, 2.5, nullptr);
    worksheet_write_string(mine, 1, 1, "Ann", nullptr);
    worksheet_write_string(mine, 1, 2, "Lee", nullptr);
    worksheet_write_number(mine, 5, 3, 42, nullptr);
    worksheet_activate(mine);
  });
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("book.xlsx");
    WriteThreeSheets(path_);
  }
  TempDir dir_;
  std::string path_;
};

struct RangeCase {
  std::string_view address;
  std::size_t sheet;
  std::uint32_t row, column, rows, columns, last_row, last_column;
  std::string_view formatted;
};

TEST_F(EngineTest, RangesResolveOnTheNamedOrActiveSheet) {
  const RangeCase cases[] = {
      {"A1:B3", 1, 1, 1, 3, 2, 3, 2, "$A$1:$B$3"},
      {"$A$1:$C$10", 1, 1, 1, 10, 3, 10, 3, "$A$1:$C$10"},
      {"B2", 1, 2, 2, 1, 1, 2, 2, "$B$2"},
      {"C3:A1", 1, 1, 1, 3, 3, 3, 3, "$A$1:$C$3"},
      {"'My Sheet'!$A$1:$C$10", 1, 1, 1, 10, 3, 10, 3, "$A$1:$C$10"},
      {"'my sheet'!B2", 1, 2, 2, 1, 1, 2, 2, "$B$2"},
      {"Sheet2!A1:C3", 2, 1, 1, 3, 3, 3, 3, "Sheet2!$A$1:$C$3"},
      {"First!$B$2", 0, 2, 2, 1, 1, 2, 2, "First!$B$2"},
      // Whole columns and rows stop at the used range (B2:D6 on "My Sheet").
      {"A:C", 1, 2, 1, 5, 3, 6, 3, "$A$2:$C$6"},
      {"$C:$C", 1, 2, 3, 5, 1, 6, 3, "$C$2:$C$6"},
      {"2:5", 1, 2, 2, 4, 3, 5, 4, "$B$2:$D$5"},
      {"First!A:A", 0, 1, 1, 2, 1, 2, 1, "First!$A$1:$A$2"},
      {"A1:C1048576", 1, 2, 1, 5, 3, 6, 3, "$A$2:$C$6"},  // typed from edge to edge
      // The used range of an empty sheet is A1.
      {"Sheet2!A:B", 2, 1, 1, 1, 2, 1, 2, "Sheet2!$A$1:$B$1"},
  };
  // Blocks are placed alike on a workbook loaded whole and on one opened for streaming.
  for (const bool streaming : {false, true}) {
    Application app;
    OpenedWorkbook& book = streaming ? app.OpenForStreaming(path_) : app.Open(path_);
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.address) + (streaming ? " streaming" : ""));
      const Range r = book.GetRange(c.address);
      EXPECT_EQ(r.SheetIndex(), c.sheet);
      EXPECT_EQ(r.Row(), c.row);
      EXPECT_EQ(r.Column(), c.column);
      EXPECT_EQ(r.RowsCount(), c.rows);
      EXPECT_EQ(r.ColumnsCount(), c.columns);
      EXPECT_EQ(r.LastRow(), c.last_row);
      EXPECT_EQ(r.LastColumn(), c.last_column);
      EXPECT_EQ(book.Address(r), c.formatted);
      // The address given back selects the same cells again.
      const Range again = book.GetRange(book.Address(r));
      EXPECT_EQ(again.SheetIndex(), r.SheetIndex());
      EXPECT_EQ(again.Row(), r.Row());
      EXPECT_EQ(again.LastColumn(), r.LastColumn());
    }
  }
}

TEST_F(EngineTest, BadAddressesRaiseErrorsNamingThem) {
  const std::string_view bad[] = {"", "A0", "XFE1", "A1:", "1A", "Nope!A1", "'Unclosed!A1", "A1:B2:C3"};
  Application app;
  OpenedWorkbook& book = app.Open(path_);
  for (const auto address : bad) {
    SCOPED_TRACE(address);
    try {
      book.GetRange(address);
      ADD_FAILURE() << "no error";
    } catch (const EngineError& e) {
      const std::string named = address.starts_with("Nope") ? "Nope" : std::string(address);
      EXPECT_NE(std::string(e.what()).find(named), std::string::npos) << e.what();
    }
  }
}

TEST_F(EngineTest, CellTextIsTheDisplayedTextOnTheRangesSheet) {
  struct Case {
    std::string_view address;
    std::uint32_t row, column;
    std::string_view text;
  };
  constexpr Case kCases[] = {
      {"A1", 2, 2, "Ann"},
      {"A1", 2, 3, "Lee"},
      {"A1", 6, 4, "42"},
      {"A1", 1, 1, ""},
      {"First!A1", 1, 1, "first-a1"},
      {"First!A1", 2, 2, "2.5"},
      {"Sheet2!A1", 2, 2, ""},
      {"A1", 1048576, 16384, ""},
  };
  Application app;
  OpenedWorkbook& book = app.Open(path_);
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.address) + " " + std::to_string(c.row) + "," + std::to_string(c.column));
    EXPECT_EQ(book.CellText(book.GetRange(c.address), c.row, c.column), c.text);
  }
  const Range any = book.GetRange("A1");
  EXPECT_THROW(book.CellText(any, 0, 1), EngineError);
  EXPECT_THROW(book.CellText(any, 1, 16385), EngineError);
  EXPECT_THROW(book.CellText(Range(9, 1, 1, 1, 1), 1, 1), EngineError);
}

TEST_F(EngineTest, WorkbookListCountsOpenWorkbooksAndTheLastIsTheNewest) {
  const std::string other = dir_.File("other.xlsx");
  testing::WriteWorkbook(other, [](lxw_workbook* book) {
    worksheet_write_string(workbook_add_worksheet(book, "Only"), 0, 0, "other", nullptr);
  });
  Application app;
  EXPECT_EQ(app.WorkbooksCount(), 0);
  EXPECT_THROW(app.Workbooks(1), EngineError);
  app.Open(path_);
  OpenedWorkbook& second = app.Open(other);
  ASSERT_EQ(app.WorkbooksCount(), 2);
  EXPECT_EQ(&app.Workbooks(app.WorkbooksCount()), &second);
  EXPECT_EQ(second.CellText(second.GetRange("A1"), 1, 1), "other");
  EXPECT_THROW(app.Workbooks(0), EngineError);
  EXPECT_THROW(app.Workbooks(3), EngineError);

  // A file that cannot be read leaves the list as it was.
  EXPECT_THROW(app.Open(dir_.File("missing.xlsx")), ReadError);
  EXPECT_EQ(app.WorkbooksCount(), 2);

  app.Workbooks(1).Close();
  EXPECT_EQ(app.WorkbooksCount(), 1);
  EXPECT_EQ(&app.Workbooks(1), &second);
  second.Close();
  second.Close();
  EXPECT_EQ(app.WorkbooksCount(), 0);
  EXPECT_THROW(second.GetRange("A1"), EngineError);
  EXPECT_THROW(second.CellText(Range(0, 1, 1, 1, 1), 1, 1), EngineError);

  app.Open(other);
  app.Quit();
  EXPECT_EQ(app.WorkbooksCount(), 0);
  EXPECT_THROW(app.Open(other), EngineError);
}

// The contacts of a real export: the texts come out as the cells show them, with the
// application's regional settings and the workbook's date system.
TEST(EngineText, FormattedCellsShowAsTheWorkbookShowsThem) {
  TempDir dir;
  const std::string path = dir.File("formats.xlsx");
  testing::WriteWorkbook(path, [](lxw_workbook* book) {
    lxw_worksheet* s = workbook_add_worksheet(book, "Contacts");
    const auto format = [&](const char* code) {
      lxw_format* f = workbook_add_format(book);
      format_set_num_format(f, code);
      return f;
    };
    lxw_format* short_date = workbook_add_format(book);
    format_set_num_format_index(short_date, 14);
    worksheet_write_number(s, 0, 0, 5551234567, format("(###) ###-####"));
    worksheet_write_number(s, 0, 1, 2134, format("00000"));
    worksheet_write_number(s, 0, 2, 30884, format("yyyy-mm-dd"));
    worksheet_write_number(s, 0, 3, 30884, short_date);
    worksheet_write_number(s, 0, 4, 1234.5, format("#,##0.00"));
  });
  struct Case {
    std::string_view label;
    FormatLocale locale;
    std::string_view a1, b1, c1, d1, e1;
  };
  const Case cases[] = {
      {"United States", {}, "(555) 123-4567", "02134", "1984-07-21", "7/21/1984", "1,234.50"},
      {"Germany",
       {DateOrder::kDayMonthYear, '.', ',', '.'},
       "(555) 123-4567",
       "02134",
       "1984-07-21",
       "21.07.1984",
       "1.234,50"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    Application app(c.locale);
    OpenedWorkbook& book = app.Open(path);
    const Range row = book.GetRange("A1:E1");
    EXPECT_EQ(book.CellText(row, 1, 1), c.a1);
    EXPECT_EQ(book.CellText(row, 1, 2), c.b1);
    EXPECT_EQ(book.CellText(row, 1, 3), c.c1);
    EXPECT_EQ(book.CellText(row, 1, 4), c.d1);
    EXPECT_EQ(book.CellText(row, 1, 5), c.e1);
  }

  // The same serial number in a 1904 workbook is four years and a day later.
  testing::Parts parts = testing::ReadParts(path);
  std::string& workbook = parts.at("xl/workbook.xml");
  workbook.insert(workbook.find("<workbookPr") + 11, " date1904=\"1\"");
  const std::string path_1904 = dir.File("1904.xlsx");
  testing::WriteFile(path_1904, testing::ZipBytes(parts));
  Application app;
  OpenedWorkbook& book = app.Open(path_1904);
  EXPECT_EQ(book.CellText(book.GetRange("C1"), 1, 3), "1988-07-22");
}

TEST_F(EngineTest, AWorkbookOpensByItsContentWhateverItsExtension) {
  const std::string renamed = dir_.File("really xlsx.xls");
  std::filesystem::copy_file(path_, renamed);
  Application app;
  OpenedWorkbook& book = app.Open(renamed);
  EXPECT_EQ(book.Model().sheets.size(), 3u);
  EXPECT_EQ(book.Model().active_sheet, 1u);
}

// An .xls workbook (written by xlwt) under an .xlsx name goes to the .xls reader.
TEST(EngineOpen, AnXlsWorkbookUnderAnXlsxNameOpens) {
  TempDir dir;
  const std::string path = dir.File("really xls.xlsx");
  const std::string script =
      "import sys, xlwt\n"
      "book = xlwt.Workbook()\n"
      "book.add_sheet('Names').write(1, 2, 'Ann')\n"
      "book.save(sys.argv[1])\n";
  testing::WriteFile(dir.File("make.py"), script);
  if (std::system(("/usr/bin/python3 '" + dir.File("make.py") + "' '" + path + "'").c_str()) != 0) {
    GTEST_SKIP() << "python3-xlwt is not installed";
  }
  Application app;
  OpenedWorkbook& book = app.Open(path);
  EXPECT_EQ(book.Model().sheets.at(0).Name(), "Names");
  EXPECT_EQ(book.CellText(book.GetRange("A1"), 2, 3), "Ann");
}

}  // namespace
}  // namespace cw::sheet
