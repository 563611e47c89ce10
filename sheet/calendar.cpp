#include "sheet/calendar.h"

namespace cw::sheet {
namespace {

// Serial of 31 Dec 9999 in each system.
constexpr std::int64_t kLast1900 = 2958465;
constexpr std::int64_t kLast1904 = 2957003;
// Serial of 1 Jan 0001 in the 1904 system.
constexpr std::int64_t kFirst1904 = -719162 + 24107;
// Days from 1970-01-01 back to each system's day 0 (30 Dec 1899 for 1900 serials from 61 on,
// 1 Jan 1904).
constexpr std::int64_t kEpoch1900 = -25569;
constexpr std::int64_t kEpoch1904 = -24107;

// Days from 1970-01-01 to 15 Oct 1582, the first day of the Gregorian calendar.
constexpr std::int64_t kGregorianStart = -141427;
// The Julian day number of 1970-01-01.
constexpr std::int64_t kJulianDay1970 = 2440588;
// The Julian day number of 1 Jan 0001 in the Julian calendar.
constexpr std::int64_t kJulianDayOfYear1 = 1721424;

// The Julian calendar's date of a day counted from 1970-01-01 (from 1 Jan 4713 BC on).
void JulianFromDays(std::int64_t days, int& y, int& m, int& d) {
  const std::int64_t c = days + kJulianDay1970 + 32082;
  const std::int64_t dd = (4 * c + 3) / 1461;
  const std::int64_t e = c - 1461 * dd / 4;
  const std::int64_t mm = (5 * e + 2) / 153;
  d = static_cast<int>(e - (153 * mm + 2) / 5 + 1);
  m = static_cast<int>(mm + 3 - 12 * (mm / 10));
  y = static_cast<int>(dd - 4800 + mm / 10);
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && day >= 1 && day <= DaysInMonth(year, month);
}

std::int64_t DaysFromCivil(std::int64_t y, int month, int day) {
  const auto m = static_cast<unsigned>(month);
  const auto d = static_cast<unsigned>(day);
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

bool SerialToDate(std::int64_t serial, DateSystem system, CivilDate& date) {
  if (system == DateSystem::kLibreOffice) {
    // From 1 Jan 0001 of the Julian calendar to 31 Dec 9999.
    const std::int64_t days = serial + kEpoch1900;
    if (days + kJulianDay1970 < kJulianDayOfYear1 || serial > kLast1900) return false;
    if (days < kGregorianStart) {
      JulianFromDays(days, date.year, date.month, date.day);
    } else {
      CivilFromDays(days, date.year, date.month, date.day);
    }
    date.weekday = static_cast<int>(((days + 4) % 7 + 7) % 7);  // 1970-01-01 was a Thursday
    return date.year >= 1;
  }
  if (system == DateSystem::k1904) {
    // Libraries write dates before 1904 as negative serials, counting back from day 0.
    if (serial < kFirst1904 || serial > kLast1904) return false;
    CivilFromDays(serial + kEpoch1904, date.year, date.month, date.day);
    date.weekday = static_cast<int>(((serial + 5) % 7 + 7) % 7);
    return true;
  }
  if (serial < 0 || serial > kLast1900) return false;
  // Serial 1 is a Sunday in the spreadsheet calendar, which counts a 29 Feb 1900.
  date.weekday = static_cast<int>((serial + 6) % 7);
  if (serial == 0) {
    date.year = 1900;
    date.month = 1;
    date.day = 0;
  } else if (serial == 60) {
    date.year = 1900;
    date.month = 2;
    date.day = 29;
  } else {
    CivilFromDays(serial + kEpoch1900 + (serial < 60 ? 1 : 0), date.year, date.month, date.day);
  }
  return true;
}

std::int64_t DateToSerial(std::int64_t year, int month, int day, DateSystem system) {
  const std::int64_t days = DaysFromCivil(year, month, day);
  if (system == DateSystem::k1904) return days - kEpoch1904;
  // OpenDocument writes every date in the Gregorian calendar, before 1582 too.
  if (system == DateSystem::kLibreOffice) return days - kEpoch1900;
  const std::int64_t serial = days - kEpoch1900;
  return serial < 61 ? serial - 1 : serial;  // the 1900 system counts a 29 Feb 1900 that never was
}

}  // namespace cw::sheet
