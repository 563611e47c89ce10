// What the user's locale decides for an export: the ANSI code page, how birthdays are
// recognised, and how the engine shows locale-dependent formats. Each comes from its own
// locale category, as the C library reads them. (The renderer takes no currency from the
// locale yet, so LC_MONETARY decides nothing here.)
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "sheet/number_format.h"
#include "sheet/readers.h"
#include "vcard/code_page.h"
#include "vcard/dates.h"

namespace cw::run {

// The locale of each category the export uses, as the system names them ("de_DE.UTF-8").
struct LocaleCategories {
  std::string ctype;     // the code page
  std::string time;      // date order and separator, month names
  std::string numeric;   // decimal and thousands separators
  std::string monetary;  // the currency sign, its place, negative amounts

  // The user's categories: LC_ALL, then LC_<category>, then LANG; "C" when none is set.
  // `lookup` reads one environment variable (nullptr when it is unset).
  static LocaleCategories FromEnvironment(const std::function<const char*(const char*)>& lookup);
};

// The ANSI code page Windows gives a locale ("ru_RU.UTF-8" -> 1251, "de_DE" -> 1252, "C" ->
// 1252).
int AnsiCodePageNumber(std::string_view locale_name);
// The ANSI file's code page numbered `number` (874, 932, 936, 949, 950, 1250 to 1258), with
// the CHARSET label its file carries. Throws std::invalid_argument for any other number.
vcard::CodePage AnsiCodePage(int number);

// The order and separator of a locale's short dates, as its date pattern shows them.
struct ShortDate {
  vcard::DateOrder order = vcard::DateOrder::kMonthDayYear;
  char separator = '/';
};
ShortDate ShortDateOf(std::string_view locale_name);
// Birthday recognition as the locale reads dates.
vcard::DateRecognizer DatesForLocale(std::string_view locale_name);

struct RegionalSettings {
  vcard::CodePage code_page;
  vcard::DateRecognizer dates;
  sheet::FormatLocale format;
  sheet::ReadOptions read;  // the ANSI code page of text files, as the ANSI file's

  // The settings of one locale for every category: "de_DE.UTF-8", "en_GB", "C".
  static RegionalSettings ForLocale(std::string_view locale_name);
  static RegionalSettings ForLocales(const LocaleCategories& locales);
  // The settings of the user's locale categories.
  static RegionalSettings FromEnvironment();
};

}  // namespace cw::run
