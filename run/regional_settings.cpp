#include "run/regional_settings.h"

#include <unicode/dcfmtsym.h>
#include <unicode/decimfmt.h>
#include <unicode/locid.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

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

// Where the locale's accounting pattern ("¤#,##0.00;(¤#,##0.00)", "#,##0.00 ¤") puts the
// currency sign, whether a space parts it from the amount, and whether negative amounts
// stand in parentheses.
void ReadCurrencyPattern(const icu::Locale& locale, sheet::FormatLocale& format) {
  UErrorCode status = U_ZERO_ERROR;
  const std::unique_ptr<icu::NumberFormat> number(
      icu::NumberFormat::createInstance(locale, UNUM_CURRENCY_ACCOUNTING, status));
  const auto* decimal = dynamic_cast<const icu::DecimalFormat*>(number.get());
  if (U_FAILURE(status) || decimal == nullptr) return;
  icu::UnicodeString pattern;
  decimal->toPattern(pattern);
  const std::int32_t semicolon = pattern.indexOf(u';');
  const icu::UnicodeString positive(pattern, 0, semicolon < 0 ? pattern.length() : semicolon);
  const std::int32_t sign = positive.indexOf(static_cast<char16_t>(0x00A4));
  std::int32_t first = -1, last = -1;
  for (std::int32_t i = 0; i < positive.length(); ++i) {
    if (positive[i] != u'#' && positive[i] != u'0') continue;
    if (first < 0) first = i;
    last = i;
  }
  if (sign < 0 || first < 0) return;
  format.currency_first = sign < first;
  const std::int32_t gap_from = format.currency_first ? sign + 1 : last + 1;
  const std::int32_t gap_to = format.currency_first ? first : sign;
  format.currency_space = false;
  for (std::int32_t i = gap_from; i < gap_to; ++i) {
    if (positive[i] == u' ' || positive[i] == 0x00A0 || positive[i] == 0x202F) format.currency_space = true;
  }
  format.negative_in_parentheses = semicolon >= 0 && pattern.indexOf(u'(', semicolon) >= 0;
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
  return {category("LC_CTYPE"), category("LC_TIME"), category("LC_NUMERIC"), category("LC_MONETARY")};
}

RegionalSettings RegionalSettings::ForLocale(std::string_view locale_name) {
  const std::string name(locale_name);
  return ForLocales({name, name, name, name});
}

RegionalSettings RegionalSettings::ForLocales(const LocaleCategories& locales) {
  RegionalSettings settings{
      vcard::CodePage(vcard::CodePage::ForLocale(locales.ctype)), vcard::DateRecognizer(locales.time), {}, {}};
  // A text file in no Unicode form is read in the code page the ANSI file is written in.
  settings.read.ansi_code_page = settings.code_page.Number();
  settings.format.date_order = settings.dates.Order();
  settings.format.date_separator = settings.dates.Separator();
  // Long dates, long times and other calendars follow the date locale.
  settings.format.locale_id = vcard::CutLocaleName(locales.time).Base();
  UErrorCode status = U_ZERO_ERROR;
  const icu::DecimalFormatSymbols symbols(icu::Locale(vcard::CutLocaleName(locales.numeric).Base().c_str()), status);
  if (U_SUCCESS(status)) {
    settings.format.decimal_separator = AsciiSymbol(symbols, icu::DecimalFormatSymbols::kDecimalSeparatorSymbol, '.');
    settings.format.thousands_separator =
        AsciiSymbol(symbols, icu::DecimalFormatSymbols::kGroupingSeparatorSymbol, ' ');
  }
  // The currency: its sign from the monetary locale, where it stands and how negatives show.
  const icu::Locale monetary(vcard::CutLocaleName(locales.monetary).Base().c_str());
  status = U_ZERO_ERROR;
  const icu::DecimalFormatSymbols money(monetary, status);
  if (U_SUCCESS(status)) {
    settings.format.currency_symbol.clear();
    money.getSymbol(icu::DecimalFormatSymbols::kCurrencySymbol).toUTF8String(settings.format.currency_symbol);
  }
  ReadCurrencyPattern(monetary, settings.format);
  return settings;
}

RegionalSettings RegionalSettings::FromEnvironment() {
  return ForLocales(LocaleCategories::FromEnvironment([](const char* name) { return std::getenv(name); }));
}

}  // namespace cw::run
