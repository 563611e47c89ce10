// Date serials of both date systems, and month and day names.
#pragma once

#include <cstdint>
#include <string_view>

#include "sheet/workbook.h"

namespace cw::sheet::numfmt {

struct CivilDate {
  int year = 1900;
  int month = 1;    // 1..12
  int day = 0;      // 0 only for serial 0 of the 1900 system ("1/0/1900")
  int weekday = 0;  // 0 Sunday .. 6 Saturday
};

// The date of a whole serial, or false for serials before the system's start or after
// 31 Dec 9999. The 1900 system keeps the spreadsheet calendar's 29 Feb 1900 (serial 60).
bool SerialToDate(std::int64_t serial, DateSystem system, CivilDate& date);

// Names for a Windows primary language id (0x07 German, 0x0C French, ...); English for
// the others. Months 1..12, weekdays 0..6 from Sunday.
std::string_view MonthName(std::uint16_t language, int month);
std::string_view MonthAbbreviation(std::uint16_t language, int month);
std::string_view DayName(std::uint16_t language, int weekday);
std::string_view DayAbbreviation(std::uint16_t language, int weekday);

}  // namespace cw::sheet::numfmt
