#include "mapping/column_list.h"

#include <gtest/gtest.h>

namespace cw::mapping {
namespace {

TEST(ColumnList, FillAddsIgnoreLinesInOrderAfterExistingOnes) {
  ColumnList list;
  list.FillColumnList(1);
  ASSERT_EQ(list.Count(), 1u);
  EXPECT_EQ(list.Line(1).caption, "Column1");
  EXPECT_EQ(list.TypeOf(1), "Ignore");

  list.Clear();
  list.FillColumnList(12);
  ASSERT_EQ(list.Count(), 12u);
  EXPECT_EQ(list.Line(9).caption, "Column9");
  EXPECT_EQ(list.Line(10).caption, "Column10");
  EXPECT_EQ(list.Line(12).caption, "Column12");

  list.FillColumnList(2);  // a fill without a clear appends
  EXPECT_EQ(list.Count(), 14u);
  EXPECT_EQ(list.Line(14).caption, "Column14");
}

TEST(ColumnList, SelectedLineTakesTheChosenKindAndOthersKeepTheirs) {
  ColumnList list;
  list.SetSelectedType("Email");  // nothing selected, nothing held: no change, no throw
  list.FillColumnList(4);
  list.Select(2);
  list.SetSelectedType("Email");
  list.Select(4);
  list.SetSelectedType("Email");
  list.Select(1);
  list.SetSelectedType("First Name");
  EXPECT_EQ(list.TypeOf(1), "First Name");
  EXPECT_EQ(list.TypeOf(2), "Email");
  EXPECT_EQ(list.TypeOf(3), "Ignore");
  EXPECT_EQ(list.TypeOf(4), "Email");
  EXPECT_THROW(list.Select(5), std::out_of_range);
  list.Clear();
  EXPECT_FALSE(list.Selected());
}

}  // namespace
}  // namespace cw::mapping
