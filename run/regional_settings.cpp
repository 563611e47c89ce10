#include "run/regional_settings.h"

#include <unicode/datefmt.h>
#include <unicode/dcfmtsym.h>
#include <unicode/decimfmt.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "run/locale_name.h"
#include "sheet/code_pages.h"

namespace cw::run {
namespace {

struct LocaleCodePage {
  std::string_view language;
  std::string_view region;    // empty: any region
  std::string_view modifier;  // empty: any modifier
  int code_page;
};

// Windows' ANSI code page for the languages Debian ships locales for; the first matching
// line wins, so a script or region that changes the page comes before its language. Every
// language not listed, and the C locale, gets 1252.
constexpr LocaleCodePage kLocaleCodePages[] = {
    // Serbian, Uzbek, Azeri, Belarusian and Tatar: the script decides.
    {"sr", "", "latin", 1250},
    {"sr", "", "", 1251},
    {"uz", "", "cyrillic", 1251},
    {"uz", "", "", 1254},
    {"az", "IR", "", 1256},
    {"az", "", "", 1254},
    {"be", "", "latin", 1250},
    {"tt", "", "iqtelif", 1254},
    // Chinese: traditional script where Windows uses Big5, simplified elsewhere.
    {"zh", "TW", "", 950},
    {"zh", "HK", "", 950},
    {"zh", "MO", "", 950},
    {"cmn", "TW", "", 950},
    {"hak", "TW", "", 950},
    {"nan", "TW", "", 950},
    {"lzh", "TW", "", 950},
    {"yue", "HK", "", 950},
    {"zh", "", "", 936},
    // Cyrillic.
    {"ru", "", "", 1251},
    {"uk", "", "", 1251},
    {"bg", "", "", 1251},
    {"be", "", "", 1251},
    {"mk", "", "", 1251},
    {"kk", "", "", 1251},
    {"ky", "", "", 1251},
    {"mn", "", "", 1251},
    {"tt", "", "", 1251},
    {"tg", "", "", 1251},
    {"sah", "", "", 1251},
    // Central European.
    {"pl", "", "", 1250},
    {"cs", "", "", 1250},
    {"sk", "", "", 1250},
    {"hu", "", "", 1250},
    {"ro", "", "", 1250},
    {"hr", "", "", 1250},
    {"sl", "", "", 1250},
    {"sq", "", "", 1250},
    {"bs", "", "", 1250},
    {"tk", "", "", 1250},
    {"el", "", "", 1253},
    {"tr", "", "", 1254},
    {"ku", "", "", 1254},
    {"he", "", "", 1255},
    {"yi", "", "", 1255},
    {"sd", "", "devanagari", 1252},
    {"ar", "", "", 1256},
    {"fa", "", "", 1256},
    {"ur", "", "", 1256},
    {"ps", "", "", 1256},
    {"ug", "", "", 1256},
    {"sd", "", "", 1256},
    {"ckb", "", "", 1256},
    {"et", "", "", 1257},
    {"lv", "", "", 1257},
    {"lt", "", "", 1257},
    {"vi", "", "", 1258},
    {"th", "", "", 874},
    {"ja", "", "", 932},
    {"ko", "", "", 949},
};

// The CHARSET label of each code page in the ANSI file: one that python's codecs, the C
// library's iconv (which GNOME's address book reads with) and ICU resolve to a charset that
// holds every byte written. Where Windows extends a standard page, the standard's name
// (SHIFT_JIS, EUC-KR, TIS-620) would leave the extension's bytes unreadable, so the label
// names the Windows page itself. Code page 936 is written as GB18030, which keeps every
// GBK byte as it is and holds the euro sign that no reader's name for 936 decodes, and
// every other character besides.
struct AnsiLabel {
  int number;
  std::string_view converter;  // empty: the one .xls text of that page is read with
  std::string_view charset;
};
constexpr AnsiLabel kAnsiLabels[] = {
    {874, "", "CP874"},         {932, "", "CP932"},         {936, "gb18030", "GB18030"}, {949, "", "CP949"},
    {950, "", "CP950"},         {1250, "", "WINDOWS-1250"}, {1251, "", "WINDOWS-1251"},  {1252, "", "WINDOWS-1252"},
    {1253, "", "WINDOWS-1253"}, {1254, "", "WINDOWS-1254"}, {1255, "", "WINDOWS-1255"},  {1256, "", "WINDOWS-1256"},
    {1257, "", "WINDOWS-1257"}, {1258, "", "WINDOWS-1258"},
};

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

int AnsiCodePageNumber(std::string_view locale_name) {
  const LocaleName name = CutLocaleName(locale_name);
  for (const auto& entry : kLocaleCodePages) {
    if (entry.language == name.language && (entry.region.empty() || entry.region == name.region) &&
        (entry.modifier.empty() || entry.modifier == name.modifier)) {
      return entry.code_page;
    }
  }
  return 1252;
}

vcard::CodePage AnsiCodePage(int number) {
  const sheet::WindowsCodePage* page = sheet::FindWindowsCodePage(number);
  for (const AnsiLabel& label : kAnsiLabels) {
    if (label.number != number || page == nullptr) continue;
    return vcard::CodePage(number, label.converter.empty() ? std::string_view(page->converter) : label.converter,
                           label.charset);
  }
  throw std::invalid_argument("No converter for code page " + std::to_string(number));
}

ShortDate ShortDateOf(std::string_view locale_name) {
  ShortDate date;
  const icu::Locale locale(CutLocaleName(locale_name).Base().c_str());
  std::unique_ptr<icu::DateFormat> format(icu::DateFormat::createDateInstance(icu::DateFormat::kShort, locale));
  auto* simple = dynamic_cast<icu::SimpleDateFormat*>(format.get());
  if (simple == nullptr) return date;
  icu::UnicodeString pattern;
  simple->toPattern(pattern);
  std::string utf8;
  pattern.toUTF8String(utf8);
  const std::size_t y = utf8.find('y');
  const std::size_t m = utf8.find('M');
  const std::size_t d = utf8.find('d');
  if (y == std::string::npos || m == std::string::npos || d == std::string::npos) return date;
  if (y < m && m < d) {
    date.order = vcard::DateOrder::kYearMonthDay;
  } else if (d < m) {
    date.order = vcard::DateOrder::kDayMonthYear;
  }
  const std::size_t first = std::min({y, m, d});
  for (std::size_t i = first; i < utf8.size(); ++i) {
    const char c = utf8[i];
    if (c != 'y' && c != 'M' && c != 'd') {
      if (c == '/' || c == '.' || c == '-' || c == ' ') date.separator = c;
      break;
    }
  }
  return date;
}

vcard::DateRecognizer DatesForLocale(std::string_view locale_name) {
  return vcard::DateRecognizer(ShortDateOf(locale_name).order, CutLocaleName(locale_name).Base());
}

RegionalSettings RegionalSettings::ForLocale(std::string_view locale_name) {
  const std::string name(locale_name);
  return ForLocales({name, name, name, name});
}

RegionalSettings RegionalSettings::ForLocales(const LocaleCategories& locales) {
  const ShortDate short_date = ShortDateOf(locales.time);
  RegionalSettings settings{AnsiCodePage(AnsiCodePageNumber(locales.ctype)), DatesForLocale(locales.time), {}, {}};
  // A text file in no Unicode form is read in the code page the ANSI file is written in.
  settings.read.ansi_code_page = settings.code_page.Number();
  switch (short_date.order) {
    case vcard::DateOrder::kMonthDayYear:
      settings.format.date_order = sheet::DateOrder::kMonthDayYear;
      break;
    case vcard::DateOrder::kDayMonthYear:
      settings.format.date_order = sheet::DateOrder::kDayMonthYear;
      break;
    case vcard::DateOrder::kYearMonthDay:
      settings.format.date_order = sheet::DateOrder::kYearMonthDay;
      break;
  }
  settings.format.date_separator = short_date.separator;
  // Long dates, long times and other calendars follow the date locale.
  settings.format.locale_id = CutLocaleName(locales.time).Base();
  UErrorCode status = U_ZERO_ERROR;
  const icu::DecimalFormatSymbols symbols(icu::Locale(CutLocaleName(locales.numeric).Base().c_str()), status);
  if (U_SUCCESS(status)) {
    settings.format.decimal_separator = AsciiSymbol(symbols, icu::DecimalFormatSymbols::kDecimalSeparatorSymbol, '.');
    settings.format.thousands_separator =
        AsciiSymbol(symbols, icu::DecimalFormatSymbols::kGroupingSeparatorSymbol, ' ');
  }
  // The currency: its sign from the monetary locale, where it stands and how negatives show.
  const icu::Locale monetary(CutLocaleName(locales.monetary).Base().c_str());
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
