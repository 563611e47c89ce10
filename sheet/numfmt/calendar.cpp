#include "sheet/numfmt/calendar.h"

#include <array>

namespace cw::sheet::numfmt {
namespace {

struct Names {
  std::uint16_t language;
  std::array<std::string_view, 12> months;
  std::array<std::string_view, 12> month_abbreviations;
  std::array<std::string_view, 7> days;
  std::array<std::string_view, 7> day_abbreviations;
};

// The names Windows gives these languages.
const Names kNames[] = {
    {0x09,
     {"January", "February", "March", "April", "May", "June", "July", "August", "September", "October", "November",
      "December"},
     {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
     {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"},
     {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"}},
    {0x07,
     {"Januar", "Februar", "März", "April", "Mai", "Juni", "Juli", "August", "September", "Oktober", "November",
      "Dezember"},
     {"Jan", "Feb", "Mrz", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"},
     {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"},
     {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"}},
    {0x0C,
     {"janvier", "février", "mars", "avril", "mai", "juin", "juillet", "août", "septembre", "octobre", "novembre",
      "décembre"},
     {"janv.", "févr.", "mars", "avr.", "mai", "juin", "juil.", "août", "sept.", "oct.", "nov.", "déc."},
     {"dimanche", "lundi", "mardi", "mercredi", "jeudi", "vendredi", "samedi"},
     {"dim.", "lun.", "mar.", "mer.", "jeu.", "ven.", "sam."}},
    {0x0A,
     {"enero", "febrero", "marzo", "abril", "mayo", "junio", "julio", "agosto", "septiembre", "octubre", "noviembre",
      "diciembre"},
     {"ene", "feb", "mar", "abr", "may", "jun", "jul", "ago", "sep", "oct", "nov", "dic"},
     {"domingo", "lunes", "martes", "miércoles", "jueves", "viernes", "sábado"},
     {"dom", "lun", "mar", "mié", "jue", "vie", "sáb"}},
    {0x10,
     {"gennaio", "febbraio", "marzo", "aprile", "maggio", "giugno", "luglio", "agosto", "settembre", "ottobre",
      "novembre", "dicembre"},
     {"gen", "feb", "mar", "apr", "mag", "giu", "lug", "ago", "set", "ott", "nov", "dic"},
     {"domenica", "lunedì", "martedì", "mercoledì", "giovedì", "venerdì", "sabato"},
     {"dom", "lun", "mar", "mer", "gio", "ven", "sab"}},
    {0x13,
     {"januari", "februari", "maart", "april", "mei", "juni", "juli", "augustus", "september", "oktober", "november",
      "december"},
     {"jan", "feb", "mrt", "apr", "mei", "jun", "jul", "aug", "sep", "okt", "nov", "dec"},
     {"zondag", "maandag", "dinsdag", "woensdag", "donderdag", "vrijdag", "zaterdag"},
     {"zo", "ma", "di", "wo", "do", "vr", "za"}},
};

const Names& NamesFor(std::uint16_t language) {
  for (const auto& names : kNames) {
    if (names.language == language) return names;
  }
  return kNames[0];
}

// Days since 1970-01-01 to a proleptic Gregorian date (H. Hinnant's civil_from_days).
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

// Serial of 31 Dec 9999 in each system.
constexpr std::int64_t kLast1900 = 2958465;
constexpr std::int64_t kLast1904 = 2957003;

}  // namespace

bool SerialToDate(std::int64_t serial, DateSystem system, CivilDate& date) {
  if (serial < 0) return false;
  if (system == DateSystem::k1904) {
    if (serial > kLast1904) return false;
    CivilFromDays(serial - 24107, date.year, date.month, date.day);
    date.weekday = static_cast<int>((serial + 5) % 7);
    return true;
  }
  if (serial > kLast1900) return false;
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
    CivilFromDays(serial - (serial < 60 ? 25568 : 25569), date.year, date.month, date.day);
  }
  return true;
}

std::string_view MonthName(std::uint16_t language, int month) { return NamesFor(language).months[(month + 11) % 12]; }
std::string_view MonthAbbreviation(std::uint16_t language, int month) {
  return NamesFor(language).month_abbreviations[(month + 11) % 12];
}
std::string_view DayName(std::uint16_t language, int weekday) { return NamesFor(language).days[weekday % 7]; }
std::string_view DayAbbreviation(std::uint16_t language, int weekday) {
  return NamesFor(language).day_abbreviations[weekday % 7];
}

}  // namespace cw::sheet::numfmt
