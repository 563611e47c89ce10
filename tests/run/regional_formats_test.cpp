// The locale's currency, long date and long time as the regional settings give them to the
// number formats (ICU's data for the locale).
#include <gtest/gtest.h>

#include "run/regional_settings.h"
#include "sheet/number_format.h"

namespace cw::run {
namespace {

struct Case {
  std::uint32_t id;
  std::string_view code;  // empty: the built-in format
  double value;
  std::string_view shown;
};

void ExpectCases(std::string_view locale, const std::vector<Case>& cases) {
  sheet::NumberFormatter formatter(RegionalSettings::ForLocale(locale).format);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << locale << " id " << c.id << " [" << c.code << "] " << c.value);
    EXPECT_EQ(formatter.FormatNumber(c.value, c.id, c.code), c.shown);
  }
}

// 45293.7708333 is Tuesday 2 January 2024, 18:30.
constexpr double kEvening = 45293 + 18.5 / 24;

TEST(RegionalFormats, CurrencyIdsTakeTheLocalesCurrency) {
  ExpectCases("en_US.UTF-8", {
                                 {5, "", 1234.5, "$1,235 "},  // room for the negative's ")"
                                 {5, "", -1234.5, "($1,235)"},
                                 {6, "", -1234.5, "($1,235)"},
                                 {8, "", -1234.5, "($1,234.50)"},
                                 {37, "", -1234.5, "(1,235)"},
                                 {41, "", 1234.5, " 1,235 "},
                                 {42, "", 1234.5, " $1,235 "},
                                 {42, "", -1234.5, " $(1,235)"},
                                 {44, "", 0, " $-   "},
                                 {5, "0.0", 1234.5, "1234.5"},  // a stored code wins
                             });
  ExpectCases("de_DE.UTF-8", {
                                 {5, "", 1234.5, "1.235 €"},
                                 {5, "", -1234.5, "-1.235 €"},
                                 {8, "", -1234.5, "-1.234,50 €"},
                                 {37, "", -1234.5, "-1.235  "},
                                 {42, "", 1234.5, " 1.235 € "},
                                 {42, "", -1234.5, "-1.235 € "},
                                 {44, "", 0, " -   € "},
                             });
  ExpectCases("en_GB.UTF-8", {{7, "", 1234.5, "£1,234.50 "}});
}

TEST(RegionalFormats, SystemLongDateAndTime) {
  ExpectCases("en_US.UTF-8", {
                                 {164, "[$-F800]dddd, mmmm dd, yyyy", kEvening, "Tuesday, January 2, 2024"},
                                 {164, "[$-F800]m/d", kEvening, "Tuesday, January 2, 2024"},
                                 {164, "[$-F400]h:mm:ss AM/PM", kEvening, "6:30:00 PM"},
                                 {164, "[$-x-systime]h:mm", 0.25, "6:00:00 AM"},
                                 {164, "[$-F800]dddd", -1, "########"},
                             });
  ExpectCases("de_DE.UTF-8", {
                                 {164, "[$-F800]dddd, mmmm dd, yyyy", kEvening, "Dienstag, 2. Januar 2024"},
                                 {164, "[$-F400]h:mm:ss AM/PM", kEvening, "18:30:00"},
                             });
}

}  // namespace
}  // namespace cw::run
