// Calendar arithmetic shared by the engine and the vCard side: date serials of both date
// systems to civil dates and back, and which year-month-day names a real day. Written by
// hand: the spreadsheet's serials count a 29 Feb 1900 that never was, which no calendar
// library knows, and the arithmetic is a few lines (H. Hinnant's days/civil algorithms).
#pragma once

#include <cstdint>

#include "sheet/workbook.h"

namespace cw::sheet {

struct CivilDate {
  int year = 1900;
  int month = 1;    // 1..12
  int day = 0;      // 0 only for serial 0 of the 1900 system ("1/0/1900")
  int weekday = 0;  // 0 Sunday .. 6 Saturday
};

// Whether `year` is a leap year of the Gregorian calendar.
bool IsLeapYear(int year);
// Days in `month` (1..12) of `year`; 0 for a month outside 1..12.
int DaysInMonth(int year, int month);
// Whether year-month-day names a real day of the years 1 to 9999.
bool IsValidDate(int year, int month, int day);

// Days from 1970-01-01 to a proleptic Gregorian date, and back.
std::int64_t DaysFromCivil(std::int64_t year, int month, int day);
void CivilFromDays(std::int64_t days, int& year, int& month, int& day);

// The date of a whole serial, or false for serials after 31 Dec 9999 or before the system's
// start: 0 in the 1900 system, 1 Jan 0001 in the 1904 system, whose negative serials count
// back from 1 Jan 1904, and in LibreOffice's, 1 Jan 0001 of the Julian calendar, in which it
// shows every day before 15 Oct 1582. The 1900 system keeps the spreadsheet calendar's
// 29 Feb 1900 (serial 60).
bool SerialToDate(std::int64_t serial, DateSystem system, CivilDate& date);
// The serial of a Gregorian date in `system` (dates before 1 Mar 1900 count one day less in
// the 1900 system, as the spreadsheet's calendar does; LibreOffice's takes the Gregorian date
// before 1582 too, as OpenDocument writes it); not checked for validity.
std::int64_t DateToSerial(std::int64_t year, int month, int day, DateSystem system);

}  // namespace cw::sheet
