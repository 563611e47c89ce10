// The heading row of a picked block, read through the engine as the block pick reads it.
#include "run/heading_row.h"

#include <gtest/gtest.h>

namespace cw::run {
namespace {

void AddText(sheet::Workbook& book, std::size_t sheet, std::uint32_t row, std::uint16_t column, const char* text) {
  sheet::Cell cell;
  cell.row = row;
  cell.column = column;
  cell.kind = sheet::CellKind::kString;
  cell.string_index = book.AddString(text);
  book.sheets[sheet].Add(cell);
}

// "Plain" (active): two contacts without headings. "Export": Outlook's headings above two rows.
sheet::Workbook MakeBook() {
  sheet::Workbook book;
  book.sheets.emplace_back("Plain");
  book.sheets.emplace_back("Export");
  const char* plain[2][3] = {{"Ann", "Lee", "ann@example.org"}, {"Bo", "Kim", "bo@example.org"}};
  const char* exported[3][3] = {
      {"First Name", "Last Name", "E-mail Address"}, {"Ann", "Lee", "ann@example.org"}, {"Bo", "Kim", ""}};
  for (std::uint32_t r = 0; r < 2; ++r) {
    for (std::uint16_t c = 0; c < 3; ++c) AddText(book, 0, r, c, plain[r][c]);
  }
  for (std::uint32_t r = 0; r < 3; ++r) {
    for (std::uint16_t c = 0; c < 3; ++c) AddText(book, 1, r, c, exported[r][c]);
  }
  for (auto& sheet : book.sheets) sheet.Finish();
  return book;
}

TEST(HeadingRow, TheBlockMovesBelowAHeadingRowOfMoreThanOneRow) {
  struct Case {
    const char* address;
    std::vector<std::string> kinds;
    std::optional<std::string> below;
  };
  const std::vector<std::string> outlook = {"First Name", "Last Name", "Email"};
  const std::vector<std::string> none = {"Ignore", "Ignore", "Ignore"};
  const Case cases[] = {
      {"Export!$A$1:$C$3", outlook, "Export!$A$2:$C$3"},
      {"'Export'!A1:B3", {"First Name", "Last Name"}, "Export!$A$2:$B$3"},
      {"Export!A1:C1", outlook, std::nullopt},               // one row: nothing would be left to export
      {"Export!B1:B3", {"Last Name"}, std::nullopt},         // one heading alone does not make a heading row
      {"Export!A2:C3", none, std::nullopt},                  // a contact is no heading row
      {"A1:C2", none, std::nullopt},                         // nor on the active sheet
      {"Export!D1:E3", {"Ignore", "Ignore"}, std::nullopt},  // empty cells
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    sheet::OpenedWorkbook workbook(MakeBook(), "contacts.xlsx", {});
    const BlockHeadings headings = ReadBlockHeadings(workbook, c.address);
    EXPECT_EQ(headings.proposal.kinds, c.kinds);
    EXPECT_EQ(headings.address_below, c.below);
    EXPECT_EQ(headings.first_row.size(), c.kinds.size());
  }
}

TEST(HeadingRow, ABadAddressThrowsAsTheEngineDoes) {
  sheet::OpenedWorkbook workbook(MakeBook(), "contacts.xlsx", {});
  EXPECT_THROW(ReadBlockHeadings(workbook, "Nowhere!A1:B2"), sheet::EngineError);
  EXPECT_THROW(ReadBlockHeadings(workbook, "A0"), sheet::EngineError);
}

}  // namespace
}  // namespace cw::run
