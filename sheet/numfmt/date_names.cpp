#include "sheet/numfmt/date_names.h"

#include <unicode/dtfmtsym.h>
#include <unicode/locid.h>
#include <unicode/uloc.h>

#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace cw::sheet::numfmt {
namespace {

struct Names {
  std::uint16_t language;
  std::array<std::string_view, 12> months;
  std::array<std::string_view, 12> month_abbreviations;
  std::array<std::string_view, 7> days;
  std::array<std::string_view, 7> day_abbreviations;
  std::array<std::string_view, 12> months_in_date = {};  // empty: as months
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

// Names taken from ICU, kept as long as the program runs: a view into them is handed out.
struct IcuNames {
  std::array<std::string, 12> months, month_abbreviations, months_in_date;
  std::array<std::string, 7> days, day_abbreviations;
  Names views;
};

template <std::size_t N>
bool Fill(const icu::UnicodeString* names, std::int32_t count, std::size_t first, std::array<std::string, N>& out) {
  if (names == nullptr || count < static_cast<std::int32_t>(first + N)) return false;
  for (std::size_t i = 0; i < N; ++i) {
    out[i].clear();
    names[first + i].toUTF8String(out[i]);
  }
  return true;
}

// ICU's names for `lcid`, or nullptr when ICU knows no such language.
const Names* IcuNamesFor(std::uint32_t lcid) {
  // A format code may name any of 65,536 ids; past this many languages the rest show English.
  constexpr std::size_t kMaxLanguages = 256;
  static std::mutex mutex;
  static std::map<std::uint32_t, std::unique_ptr<IcuNames>> cache;
  const std::lock_guard<std::mutex> lock(mutex);
  if (const auto it = cache.find(lcid); it != cache.end()) return it->second ? &it->second->views : nullptr;
  if (cache.size() >= kMaxLanguages) return nullptr;
  std::unique_ptr<IcuNames> names;
  char id[ULOC_FULLNAME_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  const std::int32_t length = uloc_getLocaleForLCID(lcid, id, sizeof id - 1, &status);
  if (U_SUCCESS(status) && length > 0) {
    const icu::Locale locale(id);
    icu::DateFormatSymbols symbols(locale, status);
    auto n = std::make_unique<IcuNames>();
    using Symbols = icu::DateFormatSymbols;
    // Each list is taken before its count is read.
    std::int32_t count = 0;
    bool ok = U_SUCCESS(status);
    const icu::UnicodeString* list = symbols.getMonths(count, Symbols::STANDALONE, Symbols::WIDE);
    ok = ok && Fill(list, count, 0, n->months);
    list = symbols.getMonths(count, Symbols::FORMAT, Symbols::ABBREVIATED);
    ok = ok && Fill(list, count, 0, n->month_abbreviations);
    list = symbols.getMonths(count, Symbols::FORMAT, Symbols::WIDE);
    ok = ok && Fill(list, count, 0, n->months_in_date);
    // ICU counts weekdays from 1 (Sunday); entry 0 is empty.
    list = symbols.getWeekdays(count, Symbols::FORMAT, Symbols::WIDE);
    ok = ok && Fill(list, count, 1, n->days);
    list = symbols.getWeekdays(count, Symbols::FORMAT, Symbols::ABBREVIATED);
    ok = ok && Fill(list, count, 1, n->day_abbreviations);
    if (ok) {
      n->views.language = static_cast<std::uint16_t>(lcid & 0x3FF);
      for (std::size_t i = 0; i < 12; ++i) {
        n->views.months[i] = n->months[i];
        n->views.month_abbreviations[i] = n->month_abbreviations[i];
        n->views.months_in_date[i] = n->months_in_date[i];
      }
      for (std::size_t i = 0; i < 7; ++i) {
        n->views.days[i] = n->days[i];
        n->views.day_abbreviations[i] = n->day_abbreviations[i];
      }
      names = std::move(n);
    }
  }
  const auto& entry = cache.emplace(lcid, std::move(names)).first->second;
  return entry ? &entry->views : nullptr;
}

const Names& NamesFor(std::uint32_t lcid) {
  const auto language = static_cast<std::uint16_t>(lcid & 0x3FF);
  if (language == 0) return kNames[0];
  for (const auto& names : kNames) {
    if (names.language == language) return names;
  }
  if (const Names* names = IcuNamesFor(lcid)) return *names;
  return kNames[0];
}

}  // namespace

std::string_view MonthName(std::uint32_t lcid, int month) { return NamesFor(lcid).months[(month + 11) % 12]; }
std::string_view MonthNameInDate(std::uint32_t lcid, int month) {
  const Names& names = NamesFor(lcid);
  const std::string_view in_date = names.months_in_date[(month + 11) % 12];
  return in_date.empty() ? names.months[(month + 11) % 12] : in_date;
}
std::string_view MonthAbbreviation(std::uint32_t lcid, int month) {
  return NamesFor(lcid).month_abbreviations[(month + 11) % 12];
}
std::string_view DayName(std::uint32_t lcid, int weekday) { return NamesFor(lcid).days[weekday % 7]; }
std::string_view DayAbbreviation(std::uint32_t lcid, int weekday) {
  return NamesFor(lcid).day_abbreviations[weekday % 7];
}

}  // namespace cw::sheet::numfmt
