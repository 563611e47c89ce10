#include "run/regional_settings.h"

#include <unicode/dcfmtsym.h>
#include <unicode/locid.h>

#include <cstdlib>

namespace cw::run {
namespace {

// The ASCII character a locale uses for a number symbol, or `fallback` where it uses a
// character outside ASCII (a narrow no-break space, say).
char AsciiSymbol(const icu::DecimalFormatSymbols& symbols, icu::DecimalFormatSymbols::ENumberFormatSymbol which,
                 char fallback) {
  std::string utf8;
  symbols.getSymbol(which).toUTF8String(utf8);
  return (utf8.size() == 1 && static_cast<unsigned char>(utf8[0]) < 0x80) ? utf8[0] : fallback;
}

}  // namespace

RegionalSettings RegionalSettings::ForLocale(std::string_view locale_name) {
  RegionalSettings settings{std::string(locale_name),
                            vcard::CodePage(vcard::CodePage::ForLocale(locale_name)),
                            vcard::DateRecognizer(locale_name),
                            {}};
  settings.format.date_order = settings.dates.Order();
  settings.format.date_separator = settings.dates.Separator();
  std::string base(locale_name.substr(0, locale_name.find_first_of(".@")));
  if (base.empty() || base == "C" || base == "POSIX") base = "en_US";
  UErrorCode status = U_ZERO_ERROR;
  const icu::DecimalFormatSymbols symbols(icu::Locale(base.c_str()), status);
  if (U_SUCCESS(status)) {
    settings.format.decimal_separator = AsciiSymbol(symbols, icu::DecimalFormatSymbols::kDecimalSeparatorSymbol, '.');
    settings.format.thousands_separator =
        AsciiSymbol(symbols, icu::DecimalFormatSymbols::kGroupingSeparatorSymbol, ' ');
  }
  return settings;
}

RegionalSettings RegionalSettings::FromEnvironment() {
  for (const char* name : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return ForLocale(value);
  }
  return ForLocale("C");
}

}  // namespace cw::run
