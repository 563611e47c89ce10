// What the user's locale decides for an export: the ANSI code page, how birthdays are
// recognised, and how the engine shows locale-dependent formats.
#pragma once

#include <string>
#include <string_view>

#include "sheet/number_format.h"
#include "vcard/code_page.h"
#include "vcard/dates.h"

namespace cw::run {

struct RegionalSettings {
  std::string locale_name;
  vcard::CodePage code_page;
  vcard::DateRecognizer dates;
  sheet::FormatLocale format;

  // The settings of a locale named as the system names it: "de_DE.UTF-8", "en_GB", "C".
  static RegionalSettings ForLocale(std::string_view locale_name);
  // The settings of the user's locale (LC_ALL, then LC_TIME, then LANG; "C" when none is set).
  static RegionalSettings FromEnvironment();
};

}  // namespace cw::run
