// Dates as the regional settings show them through ICU: the locale's long date and long
// time ([$-F800], [$-F400]) and the eras of the Japanese calendar. The ICU formatters are
// made on first use, so formats that need none of them cost nothing.
#pragma once

#include <memory>
#include <string>

#include "sheet/calendar.h"

namespace cw::sheet::numfmt {

class LocaleDates {
 public:
  // `locale_id` as ICU names locales ("en_US", "de_DE"); empty means en_US.
  explicit LocaleDates(const std::string& locale_id);
  ~LocaleDates();
  LocaleDates(const LocaleDates&) = delete;
  LocaleDates& operator=(const LocaleDates&) = delete;

  // Appends the locale's long date of `date` ("Tuesday, January 2, 2024").
  void AppendLongDate(const CivilDate& date, std::string& out);
  // Appends the locale's long time ("6:30:00 PM").
  void AppendLongTime(int hour, int minute, int second, std::string& out);

  struct Era {
    std::string name;    // "令和"
    std::string letter;  // "R"
    int year = 0;        // year within the era, from 1
  };
  // The Japanese era of `date`; false when ICU cannot say.
  bool JapaneseEra(const CivilDate& date, Era& era);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace cw::sheet::numfmt
