#include "run/regional_settings.h"

#include <unicode/dcfmtsym.h>
#include <unicode/locid.h>

#include <cstdlib>

#include "vcard/locale_name.h"

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

LocaleCategories LocaleCategories::FromEnvironment(const std::function<const char*(const char*)>& lookup) {
  const auto category = [&](const char* name) -> std::string {
    for (const char* variable : {"LC_ALL", name, "LANG"}) {
      const char* value = lookup(variable);
      if (value && *value) return value;
    }
    return "C";
  };
  return {category("LC_CTYPE"), category("LC_TIME"), category("LC_NUMERIC")};
}

RegionalSettings RegionalSettings::ForLocale(std::string_view locale_name) {
  const std::string name(locale_name);
  return ForLocales({name, name, name});
}

RegionalSettings RegionalSettings::ForLocales(const LocaleCategories& locales) {
  RegionalSettings settings{
      vcard::CodePage(vcard::CodePage::ForLocale(locales.ctype)), vcard::DateRecognizer(locales.time), {}};
  settings.format.date_order = settings.dates.Order();
  settings.format.date_separator = settings.dates.Separator();
  UErrorCode status = U_ZERO_ERROR;
  const icu::DecimalFormatSymbols symbols(icu::Locale(vcard::CutLocaleName(locales.numeric).Base().c_str()), status);
  if (U_SUCCESS(status)) {
    settings.format.decimal_separator = AsciiSymbol(symbols, icu::DecimalFormatSymbols::kDecimalSeparatorSymbol, '.');
    settings.format.thousands_separator =
        AsciiSymbol(symbols, icu::DecimalFormatSymbols::kGroupingSeparatorSymbol, ' ');
  }
  return settings;
}

RegionalSettings RegionalSettings::FromEnvironment() {
  return ForLocales(LocaleCategories::FromEnvironment([](const char* name) { return std::getenv(name); }));
}

}  // namespace cw::run
