#include "run/regional_settings.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace cw::run
