#include "sheet/address.h"

#include <gtest/gtest.h>

namespace cw::sheet {
namespace {

struct Good {
  std::string_view text;
  std::optional<std::string_view> sheet;
  std::uint32_t r1, c1, r2, c2;
};
constexpr Good kGood[] = {
    {"A1:B3", std::nullopt, 1, 1, 3, 2},
    {"$A$1:$C$10", std::nullopt, 1, 1, 10, 3},
    {"B2", std::nullopt, 2, 2, 2, 2},
    {" b2 ", std::nullopt, 2, 2, 2, 2},
    {"C3:A1", std::nullopt, 1, 1, 3, 3},
    {"'My Sheet'!$A$1:$C$10", "My Sheet", 1, 1, 10, 3},
    {"'It''s'!A1", "It's", 1, 1, 1, 1},
    {"Sheet2!A1:C3", "Sheet2", 1, 1, 3, 3},
    {"XFD1048576", std::nullopt, 1048576, 16384, 1048576, 16384},
    {"A:C", std::nullopt, 1, 1, 1048576, 3},
    {"2:5", std::nullopt, 2, 1, 5, 16384},
};

TEST(ParseAddress, AcceptsRelativeAbsoluteAndSheetQualifiedForms) {
  for (const auto& g : kGood) {
    SCOPED_TRACE(g.text);
    const auto block = ParseAddress(g.text);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->sheet.has_value(), g.sheet.has_value());
    if (g.sheet) {
      EXPECT_EQ(*block->sheet, *g.sheet);
    }
    EXPECT_EQ(block->first_row, g.r1);
    EXPECT_EQ(block->first_column, g.c1);
    EXPECT_EQ(block->last_row, g.r2);
    EXPECT_EQ(block->last_column, g.c2);
  }
}

TEST(ParseAddress, RefusesWhatIsNotAnAddressOnTheSheet) {
  for (std::string_view bad :
       {"",   "  ",   "A",        "1",     "A0",  "XFE1", "A1048577", "AAAA1", "A1:",         ":B2", "A1:B2:C3",
        "A$", "$$A1", "'Open!A1", "''!A1", "!A1", "A1B2", "1A",       "A1:C",  "hello world", "A-1", "A1.5"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(ParseAddress(bad));
  }
}

TEST(FormatAddress, WritesTheAbsoluteFormAndQuotesSheetNamesThatNeedIt) {
  EXPECT_EQ(FormatAddress({std::nullopt, 1, 1, 10, 3}), "$A$1:$C$10");
  EXPECT_EQ(FormatAddress({std::nullopt, 2, 2, 2, 2}), "$B$2");
  EXPECT_EQ(FormatAddress({"My Sheet", 1, 1, 10, 3}), "'My Sheet'!$A$1:$C$10");
  EXPECT_EQ(FormatAddress({"Sheet2", 1, 27, 1, 28}), "Sheet2!$AA$1:$AB$1");
  EXPECT_EQ(QuoteSheetName("It's"), "'It''s'");
  EXPECT_EQ(QuoteSheetName("A1"), "'A1'");
  EXPECT_EQ(QuoteSheetName("R2C3"), "'R2C3'");
  EXPECT_EQ(QuoteSheetName("2020"), "'2020'");
  EXPECT_EQ(QuoteSheetName("Kontakte"), "Kontakte");
  EXPECT_EQ(QuoteSheetName("Контакты"), "'Контакты'");
  EXPECT_EQ(ColumnLetters(16384), "XFD");
  EXPECT_EQ(ColumnLetters(702), "ZZ");
  EXPECT_EQ(ColumnLetters(703), "AAA");
  // What is formatted parses back to the same block.
  const auto back = ParseAddress(FormatAddress({"It's mine", 5, 3, 9, 40}));
  ASSERT_TRUE(back);
  EXPECT_EQ(*back->sheet, "It's mine");
  EXPECT_EQ(back->last_column, 40u);
}

// The plain references of workbook files (cells, dimensions): no "$", no sheet.
TEST(ParseCellReference, ReadsThePlainReferencesOfWorkbookFiles) {
  struct Case {
    std::string_view text;
    bool ok;
    std::uint32_t row, column;
  };
  constexpr Case kCases[] = {
      {"A1", true, 1, 1},     {"b12", true, 12, 2},  {"XFD1048576", true, 1048576, 16384},
      {"XFE1", false, 0, 0},  {"A0", false, 0, 0},   {"A1048577", false, 0, 0},
      {"AAAA1", false, 0, 0}, {"A", false, 0, 0},    {"1", false, 0, 0},
      {"A1B", false, 0, 0},   {"$A$1", false, 0, 0}, {"A99999999", false, 0, 0},
      {"", false, 0, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    const auto at = ParseCellReference(c.text);
    ASSERT_EQ(at.has_value(), c.ok);
    if (c.ok) {
      EXPECT_EQ(at->row, c.row);
      EXPECT_EQ(at->column, c.column);
    }
  }
}

TEST(CellName, WritesColumnLettersAndRow) {
  EXPECT_EQ(CellName(1, 1), "A1");
  EXPECT_EQ(CellName(1048576, 16384), "XFD1048576");
  EXPECT_EQ(CellName(12, 28), "AB12");
}

}  // namespace
}  // namespace cw::sheet
