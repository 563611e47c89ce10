#include "sheet/number_format.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <tuple>

namespace cw::sheet {
namespace {

struct Case {
  std::string_view code;
  double value;
  std::string_view shown;
};

void ExpectCases(const Case* begin, const Case* end, FormatLocale locale = {}, DateSystem system = DateSystem::k1900) {
  NumberFormatter formatter(locale, system);
  for (const Case* c = begin; c != end; ++c) {
    SCOPED_TRACE(testing::Message() << "code [" << c->code << "] value " << c->value);
    EXPECT_EQ(formatter.FormatNumber(c->value, 164, c->code), c->shown);
  }
}

template <std::size_t N>
void ExpectCases(const Case (&cases)[N], FormatLocale locale = {}, DateSystem system = DateSystem::k1900) {
  ExpectCases(cases, cases + N, locale, system);
}

TEST(FormatGeneral, PlainUpToFifteenDigitsScientificOutside) {
  struct GeneralCase {
    double value;
    std::string_view shown;
  };
  const GeneralCase cases[] = {
      {0, "0"},
      {-0.0, "0"},
      {1, "1"},
      {-1, "-1"},
      {491701234567, "491701234567"},  // a phone number stays whole
      {123456789012345, "123456789012345"},
      {999999999999999, "999999999999999"},
      {1e15, "1E+15"},
      {1234567890123456, "1.23457E+15"},
      {1.23456789e17, "1.23457E+17"},
      {1e21, "1E+21"},
      {-1e21, "-1E+21"},
      {1e100, "1E+100"},
      {1e-10, "1E-10"},
      {1.5e-10, "1.5E-10"},
      {1e-9, "0.000000001"},
      {1.25e-9, "0.00000000125"},
      {0.1 + 0.2, "0.3"},
      {1.0 / 3, "0.333333333333333"},
      {2.0 / 3, "0.666666666666667"},
      {-2.5, "-2.5"},
      {12345.678, "12345.678"},
      {0.5, "0.5"},
      {100, "100"},
      {1e14, "100000000000000"},
      {123456789.123456789, "123456789.123457"},
      {9.999999999999999e14, "1E+15"},         // rounds to 16 digits
      {100000000000000.5, "100000000000001"},  // an exact tie at the 15th digit rounds up
      {0.30000000000000004, "0.3"},
      {5e-324, "4.94066E-324"},
      {1.7976931348623157e308, "1.79769E+308"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(FormatGeneral(c.value), c.shown);
  }
}

TEST(FormatGeneral, NotANumberShowsNumError) {
  EXPECT_EQ(FormatGeneral(std::numeric_limits<double>::quiet_NaN()), "#NUM!");
  EXPECT_EQ(FormatGeneral(std::numeric_limits<double>::infinity()), "#NUM!");
}

TEST(NumberFormat, DigitPlaceholders) {
  const Case cases[] = {
      {"0", 3.5, "4"},
      {"0", 2.5, "3"},
      {"0", -2.5, "-3"},
      {"0", -0.4, "-0"},
      {"0.00", 3.14159, "3.14"},
      {"0.00", 2.675, "2.68"},  // the double lies below 2.675; spreadsheets round the decimal
      {"0.00", 1.005, "1.01"},
      {"0.00", -1.005, "-1.01"},
      {"0.00", 0, "0.00"},
      {"0.00", 1e20, "100000000000000000000.00"},
      {"0.00", 0.1 + 0.2, "0.30"},
      {"0.000000000000000000", 0.1 + 0.2, "0.300000000000000000"},
      {"#.##", 1, "1."},
      {"#.##", 0.5, ".5"},
      {"#", 0, ""},
      {"0.0#", 1.5, "1.5"},
      {"0.0#", 1.25, "1.25"},
      {"0.0#", 1.2549, "1.25"},
      {"?.??", 1.5, "1.5 "},
      {"??0.0", 5, "  5.0"},
      {"00000", 1234, "01234"},  // ZIP code
      {"00000", 0, "00000"},
      {"00000", 123456, "123456"},
      {"00000-0000", 123456789, "12345-6789"},
      {"(###) ###-####", 4915551234, "(491) 555-1234"},
      {"(###) ###-####", 5551234, "() 555-1234"},
      {"(###) ###-####", 14915551234, "(1491) 555-1234"},
      {"000-00-0000", 78051120, "078-05-1120"},
      {".00", 1.5, "1.50"},
      {".00", 0.25, ".25"},
      {"0.", 3, "3."},
      {"0", 1e15, "1000000000000000"},
      {"0", 123456789012345678.0, "123456789012346000"},
  };
  ExpectCases(cases);
}

// The examples Excel's own help gives for its format codes.
TEST(NumberFormat, ExcelHelpExamples) {
  const Case cases[] = {
      {"#.000", 8.9, "8.900"},
      {"0.#", 0.631, "0.6"},
      {"#.0#", 12, "12.0"},
      {"#.0#", 1234.568, "1234.57"},
      {"???.???", 44.398, " 44.398"},
      {"???.???", 102.65, "102.65 "},
      {"???.???", 2.8, "  2.8  "},
      {"#,###", 12000, "12,000"},
      {"#,", 12000, "12"},
      {"0.0,,", 12200000, "12.2"},
      {"$0.00 \"Surplus\";$-0.00 \"Shortage\"", 125.74, "$125.74 Surplus"},
      {"$0.00 \"Surplus\";$-0.00 \"Shortage\"", -125.74, "$-125.74 Shortage"},
      {"0.00;[Red]-0.00;0.00;\"sales \"@", 12, "12.00"},
      {"[Red][<=100];[Blue][>100]", 50, ""},
      {"mmm-dd-yyyy", 44564, "Jan-03-2022"},
      {"h:mm:ss.00", 0.7654321, "18:22:13.33"},
      {"[mm]:ss", 0.0416666666666667 * 2, "120:00"},
  };
  ExpectCases(cases);
}

TEST(NumberFormat, ThousandsAndScaling) {
  const Case cases[] = {
      {"#,##0", 1234567, "1,234,567"},
      {"#,##0", -1234.5, "-1,235"},
      {"#,##0", 999, "999"},
      {"#,##0", 0, "0"},
      {"#,##0.00", 1234.5, "1,234.50"},
      {"#,###", 0, ""},
      {"0,000", 5, "0,005"},
      {"#,##0,", 1234567, "1,235"},
      {"#,##0,,", 1234567890, "1,235"},
      {"0.0,,\"M\"", 1234567, "1.2M"},
      {"#,##0,\"K\"", 999, "1K"},
      {"#,", 100, ""},
      {"0,", 499, "0"},
      {"0,", 500, "1"},
      {"#,##0", 1e18, "1,000,000,000,000,000,000"},
      {"0 , 0", 12, "1 , 2"},
  };
  ExpectCases(cases);
}

TEST(NumberFormat, ThousandsFollowLocale) {
  FormatLocale german;
  german.date_order = DateOrder::kDayMonthYear;
  german.date_separator = '.';
  german.decimal_separator = ',';
  german.thousands_separator = '.';
  const Case cases[] = {
      {"#,##0.00", 1234567.891, "1.234.567,89"},
      {"0.0%", 0.125, "12,5%"},
      {"0.00E+00", 12345, "1,23E+04"},
  };
  ExpectCases(cases, german);
  NumberFormatter formatter(german);
  EXPECT_EQ(formatter.FormatNumber(0.5, 0, ""), "0,5");
}

TEST(NumberFormat, Percent) {
  const Case cases[] = {
      {"0%", 0.125, "13%"},       {"0%", 0.124, "12%"},  {"0.00%", 0.12345, "12.35%"},
      {"0.00%", -0.5, "-50.00%"}, {"0%", 1.005, "101%"},  // 100.5 decimal, not 100.49999...
      {"0%%", 0.01, "100%%"},     {"#%", 0, "%"},
  };
  ExpectCases(cases);
}

TEST(NumberFormat, Scientific) {
  const Case cases[] = {
      {"0.00E+00", 12345, "1.23E+04"},    {"0.00E+00", 0.00012345, "1.23E-04"},
      {"0.00E+00", 0, "0.00E+00"},        {"0.00E+00", -12345, "-1.23E+04"},
      {"0.00E+00", 9.999, "1.00E+01"},    {"0.00E-00", 12345, "1.23E04"},
      {"0.00E-00", 0.012345, "1.23E-02"}, {"0.0E+0", 1e100, "1.0E+100"},
      {"##0.0E+0", 12345, "12.3E+3"},     {"##0.0E+0", 1234567, "1.2E+6"},
      {"##0.0E+0", 0.001234, "1.2E-3"},   {"##0.0E+0", 0, "0.0E+0"},
      {"00.00E+00", 12345, "01.23E+04"},  {"00.00E+00", 123456, "12.35E+04"},
      {"00.0E+0", 99999, "10.0E+4"},      {"0E+0", 5, "5E+0"},
      {"0.00e+00", 12345, "1.23e+04"},    {"\"E+\"0", 5, "E+5"},
  };
  ExpectCases(cases);
}

TEST(NumberFormat, Fractions) {
  const Case cases[] = {
      {"# ?/?", 1.5, "1 1/2"},
      {"# ?/?", 0.5, " 1/2"},
      {"# ?/?", 2, "2    "},
      {"# ?/?", 0, "0    "},
      {"# ?/?", -1.25, "-1 1/4"},
      {"# ?/?", 0.3333, " 1/3"},
      {"# ?/?", 3.14159, "3 1/7"},
      {"# ?\?/?\?", 3.14159, "3 14/99"},
      {"# ?\?/?\?", 0.75, "  3/4 "},
      {"# ?\?\?/?\?\?", 3.14159265358979, "3  16/113"},
      {"?/?", 1.5, "3/2"},
      {"?/?", 0, "0/1"},
      {"# ?/8", 0.3, " 2/8"},
      {"# ?/8", 2.99, "3    "},
      {"# ?\?/16", 1.5, "1  8/16"},
      {"0/100", 0.25, "25/100"},
      {"# ?/?", 0.99, "1    "},
      {"#\" \"?/?", 1.5, "1 1/2"},
      {"?/???????", 1e14 + 0.5, "100000000000001"},  // numerator past 64 bits: General
      {"?/??????", 123456789012.5, "246913578025/2     "},
      {"0/100000000", 1e12, "1000000000000"},
  };
  ExpectCases(cases);
}

TEST(NumberFormat, LiteralsEscapesPaddingFill) {
  const Case cases[] = {
      {"\"Tel: \"0", 5, "Tel: 5"},
      {"\\$0.00", 5, "$5.00"},
      {"$0.00", -5, "-$5.00"},
      {"0\\ \\k\\g", 12, "12 kg"},
      {"0_)", 5, "5 "},
      {"_(0_)", 5, " 5 "},
      {"*-0", 5, "-5"},
      {"0* ", 5, "5 "},
      {"\"\"0", 5, "5"},
      {"\"x\"", 5, "x"},
      {"\"x\"", -5, "-x"},
      {"0\"€\"", 5, "5€"},
      {"0\\€", 5, "5€"},
      {"€0", 5, "€5"},
      {"0_€", 5, "5 "},
      {"[Red]0", 5, "5"},
      {"[Color10]0.0", 5, "5.0"},
      {"[$€-407] #,##0.00", 1234.5, "€ 1,234.50"},
      {"[$USD-409] 0", 3, "USD 3"},
      {"[$$-409]#,##0", 1234, "$1,234"},
      {"[$-409]0.0", 1, "1.0"},
      {"[DBNum1]0", 7, "7"},
  };
  ExpectCases(cases);
}

TEST(NumberFormat, Sections) {
  const Case cases[] = {
      {"0;(0)", 5, "5"},
      {"0;(0)", -5, "(5)"},
      {"0;(0)", 0, "0"},
      {"0;-0;\"zero\"", 0, "zero"},
      {"0;-0;\"zero\"", -0.0, "zero"},
      {"0;-0;\"zero\"", -3, "-3"},
      {"0;;", -3, ""},
      {"0;;", 0, ""},
      {";;;", 5, ""},
      {"0.00;[Red]-0.00", -1.5, "-1.50"},
      {"#,##0 ;(#,##0)", -1234, "(1,234)"},
      {"#,##0 ;(#,##0)", 1234, "1,234 "},
      {"0;-0;0;@", 7, "7"},
      {"General;-General", -2.5, "-2.5"},
      {"General;(General)", -2.5, "(2.5)"},
      {"\"+\"General", 2.5, "+2.5"},
      {"@", 12, "12"},
      {"\"x\"@", 491701234567, "491701234567"},
      {"0.0;@", 2, "2.0"},
      {"0.0;@", -2, "-2.0"},
  };
  ExpectCases(cases);
}

TEST(NumberFormat, Conditions) {
  const Case cases[] = {
      {"[<=9999999]###-####;(###) ###-####", 5551234, "555-1234"},
      {"[<=9999999]###-####;(###) ###-####", 4915551234, "(491) 555-1234"},
      {"[>=100]\"big \"0;\"small \"0", 150, "big 150"},
      {"[>=100]\"big \"0;\"small \"0", 5, "small 5"},
      {"[>=100]\"big \"0;\"small \"0", -5, "-small 5"},
      {"[<0]\"neg \"0;0", -5, "neg 5"},
      {"[>=0]0;\"minus \"0", -5, "minus 5"},
      {"[>100]\"A\";[>50]\"B\";\"C\"", 75, "B"},
      {"[>100]\"A\";[>50]\"B\";\"C\"", 10, "C"},
      {"[>100]\"A\";[>50]\"B\";\"C\"", 101, "A"},
      {"[>100]0;[<-100]0", 5, "5"},  // no section applies: General
      {"[=1]\"one\";0", 1, "one"},
      {"[<>1]\"other\";0", 2, "other"},
      {"[Red][<=100]0;[Blue][>100]\"x\"0", 150, "x150"},
      {"[< 10]0.0;0", 5, "5.0"},
  };
  ExpectCases(cases);
}

TEST(NumberFormat, Dates) {
  const Case cases[] = {
      {"m/d/yyyy", 45000, "3/15/2023"},
      {"mm/dd/yy", 45000, "03/15/23"},
      {"d-mmm-yy", 45000, "15-Mar-23"},
      {"dddd, mmmm d, yyyy", 45000, "Wednesday, March 15, 2023"},
      {"ddd mmm", 45000, "Wed Mar"},
      {"mmmmm", 45000, "M"},
      {"yyyy-mm-dd", 36526, "2000-01-01"},
      {"yyy", 36526, "2000"},
      {"y", 36526, "00"},
      {"e", 36526, "2000"},
      {"e-m-d", 36526, "2000-1-1"},
      {"m/d/yyyy", 0, "1/0/1900"},
      {"m/d/yyyy", 1, "1/1/1900"},
      {"m/d/yyyy", 59, "2/28/1900"},
      {"m/d/yyyy", 60, "2/29/1900"},
      {"m/d/yyyy", 61, "3/1/1900"},
      {"dddd", 1, "Sunday"},
      {"dddd", 61, "Thursday"},
      {"m/d/yyyy", 2958465, "12/31/9999"},
      {"m/d/yyyy", 2958466, "########"},  // past the calendar
      {"m/d/yyyy", -1, "########"},
      {"m/d/yyyy", 45000.99, "3/15/2023"},
      {"MM/DD/YYYY", 45000, "03/15/2023"},
      {"d/m/yyyy", 45000, "15/3/2023"},
      {"[$-407]dddd, d. mmmm yyyy", 45000, "Mittwoch, 15. März 2023"},
      {"[$-40C]d mmmm yyyy", 45000, "15 mars 2023"},
      {"[$-F800]dddd, mmmm dd, yyyy", 45000, "Wednesday, March 15, 2023"},
      {"[$-409]mmm d", 45000, "Mar 15"},
      {"d\\/m", 45000, "15/3"},
      {"\"Born \"d.m.yyyy", 45000, "Born 15.3.2023"},
      {"[$-40C]mmmmm", 44973, "f"},  // février: the first character, not its first byte
      {"[$-407]mmmmm ddd", 44999, "M Di"},
      {"[$-413]d mmmm", 45000, "15 maart"},
      // Other languages take ICU's names; a month beside a day number takes the form a date gives it.
      {"[$-419]dddd", 45000, "среда"},
      {"[$-419]d mmmm yyyy", 45000, "15 марта 2023"},
      {"[$-419]mmmm yyyy", 45000, "март 2023"},
      {"[$-411]d mmm", 45000, "15 3月"},
      {"[$-415]dddd d mmmm", 45000, "środa 15 marca"},
      {"[$-7FF]mmmm", 45000, "March"},  // no language: English
      {"[$-de-DE]mmmm", 45000, "März"},
      {"[$-fr]mmmm", 45000, "mars"},
      {"[$-ja-JP]mmmm", 45000, "3月"},
      {"[$-1040C]mmm", 45000, "mars"},  // calendar bits above the language id
  };
  ExpectCases(cases);
}

TEST(NumberFormat, DateSeparatorFollowsLocale) {
  FormatLocale german;
  german.date_order = DateOrder::kDayMonthYear;
  german.date_separator = '.';
  german.decimal_separator = ',';
  const Case cases[] = {
      {"m/d/yyyy", 45000, "3.15.2023"},
      {"d\\/m", 45000, "15/3"},
      {"h:mm:ss.00", 0.5 + 1.5 / 86400, "12:00:01,50"},
  };
  ExpectCases(cases, german);
}

TEST(NumberFormat, Date1904System) {
  const Case cases[] = {
      {"m/d/yyyy", 0, "1/1/1904"},      {"m/d/yyyy", 1, "1/2/1904"},         {"dddd", 0, "Friday"},
      {"m/d/yyyy", 43538, "3/15/2023"}, {"m/d/yyyy", 2957003, "12/31/9999"}, {"m/d/yyyy", 2957004, "########"},
  };
  ExpectCases(cases, {}, DateSystem::k1904);
}

// A negative serial of the 1904 system is the date before 1904 that libraries meant by it
// (the Birthday line takes it), never its mirror after 1904; in the 1900 system it is none.
TEST(NumberFormat, DateShownBefore1904) {
  struct DateCase {
    DateSystem system;
    double value;
    std::optional<std::tuple<int, int, int>> date;
  };
  const DateCase cases[] = {
      {DateSystem::k1904, -1460, std::tuple{1900, 1, 1}},
      {DateSystem::k1904, -0.25, std::tuple{1903, 12, 31}},  // 18:00 the day before
      {DateSystem::k1904, 5, std::tuple{1904, 1, 6}},
      {DateSystem::k1900, -1, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    NumberFormatter formatter({}, c.system);
    const auto date = formatter.DateShown(c.value, 164, "d/m/yyyy");
    ASSERT_EQ(date.has_value(), c.date.has_value());
    if (date) {
      EXPECT_EQ(std::tuple(date->year, date->month, date->day), *c.date);
    }
  }
}

TEST(NumberFormat, Times) {
  const Case cases[] = {
      {"h:mm", 0.5, "12:00"},
      {"h:mm AM/PM", 0.5, "12:00 PM"},
      {"h:mm AM/PM", 0, "12:00 AM"},
      {"h:mm AM/PM", 0.75, "6:00 PM"},
      {"hh:mm am/pm", 0.25, "06:00 am"},
      {"h A/P", 0.75, "6 P"},
      {"h a/p", 0.25, "6 a"},
      {"h:mm:ss", 0.5 + 1.0 / 86400, "12:00:01"},
      {"h:mm:ss", 0.999999, "0:00:00"},  // 23:59:59.91 rounds into the next day
      {"hh:mm:ss", 45000.25, "06:00:00"},
      {"h:mm", (10 * 3600 + 29 * 60 + 59.6) / 86400, "10:30"},
      {"h:mm", (10 * 3600 + 29 * 60 + 40) / 86400.0, "10:29"},
      {"mm:ss", (5 * 60 + 7) / 86400.0, "05:07"},
      {"m:ss", (5 * 60 + 7) / 86400.0, "5:07"},
      {"h:m", (13 * 3600 + 5 * 60) / 86400.0, "13:5"},
      {"mm", (13 * 3600 + 5 * 60) / 86400.0, "01"},
      {"hh\"h\"mm", (13 * 3600 + 5 * 60) / 86400.0, "13h05"},
      {"[h]:mm:ss", 1.5, "36:00:00"},
      {"[h]:mm", 2.0 + 1.0 / 24, "49:00"},
      {"[mm]:ss", 1.0 / 24, "60:00"},
      {"[ss]", 1.0 / 24, "3600"},
      {"[hhh]", 0.5, "012"},
      {"h:mm:ss.0", 0.5 + 1.25 / 86400, "12:00:01.3"},
      {"h:mm:ss.000", 0.5 + 1.2345 / 86400, "12:00:01.235"},
      {"mmss.0", (5 * 60 + 7.25) / 86400, "0507.3"},  // as written: no separator
      {"m/d/yyyy h:mm", 45000.999999, "3/16/2023 0:00"},
      {"[h]:mm:ss", -0.5, "########"},  // below zero the 1900 calendar has no time
      {"[mm]:ss", -1.0 / 24, "########"},
      {"[h]:mm m/d", -0.5, "########"},
      {"h:mm", -0.5, "########"},
  };
  ExpectCases(cases);
}

// 0.0000138889 is 1.2 seconds.
TEST(NumberFormat, FractionalSecondsKeepTheirSeparators) {
  const Case cases[] = {
      {"mm:ss.0", 0.0000138889, "00:01.2"},
      {"[mm]:ss.00", 0.0000138889, "00:01.20"},
      {"h:mm:ss.000", 0.0000138889, "0:00:01.200"},
      {"[h]:mm:ss.0", 1 + 0.0000138889, "24:00:01.2"},
      {"mm:ss.0;@", 59.99 / 86400, "01:00.0"},  // rounding carries into the minute
      {"ss.00", 0.0000138889, "01.20"},
  };
  ExpectCases(cases);
  NumberFormatter formatter;
  EXPECT_EQ(formatter.FormatNumber(0.0000138889, 47, ""), "00:01.2");
}

TEST(NumberFormat, LiteralTextInEverySection) {
  const Case cases[] = {
      {"\"$\"#,##0.00_);[Red](\"$\"#,##0.00)", -1234.5, "($1,234.50)"},
      {"\"$\"#,##0.00_);[Red](\"$\"#,##0.00)", 1234.5, "$1,234.50 "},
      {"0;[Red]\\-\\$0;[Blue]\"nil\"", -5, "-$5"},
      {"0;[Red]\\-\\$0;[Blue]\"nil\"", 0, "nil"},
      {"[<0][Red]\"owes \"0;[Green]\"has \"0", -5, "owes 5"},
      {"[>=100]\"big \"0;[Color10][<100]\"small \"0.0", 5, "small 5.0"},
      {"[Red][<=9999999]\"#\"###-####;\"tel \"(###) ###-####", 4915551234, "tel (491) 555-1234"},
      {"[Blue]\"on \"d/m", 45000, "on 15/3"},
  };
  ExpectCases(cases);
}

TEST(NumberFormat, JapaneseErasAndBuddhistYears) {
  const Case cases[] = {
      {"[$-411]ggge\"年\"m\"月\"d\"日\"", 45322, "令和6年1月31日"},
      {"[$-411]ggge\"年\"m\"月\"d\"日\"", 43585, "平成31年4月30日"},  // the day before Reiwa
      {"[$-411]ggge\"年\"", 43586, "令和1年"},
      {"[$-411]g ee.mm.dd", 45322, "R 06.01.31"},
      {"[$-411]gg e", 32880, "平 2"},
      {"[$-ja-JP]ggge", 10000, "昭和2"},
      {"[$-411]yyyy", 45322, "2024"},  // years stay Gregorian
      {"[$-41E]d/m/bbbb", 45322, "31/1/2567"},
      {"[$-41E]bb", 45322, "67"},
      {"ggg yyyy", 45322, " 2024"},  // no era outside a Japanese locale
      {"B1d/m/yyyy", 45322, "31/1/2024"},
  };
  ExpectCases(cases);
}

TEST(NumberFormat, DatesTheCalendarCannotShow) {
  const Case in_1900[] = {
      {"m/d/yyyy", -1, "########"},
      {"h:mm", -0.25, "########"},
      {"[h]:mm", -0.25, "########"},
      {"m/d/yyyy", 2958466, "########"},
      {"m/d/yyyy h:mm", 2958465.9999999, "########"},  // rounds into the year 10000
      {"m/d/yyyy;[Red]\"minus\"", -1, "minus"},        // a section without a date
      {"0.00;m/d/yyyy", -1, "########"},
  };
  ExpectCases(in_1900);
  const Case in_1904[] = {
      {"h:mm", -0.25, "-6:00"},          {"m/d/yyyy", -1, "-1/2/1904"},
      {"[h]:mm", -1.5, "-36:00"},        {"h:mm;[Red]h:mm", -0.25, "6:00"},  // a section for negatives shows no sign
      {"m/d/yyyy", 2957004, "########"}, {"m/d/yyyy", -2957004, "########"},
  };
  ExpectCases(in_1904, {}, DateSystem::k1904);
}

TEST(NumberFormat, MalformedCodesShowGeneral) {
  const Case cases[] = {
      {"\"unclosed", 12.5, "12.5"},
      {"[Red", 12.5, "12.5"},
      {"0;0;0;0;0", 12.5, "12.5"},
      {"[<=abc]0", 12.5, "12.5"},
      {"[<]0", 12.5, "12.5"},
      {"[<1e999]0", 12.5, "12.5"},
      {"0\\", 5, "5"},
      {"0_", 5, "5"},
      {"0*", 5, "5"},
      {"]0", 5, "]5"},
  };
  ExpectCases(cases);
}

TEST(NumberFormat, LongAndOddCodesStayBounded) {
  NumberFormatter formatter;
  const std::string zeros(255, '0');
  EXPECT_EQ(formatter.FormatNumber(7, 164, zeros), std::string(254, '0') + "7");
  std::string many_sections;
  for (int i = 0; i < 120; ++i) many_sections += "0;";
  EXPECT_EQ(formatter.FormatNumber(1.5, 164, many_sections), "1.5");
  EXPECT_EQ(formatter.FormatNumber(1.5, 164, std::string(254, '"')), "");  // empty literals
  EXPECT_EQ(formatter.FormatNumber(1.5, 164, std::string(253, '"')), "1.5");
  EXPECT_EQ(formatter.FormatNumber(1.5, 164, std::string(255, '[')), "1.5");
  const std::string decimals = "0." + std::string(250, '0');
  const std::string shown = formatter.FormatNumber(1.5, 164, decimals);
  EXPECT_EQ(shown.substr(0, 5), "1.500");
  EXPECT_LT(shown.size(), 300u);
  const std::string exponent = std::string(240, '#') + "0.0E+0";
  EXPECT_FALSE(formatter.FormatNumber(1e300, 164, exponent).empty());
  const std::string fraction = "# " + std::string(50, '?') + "/" + std::string(50, '?');
  EXPECT_EQ(formatter.FormatNumber(0.5, 164, fraction).find("1/2"), 50u);
}

TEST(NumberFormat, ExtremeScalingStaysBounded) {
  NumberFormatter formatter;
  const std::string percents = "0" + std::string(250, '%');
  const std::string shown = formatter.FormatNumber(1.7976931348623157e308, 164, percents);
  EXPECT_EQ(shown.substr(0, 6), "179769");
  EXPECT_EQ(shown.size(), 309u + 400u + 250u);  // the shift is capped at 400 places
  const std::string commas = "0" + std::string(250, ',');
  EXPECT_EQ(formatter.FormatNumber(1e300, 164, commas), "0");
  // Codes past the spreadsheet's 255 characters are malformed: General.
  EXPECT_EQ(formatter.FormatNumber(1e300, 164, "0" + std::string(255, ',')), "1E+300");
  EXPECT_EQ(formatter.FormatNumber(1.5, 164, "0" + std::string(60000, '%')), "1.5");
  EXPECT_EQ(formatter.FormatNumber(1.5, 164, "\"" + std::string(253, 'x') + "\"0"), "1.5");
  EXPECT_EQ(formatter.FormatNumber(1.5, 164, "\"" + std::string(252, 'x') + "\"0"), std::string(252, 'x') + "2");
  std::string wide = "\"";  // 255 characters of three bytes each stay within the limit
  for (int i = 0; i < 252; ++i) wide += "€";
  EXPECT_EQ(formatter.FormatNumber(1, 164, wide + "\"0").size(), 252u * 3u + 1u);
  EXPECT_EQ(formatter.FormatNumber(1e300, 164, "# ?/?" + std::string(10, '%')), "1E+300");  // too large for a fraction
  EXPECT_EQ(formatter.FormatNumber(1.5, 164, std::string(70000, '0')), "1.5");              // past the length limit
  std::string letters;
  for (int i = 0; i < 63; ++i) letters += "dmye";
  EXPECT_EQ(formatter.FormatNumber(45000, 164, letters).substr(0, 12), "153232023153");
}

TEST(NumberFormat, ManyDistinctCodesKeepRendering) {
  NumberFormatter formatter;
  for (int i = 0; i < 10000; ++i) {
    const std::string code = "0\"" + std::to_string(i) + "\"";
    ASSERT_EQ(formatter.FormatNumber(1, 164, code), "1" + std::to_string(i));
  }
}

TEST(FormatString, TextSection) {
  struct TextCase {
    std::string_view code;
    std::string_view text;
    std::string_view shown;
  };
  const TextCase cases[] = {
      {"@", "Smith", "Smith"},
      {"", "Smith", "Smith"},
      {"0.00", "Smith", "Smith"},
      {"\"Name: \"@", "Smith", "Name: Smith"},
      {"0;-0;0;\"<\"@\">\"", "x", "<x>"},
      {"0;-0;0;", "x", ""},
      {";;;", "x", ""},
      {"0;@@", "x", "xx"},
      {"_(@_)", "x", " x "},
      {"\"broken", "x", "x"},
      {"m/d/yyyy", "x", "x"},
  };
  NumberFormatter formatter;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(formatter.FormatString(c.text, 164, c.code), c.shown);
  }
  EXPECT_EQ(formatter.FormatString("00123", 49, ""), "00123");
  const std::string long_text(30000, 'x');
  EXPECT_EQ(formatter.FormatString(long_text, 164, std::string(255, '@')).size(), 8u * 30000u);
  EXPECT_EQ(formatter.FormatString("Smith", 44, ""), " Smith ");
}

}  // namespace
}  // namespace cw::sheet
