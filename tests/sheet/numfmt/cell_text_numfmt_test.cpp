// The renderer as the engine reaches it: cells of a workbook through their styles.
#include <gtest/gtest.h>

#include "sheet/cell_text.h"

namespace cw::sheet {
namespace {

Cell Number(std::uint16_t column, std::uint32_t style, double value) {
  Cell c;
  c.column = column;
  c.kind = CellKind::kNumber;
  c.style = style;
  c.number = value;
  return c;
}

Cell Text(std::uint16_t column, std::uint32_t style, std::uint32_t index) {
  Cell c;
  c.column = column;
  c.kind = CellKind::kString;
  c.style = style;
  c.string_index = index;
  return c;
}

TEST(CellTextNumberFormats, ContactRowShowsAsFormatted) {
  Workbook book;
  book.style_formats = {0, 164, 165, 14, 166, 49};
  book.custom_formats = {{164, "00000"}, {165, "[<=9999999]###-####;(###) ###-####"}, {166, "0;-0;0;\"Name: \"@"}};
  const std::uint32_t name = book.AddString("Smith");
  struct Row {
    Cell cell;
    std::string_view shown;
  };
  const Row rows[] = {
      {Number(0, 0, 491701234567), "491701234567"},
      {Number(1, 1, 2134), "02134"},
      {Number(2, 2, 4915551234), "(491) 555-1234"},
      {Number(3, 2, 5551234), "555-1234"},
      {Number(4, 3, 32874), "1/1/1990"},
      {Text(5, 4, name), "Name: Smith"},
      {Text(6, 5, name), "Smith"},
      {Number(7, 5, 0.1 + 0.2), "0.3"},
      {Number(8, 99, 7), "7"},  // a style the workbook lacks: General
  };
  CellTextRenderer renderer(book);
  for (const auto& r : rows) {
    SCOPED_TRACE(r.shown);
    EXPECT_EQ(renderer.Text(r.cell), r.shown);
  }
}

TEST(CellTextNumberFormats, LocaleAndDateSystemReachTheFormatter) {
  Workbook book;
  book.date_system = DateSystem::k1904;
  book.style_formats = {14, 22};
  FormatLocale locale;
  locale.date_order = DateOrder::kDayMonthYear;
  locale.date_separator = '.';
  CellTextRenderer renderer(book, locale);
  EXPECT_EQ(renderer.Text(Number(0, 0, 31412)), "01.01.1990");
  EXPECT_EQ(renderer.Text(Number(0, 1, 31412.5)), "01.01.1990 12:00");
}

}  // namespace
}  // namespace cw::sheet
