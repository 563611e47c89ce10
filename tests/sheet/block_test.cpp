// Placing a parsed address on a workbook: whole rows and columns cut to the used range, and
// the address naming its sheet only off the active one. The engine and the sheet window
// place blocks through these (their own tests check them end to end).
#include "sheet/block.h"

#include <gtest/gtest.h>

namespace cw::sheet {
namespace {

TEST(BlockTest, WholeRowsAndColumnsPickedOrTypedStopAtTheUsedRange) {
  const Extent used{1, 1, 5, 3};  // B2:D6
  struct Case {
    std::string_view address;
    std::optional<Extent> used;
    std::string_view placed;
  };
  const Case cases[] = {
      {"A:C", used, "$A$2:$C$6"},
      {"$C:$C", used, "$C$2:$C$6"},
      {"2:5", used, "$B$2:$D$5"},
      {"A1:B3", used, "$A$1:$B$3"},        // a plain block stays
      {"A:B", std::nullopt, "$A$1:$B$1"},  // an empty sheet: the first cell of each column
      {"3:4", std::nullopt, "$A$3:$A$4"},
      // Typed from edge to edge, the same as the header's pick.
      {"A1:B1048576", used, "$A$2:$B$6"},
      {"A1:XFD3", used, "$B$1:$D$3"},
      {"$B$1048576:$A$1", used, "$A$2:$B$6"},
      {"A1:XFD1048576", used, "$B$2:$D$6"},
      {"A2:B1048576", used, "$A$2:$B$1048576"},  // not from the top: the user's own block
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    const CellBlock placed = ClipToUsedRange(*ParseAddress(c.address), c.used);
    EXPECT_FALSE(placed.whole_columns || placed.whole_rows);
    EXPECT_EQ(FormatAddress(placed), c.placed);
  }
}

TEST(BlockTest, TheAddressNamesItsSheetOnlyOffTheActiveOne) {
  Workbook book;
  book.sheets = {Worksheet("First"), Worksheet("My Sheet")};
  const CellBlock block = *ParseAddress("Other!B2:C3");  // the name the text gave does not count
  struct Case {
    std::size_t active;
    std::size_t sheet;
    std::string_view address;
  };
  const Case cases[] = {{1, 1, "$B$2:$C$3"},
                        {1, 0, "First!$B$2:$C$3"},
                        {0, 1, "'My Sheet'!$B$2:$C$3"},
                        {7, 0, "$B$2:$C$3"}};  // an active index out of range counts as the first
  for (const auto& c : cases) {
    book.active_sheet = c.active;
    EXPECT_EQ(BlockAddress(book, c.sheet, block), c.address) << c.active << " " << c.sheet;
  }
}

}  // namespace
}  // namespace cw::sheet
