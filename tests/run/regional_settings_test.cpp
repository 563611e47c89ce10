#include "run/regional_settings.h"

#include <gtest/gtest.h>

#include <map>

namespace cw::run {
namespace {

TEST(RegionalSettings, FollowTheLocale) {
  const auto de = RegionalSettings::ForLocale("de_DE.UTF-8");
  EXPECT_EQ(de.code_page.Number(), 1252);
  EXPECT_EQ(de.format.date_order, sheet::DateOrder::kDayMonthYear);
  EXPECT_EQ(de.format.date_separator, '.');
  EXPECT_EQ(de.format.decimal_separator, ',');
  EXPECT_EQ(de.format.thousands_separator, '.');
  const auto c = RegionalSettings::ForLocale("C");
  EXPECT_EQ(c.format.date_order, sheet::DateOrder::kMonthDayYear);
  EXPECT_EQ(c.format.decimal_separator, '.');
  EXPECT_EQ(c.format.thousands_separator, ',');
}

// Each category is read from LC_ALL, then its own variable, then LANG.
TEST(RegionalSettings, EachSettingFollowsItsOwnLocaleCategory) {
  struct Case {
    std::map<std::string, std::string> environment;
    int code_page;
    sheet::DateOrder date_order;
    char decimal_separator;
    std::string_view currency = "$";
  };
  const Case kCases[] = {
      {{}, 1252, sheet::DateOrder::kMonthDayYear, '.'},
      {{{"LC_CTYPE", "ru_RU.UTF-8"}}, 1251, sheet::DateOrder::kMonthDayYear, '.'},
      {{{"LC_TIME", "ru_RU.UTF-8"}}, 1252, sheet::DateOrder::kDayMonthYear, '.'},
      {{{"LC_NUMERIC", "de_DE.UTF-8"}}, 1252, sheet::DateOrder::kMonthDayYear, ','},
      {{{"LC_MONETARY", "pl_PL.UTF-8"}}, 1252, sheet::DateOrder::kMonthDayYear, '.', "zł"},
      {{{"LANG", "pl_PL.UTF-8"}, {"LC_TIME", "en_US.UTF-8"}}, 1250, sheet::DateOrder::kMonthDayYear, ',', "zł"},
      {{{"LC_ALL", "el_GR.UTF-8"}, {"LC_CTYPE", "ru_RU.UTF-8"}, {"LANG", "en_US"}},
       1253,
       sheet::DateOrder::kDayMonthYear,
       ',',
       "€"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(::testing::PrintToString(c.environment));
    const auto locales = LocaleCategories::FromEnvironment([&](const char* name) -> const char* {
      const auto it = c.environment.find(name);
      return it == c.environment.end() ? nullptr : it->second.c_str();
    });
    const auto settings = RegionalSettings::ForLocales(locales);
    EXPECT_EQ(settings.code_page.Number(), c.code_page);
    EXPECT_EQ(settings.format.date_order, c.date_order);
    EXPECT_EQ(settings.format.decimal_separator, c.decimal_separator);
    EXPECT_EQ(settings.format.currency_symbol, c.currency);
  }
}

}  // namespace
}  // namespace cw::run
