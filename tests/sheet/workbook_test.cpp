#include "sheet/workbook.h"

#include <gtest/gtest.h>

#include "sheet/cell_text.h"

namespace cw::sheet {
namespace {

Cell NumberCell(std::uint32_t row, std::uint16_t column, double value) {
  Cell c;
  c.row = row;
  c.column = column;
  c.kind = CellKind::kNumber;
  c.number = value;
  return c;
}

TEST(Worksheet, FinishSortsKeepsLastDuplicateAndIndexesRows) {
  Worksheet ws("Data");
  ws.Add(NumberCell(5, 2, 1));
  ws.Add(NumberCell(1, 7, 2));
  ws.Add(NumberCell(5, 2, 3));  // replaces the first
  ws.Add(NumberCell(1, 0, 4));
  ws.Finish();
  ASSERT_EQ(ws.Cells().size(), 3u);
  ASSERT_NE(ws.Find(5, 2), nullptr);
  EXPECT_EQ(ws.Find(5, 2)->number, 3);
  EXPECT_EQ(ws.Find(1, 7)->number, 2);
  EXPECT_EQ(ws.Find(3, 0), nullptr);
  EXPECT_EQ(ws.Find(9, 9), nullptr);
  EXPECT_EQ(ws.RowCells(1).size(), 2u);
  EXPECT_TRUE(ws.RowCells(2).empty());
  const auto used = ws.UsedRange();
  ASSERT_TRUE(used);
  EXPECT_EQ(used->first_row, 1u);
  EXPECT_EQ(used->first_column, 0u);
  EXPECT_EQ(used->last_row, 5u);
  EXPECT_EQ(used->last_column, 7u);
}

TEST(Worksheet, EmptySheetHasNoUsedRange) {
  Worksheet ws("Empty");
  ws.Finish();
  EXPECT_FALSE(ws.UsedRange());
  EXPECT_EQ(ws.Find(0, 0), nullptr);
}

TEST(CellText, BooleansErrorsAndStringsShowAsStored) {
  Workbook wb;
  wb.sheets.emplace_back("S");
  Cell b;
  b.kind = CellKind::kBoolean;
  b.boolean = true;
  Cell e;
  e.column = 1;
  e.kind = CellKind::kError;
  e.error = CellError::kDiv0;
  Cell s;
  s.column = 2;
  s.kind = CellKind::kString;
  s.string_index = wb.AddString("Ann; Lee");
  wb.sheets[0].Add(b);
  wb.sheets[0].Add(e);
  wb.sheets[0].Add(s);
  wb.sheets[0].Finish();
  CellTextRenderer text(wb);
  EXPECT_EQ(text.Text(wb.sheets[0], 0, 0), "TRUE");
  EXPECT_EQ(text.Text(wb.sheets[0], 0, 1), "#DIV/0!");
  EXPECT_EQ(text.Text(wb.sheets[0], 0, 2), "Ann; Lee");
  EXPECT_EQ(text.Text(wb.sheets[0], 0, 3), "");
  EXPECT_EQ(wb.FindSheet("s"), 0u);
  EXPECT_EQ(wb.FindSheet("T"), std::nullopt);
}

TEST(CellError, BiffCodesAndTextsMap) {
  EXPECT_EQ(ErrorFromBiffCode(0x2A), CellError::kNA);
  EXPECT_EQ(ErrorFromBiffCode(0x99), std::nullopt);
  EXPECT_EQ(ErrorFromText("#NAME?"), CellError::kName);
  EXPECT_EQ(ErrorText(CellError::kRef), "#REF!");
}

}  // namespace
}  // namespace cw::sheet
