#include "mapping/column_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST(ColumnList, ALabelAndTheColumnItTypesAreOneChoice) {
  // The user's choices, one after another, and the list's types after each.
  struct Choice {
    std::size_t line;
    std::string_view type;
    std::vector<std::string_view> after;
  };
  const Choice choices[] = {
      // A label takes the line after it into its family.
      {1, "Phone Label", {"Phone Label", "Other Phone", "Ignore", "Ignore", "Ignore"}},
      // A line already of the family stays as it is.
      {3, "Cellular", {"Phone Label", "Other Phone", "Cellular", "Ignore", "Ignore"}},
      {2, "Cellular", {"Phone Label", "Cellular", "Cellular", "Ignore", "Ignore"}},
      // The column of another kind: the label has nothing to type and is let go.
      {2, "Notes", {"Ignore", "Notes", "Cellular", "Ignore", "Ignore"}},
      {3, "Ignore", {"Ignore", "Notes", "Ignore", "Ignore", "Ignore"}},
      // An address label types every address part after it, "Ignore" lines between.
      {3, "Address Label", {"Ignore", "Notes", "Address Label", "Home Address", "Ignore"}},
      {5, "Work City", {"Ignore", "Notes", "Address Label", "Home Address", "Work City"}},
      {4, "Ignore", {"Ignore", "Notes", "Address Label", "Ignore", "Work City"}},
      {5, "Ignore", {"Ignore", "Notes", "Ignore", "Ignore", "Ignore"}},
      // A label on the last line has no column to type.
      {5, "Email Label", {"Ignore", "Notes", "Ignore", "Ignore", "Ignore"}},
  };
  ColumnList list;
  list.FillColumnList(5);
  for (const Choice& c : choices) {
    SCOPED_TRACE(std::to_string(c.line) + " " + std::string(c.type));
    list.Select(c.line);
    list.SetSelectedType(c.type);
    std::vector<std::string_view> types;
    for (std::size_t j = 1; j <= list.Count(); ++j) types.push_back(list.TypeOf(j));
    EXPECT_EQ(types, c.after);
  }
}

}  // namespace
}  // namespace cw::mapping
