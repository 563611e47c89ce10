// The same cells in an .xlsx written by libxlsxwriter and in an .xls built record by
// record show the same texts: the format rules live in the renderer, once for both readers.
#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <cstring>
#include <regex>

#include "sheet/cell_text.h"
#include "sheet/xls/biff_records.h"
#include "sheet/xls/xls_reader.h"
#include "sheet/xlsx/xlsx_reader.h"
#include "tests/sheet/xls/xls_test_support.h"
#include "tests/sheet/xlsx/test_package.h"

namespace cw::sheet {
namespace {

using testing::Bytes;
using testing::Concat;
using testing::Le16Bytes;
using testing::Le32Bytes;

struct Column {
  std::uint16_t format_id;
  std::string code;  // written for the id; for 14 an explicit code the locale overrides
  double value;
};

// Built-in 14 with a code of the file's own, then custom codes of the format rules.
const std::vector<Column> kColumns = {
    {14, "yyyy-mm-dd", 45322},
    {164, "mm:ss.0", 0.0000138889},
    {165, "\"$\"#,##0.00_);[Red](\"$\"#,##0.00)", -1234.5},
    {166, "m/d/yyyy", -1},
};

Bytes Xlsx() {
  testing::TempDir dir;
  const std::string path = dir.File("formats.xlsx");
  testing::WriteWorkbook(path, [](lxw_workbook* book) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    for (std::size_t c = 0; c < kColumns.size(); ++c) {
      lxw_format* format = workbook_add_format(book);
      if (kColumns[c].format_id < 164)
        format_set_num_format_index(format, static_cast<std::uint8_t>(kColumns[c].format_id));
      else
        format_set_num_format(format, kColumns[c].code.c_str());
      worksheet_write_number(sheet, 0, static_cast<lxw_col_t>(c), kColumns[c].value, format);
    }
  });
  // libxlsxwriter writes no code for a built-in id; add the one some writers store.
  testing::Parts parts = testing::ReadParts(path);
  std::string& styles = parts.at("xl/styles.xml");
  styles = std::regex_replace(styles, std::regex("<numFmts count=\"[0-9]+\">"),
                              "$&<numFmt numFmtId=\"14\" formatCode=\"" + kColumns[0].code + "\"/>");
  return testing::ZipBytes(parts);
}

// A BIFF8 workbook: a FORMAT and an XF record per column, one NUMBER cell per column.
Bytes Xls() {
  testing::BiffBuilder globals;
  globals.Record(biff::kBof, Concat({Le16Bytes(0x0600), Le16Bytes(0x0005), Bytes(12)}));
  for (const auto& column : kColumns) {
    globals.Record(biff::kFormat,
                   Concat({Le16Bytes(column.format_id), Le16Bytes(static_cast<std::uint16_t>(column.code.size())),
                           Bytes{std::byte{0}}, testing::Latin1(column.code)}));
  }
  for (const auto& column : kColumns) {
    globals.Record(biff::kXf, Concat({Le16Bytes(0), Le16Bytes(column.format_id), Bytes(16)}));
  }
  const std::size_t boundsheet_at = globals.Size();
  globals.Record(biff::kBoundSheet, Concat({Le32Bytes(0), Bytes{std::byte{0}, std::byte{0}, std::byte{1}, std::byte{0}},
                                            testing::Latin1("S")}));
  globals.Record(biff::kEof, Bytes{});
  testing::BiffBuilder sheet;
  sheet.Record(biff::kBof, Concat({Le16Bytes(0x0600), Le16Bytes(0x0010), Bytes(12)}));
  for (std::size_t c = 0; c < kColumns.size(); ++c) {
    Bytes number(8);
    std::memcpy(number.data(), &kColumns[c].value, 8);
    sheet.Record(biff::kNumber, Concat({Le16Bytes(0), Le16Bytes(static_cast<std::uint16_t>(c)),
                                        Le16Bytes(static_cast<std::uint16_t>(c)), number}));
  }
  sheet.Record(biff::kEof, Bytes{});
  Bytes stream = globals.Data();
  testing::PutU32(stream, boundsheet_at + 4, static_cast<std::uint32_t>(stream.size()));
  stream.insert(stream.end(), sheet.Data().begin(), sheet.Data().end());
  return testing::BuildCompoundFile({{u"Workbook", stream}});
}

std::vector<std::string> Shown(const Workbook& book, const FormatLocale& locale) {
  CellTextRenderer renderer(book, locale);
  std::vector<std::string> texts;
  for (std::uint32_t c = 0; c < kColumns.size(); ++c) texts.push_back(renderer.Text(book.sheets.at(0), 0, c));
  return texts;
}

TEST(ReadersAndFormats, SameCellsShowTheSameTextsThroughBothReaders) {
  FormatLocale german;
  german.date_order = DateOrder::kDayMonthYear;
  german.date_separator = '.';
  german.decimal_separator = ',';
  german.thousands_separator = '.';
  const std::vector<std::string> in_us = {"1/31/2024", "00:01.2", "($1,234.50)", "########"};
  const std::vector<std::string> in_germany = {"31.01.2024", "00:01,2", "($1.234,50)", "########"};
  const Workbook xlsx = ReadXlsx(Xlsx());
  const Workbook xls = ReadXls(Xls());
  for (const Workbook* book : {&xlsx, &xls}) {
    SCOPED_TRACE(book == &xlsx ? "xlsx" : "xls");
    EXPECT_EQ(book->CustomCode(14), "yyyy-mm-dd");  // stored, and overridden by the locale
    EXPECT_EQ(Shown(*book, {}), in_us);
    EXPECT_EQ(Shown(*book, german), in_germany);
  }
}

}  // namespace
}  // namespace cw::sheet
