#include <gtest/gtest.h>

#include <string_view>

#include "sheet/number_format.h"

namespace cw::sheet {
namespace {

// Every built-in id with the same values: a positive number, a negative one, zero, a
// date serial (15 Mar 2023 18:00) and a string.
struct BuiltinCase {
  std::uint32_t id;
  std::string_view positive;  // 1234.5678
  std::string_view negative;  // -1234.5678
  std::string_view zero;
  std::string_view date;  // 45000.75
  std::string_view text;  // "abc"
};

constexpr BuiltinCase kBuiltins[] = {
    {0, "1234.5678", "-1234.5678", "0", "45000.75", "abc"},
    {1, "1235", "-1235", "0", "45001", "abc"},
    {2, "1234.57", "-1234.57", "0.00", "45000.75", "abc"},
    {3, "1,235", "-1,235", "0", "45,001", "abc"},
    {4, "1,234.57", "-1,234.57", "0.00", "45,000.75", "abc"},
    {5, "$1,235 ", "($1,235)", "$0 ", "$45,001 ", "abc"},
    {6, "$1,235 ", "($1,235)", "$0 ", "$45,001 ", "abc"},
    {7, "$1,234.57 ", "($1,234.57)", "$0.00 ", "$45,000.75 ", "abc"},
    {8, "$1,234.57 ", "($1,234.57)", "$0.00 ", "$45,000.75 ", "abc"},
    {9, "123457%", "-123457%", "0%", "4500075%", "abc"},
    {10, "123456.78%", "-123456.78%", "0.00%", "4500075.00%", "abc"},
    {11, "1.23E+03", "-1.23E+03", "0.00E+00", "4.50E+04", "abc"},
    {12, "1234 4/7", "-1234 4/7", "0    ", "45000 3/4", "abc"},
    {13, "1234 46/81", "-1234 46/81", "0      ", "45000  3/4 ", "abc"},
    {14, "5/18/1903", "########", "1/0/1900", "3/15/2023", "abc"},
    {15, "18-May-03", "########", "0-Jan-00", "15-Mar-23", "abc"},
    {16, "18-May", "########", "0-Jan", "15-Mar", "abc"},
    {17, "May-03", "########", "Jan-00", "Mar-23", "abc"},
    {18, "1:37 PM", "########", "12:00 AM", "6:00 PM", "abc"},
    {19, "1:37:38 PM", "########", "12:00:00 AM", "6:00:00 PM", "abc"},
    {20, "13:37", "########", "0:00", "18:00", "abc"},
    {21, "13:37:38", "########", "0:00:00", "18:00:00", "abc"},
    {22, "5/18/1903 13:37", "########", "1/0/1900 0:00", "3/15/2023 18:00", "abc"},
    {23, "1234.5678", "-1234.5678", "0", "45000.75", "abc"},
    {24, "1234.5678", "-1234.5678", "0", "45000.75", "abc"},
    {25, "1234.5678", "-1234.5678", "0", "45000.75", "abc"},
    {26, "1234.5678", "-1234.5678", "0", "45000.75", "abc"},
    {27, "5/18/1903", "########", "1/0/1900", "3/15/2023", "abc"},
    {28, "5/18/1903", "########", "1/0/1900", "3/15/2023", "abc"},
    {29, "5/18/1903", "########", "1/0/1900", "3/15/2023", "abc"},
    {30, "5/18/1903", "########", "1/0/1900", "3/15/2023", "abc"},
    {31, "5/18/1903", "########", "1/0/1900", "3/15/2023", "abc"},
    {32, "13:37", "########", "0:00", "18:00", "abc"},
    {33, "13:37:38", "########", "0:00:00", "18:00:00", "abc"},
    {34, "5/18/1903", "########", "1/0/1900", "3/15/2023", "abc"},
    {35, "5/18/1903", "########", "1/0/1900", "3/15/2023", "abc"},
    {36, "5/18/1903", "########", "1/0/1900", "3/15/2023", "abc"},
    {37, "1,235 ", "(1,235)", "0 ", "45,001 ", "abc"},
    {38, "1,235 ", "(1,235)", "0 ", "45,001 ", "abc"},
    {39, "1,234.57 ", "(1,234.57)", "0.00 ", "45,000.75 ", "abc"},
    {40, "1,234.57 ", "(1,234.57)", "0.00 ", "45,000.75 ", "abc"},
    {41, " 1,235 ", " (1,235)", " - ", " 45,001 ", " abc "},
    {42, " $1,235 ", " $(1,235)", " $- ", " $45,001 ", " abc "},
    {43, " 1,234.57 ", " (1,234.57)", " -   ", " 45,000.75 ", " abc "},
    {44, " $1,234.57 ", " $(1,234.57)", " $-   ", " $45,000.75 ", " abc "},
    {45, "37:38", "########", "00:00", "00:00", "abc"},
    {46, "29629:37:38", "########", "0:00:00", "1080018:00:00", "abc"},
    {47, "37:37.9", "########", "00:00.0", "00:00.0", "abc"},
    {48, "1.2E+3", "-1.2E+3", "0.0E+0", "45.0E+3", "abc"},
    {49, "1234.5678", "-1234.5678", "0", "45000.75", "abc"},
    {50, "5/18/1903", "########", "1/0/1900", "3/15/2023", "abc"},
    {164, "1234.5678", "-1234.5678", "0", "45000.75", "abc"},  // custom id without a code
};

TEST(BuiltinFormats, EveryIdWithTheSameValues) {
  NumberFormatter formatter;
  for (const auto& c : kBuiltins) {
    SCOPED_TRACE(testing::Message() << "id " << c.id);
    EXPECT_EQ(formatter.FormatNumber(1234.5678, c.id, ""), c.positive);
    EXPECT_EQ(formatter.FormatNumber(-1234.5678, c.id, ""), c.negative);
    EXPECT_EQ(formatter.FormatNumber(0, c.id, ""), c.zero);
    EXPECT_EQ(formatter.FormatNumber(45000.75, c.id, ""), c.date);
    EXPECT_EQ(formatter.FormatString("abc", c.id, ""), c.text);
  }
}

TEST(BuiltinFormats, ShortDateFollowsLocaleOrder) {
  struct LocaleCase {
    DateOrder order;
    char separator;
    std::string_view id14;
    std::string_view id22;
  };
  constexpr LocaleCase kCases[] = {
      {DateOrder::kMonthDayYear, '/', "3/5/2023", "3/5/2023 18:00"},
      {DateOrder::kDayMonthYear, '.', "05.03.2023", "05.03.2023 18:00"},
      {DateOrder::kDayMonthYear, '/', "05/03/2023", "05/03/2023 18:00"},
      {DateOrder::kYearMonthDay, '-', "2023-03-05", "2023-03-05 18:00"},
  };
  for (const auto& c : kCases) {
    FormatLocale locale;
    locale.date_order = c.order;
    locale.date_separator = c.separator;
    NumberFormatter formatter(locale);
    SCOPED_TRACE(c.id14);
    EXPECT_EQ(formatter.FormatNumber(44990.75, 14, ""), c.id14);
    EXPECT_EQ(formatter.FormatNumber(44990.75, 22, ""), c.id22);
  }
}

TEST(BuiltinFormats, CustomCodeWinsOverBuiltinId) {
  NumberFormatter formatter;
  EXPECT_EQ(formatter.FormatNumber(1234, 3, "00000"), "01234");
  // The short date and time follow the regional settings whatever code the file stores.
  EXPECT_EQ(formatter.FormatNumber(1234, 14, "0.0"), "5/18/1903");
  EXPECT_EQ(formatter.FormatNumber(1234.5, 22, "yyyy-mm-dd"), "5/18/1903 12:00");
}

TEST(BuiltinFormats, CodeLookup) {
  FormatLocale german;
  german.date_order = DateOrder::kDayMonthYear;
  german.date_separator = '.';
  EXPECT_EQ(BuiltinFormatCode(14, {}), "m/d/yyyy");
  EXPECT_EQ(BuiltinFormatCode(14, german), "dd/mm/yyyy");  // '/' shows as the locale's separator
  EXPECT_EQ(BuiltinFormatCode(22, german), "dd/mm/yyyy hh:mm");
  EXPECT_EQ(BuiltinFormatCode(3, {}), "#,##0");
  EXPECT_EQ(BuiltinFormatCode(1000, {}), "General");
}

}  // namespace
}  // namespace cw::sheet
