#include "vcard/dates.h"

#include <gtest/gtest.h>

#include <map>

#include "run/regional_settings.h"

namespace cw::vcard {
namespace {

struct Case {
  std::string_view locale;
  std::string_view text;
  std::optional<Date> date;
};

const Case kCases[] = {
    // Month-first locales read numeric dates month first.
    {"en_US.UTF-8", "3/7/1980", Date{1980, 3, 7}},
    {"C", "3/7/1980", Date{1980, 3, 7}},
    {"en_US", "07.03.1980", Date{1980, 3, 7}},  // dots are day first everywhere
    {"en_US", "7.3.80", Date{1980, 3, 7}},
    {"en_US", "03.14.1985", std::nullopt},
    {"en_US", "1980-03-07", Date{1980, 3, 7}},
    {"en_US", "7-Mar-80", Date{1980, 3, 7}},
    {"en_US", "March 7, 1980", Date{1980, 3, 7}},
    {"en_US", "Friday, March 7, 1980", Date{1980, 3, 7}},
    {"en_US", "1980/03/07", Date{1980, 3, 7}},
    {"en_US", "13/1/2000", Date{2000, 1, 13}},  // no month 13: the day-first reading is the only date
    {"en_US", "2/30/1990", std::nullopt},
    {"en_US", "1980", std::nullopt},
    {"en_US", "", std::nullopt},
    {"en_US", "  ", std::nullopt},
    {"en_US", "3/7/80", Date{1980, 3, 7}},
    {"en_US", "3/7/29", Date{2029, 3, 7}},
    {"en_US", "3/7/30", Date{1930, 3, 7}},
    {"en_US", "2/29/2000", Date{2000, 2, 29}},
    {"en_US", "2/29/1900", std::nullopt},
    {"en_US", "3/7/1980 10:30 PM", Date{1980, 3, 7}},
    {"en_US", "1980-03-07 10:30:15", Date{1980, 3, 7}},
    {"en_US", "10:30", std::nullopt},
    {"en_US", "3/7/1980 25:00", std::nullopt},
    {"en_US", "29287", std::nullopt},
    {"en_US", "Ann Lee", std::nullopt},
    {"en_US", "3/7/1980 and more", std::nullopt},
    {"en_US", "7 Sept 1980", Date{1980, 9, 7}},
    {"en_US", "MARCH 7 1980", Date{1980, 3, 7}},
    // Day-first locales.
    {"en_GB", "3/7/1980", Date{1980, 7, 3}},
    {"en_GB", "07.03.1980", Date{1980, 3, 7}},
    {"en_GB", "7-Mar-80", Date{1980, 3, 7}},
    {"en_GB", "13/1/2000", Date{2000, 1, 13}},
    {"en_GB", "1/13/2000", Date{2000, 1, 13}},
    {"de_DE.UTF-8", "07.03.1980", Date{1980, 3, 7}},
    {"de_DE", "7. März 1980", Date{1980, 3, 7}},
    {"de_DE", "Freitag, 7. März 1980", Date{1980, 3, 7}},
    {"de_DE", "1980-03-07", Date{1980, 3, 7}},
    {"fr_FR", "07/03/1980", Date{1980, 3, 7}},
    {"fr_FR", "7 mars 1980", Date{1980, 3, 7}},
    {"fr_FR", "vendredi 7 mars 1980", Date{1980, 3, 7}},
    {"fr_FR", "7 janv. 1980", Date{1980, 1, 7}},
    {"ru_RU", "07.03.1980", Date{1980, 3, 7}},
    {"ru_RU", "7 марта 1980 г.", Date{1980, 3, 7}},
    {"ru_RU", "7 Март 1980", Date{1980, 3, 7}},
    // Month names in capitals, under the locale's own case rules.
    {"tr_TR.UTF-8", "7 EKİM 1980", Date{1980, 10, 7}},
    {"tr_TR.UTF-8", "7 ekim 1980", Date{1980, 10, 7}},
    {"el_GR.UTF-8", "7 ΜΑΡΤΙΟΥ 1980", Date{1980, 3, 7}},
    {"el_GR.UTF-8", "7 Μαρτίου 1980", Date{1980, 3, 7}},
    {"de_DE", "7. MÄRZ 1980", Date{1980, 3, 7}},
    {"ja_JP", "1980/03/07", Date{1980, 3, 7}},
    {"ja_JP", "1980年3月7日", Date{1980, 3, 7}},
    {"ja_JP", "80/03/07", Date{1980, 3, 7}},
    {"ja_JP", "3/7/1980", Date{1980, 3, 7}},  // a year last cannot be read year first
};

TEST(DateRecognizer, ReadsWhatSpreadsheetsShowForBirthdays) {
  std::map<std::string_view, DateRecognizer> recognizers;
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.locale) + " \"" + std::string(c.text) + "\"");
    auto it = recognizers.try_emplace(c.locale, run::DatesForLocale(c.locale)).first;
    const auto date = it->second.Recognize(c.text);
    ASSERT_EQ(date.has_value(), c.date.has_value());
    if (date) {
      EXPECT_EQ(date->year, c.date->year);
      EXPECT_EQ(date->month, c.date->month);
      EXPECT_EQ(date->day, c.date->day);
    }
  }
}

}  // namespace
}  // namespace cw::vcard
