#include "sheet/numfmt/date_names.h"

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

}  // namespace

std::string_view MonthName(std::uint16_t language, int month) { return NamesFor(language).months[(month + 11) % 12]; }
std::string_view MonthAbbreviation(std::uint16_t language, int month) {
  return NamesFor(language).month_abbreviations[(month + 11) % 12];
}
std::string_view DayName(std::uint16_t language, int weekday) { return NamesFor(language).days[weekday % 7]; }
std::string_view DayAbbreviation(std::uint16_t language, int weekday) {
  return NamesFor(language).day_abbreviations[weekday % 7];
}

}  // namespace cw::sheet::numfmt
