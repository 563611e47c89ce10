#include "sheet/numfmt/builtin_formats.h"

#include <array>
#include <string_view>

namespace cw::sheet::numfmt {
namespace {

// ECMA-376 Part 1, 18.8.30 lists ids 0-4, 9-22, 37-40 and 45-49; the currency and
// accounting ids 5-8 and 41-44 (and 37-40 where negative amounts take a minus sign) are
// made from the locale's currency below.
constexpr std::array<std::string_view, 50> kCodes = {
    "General",                   // 0
    "0",                         // 1
    "0.00",                      // 2
    "#,##0",                     // 3
    "#,##0.00",                  // 4
    "#,##0 ;(#,##0)",            // 5
    "#,##0 ;[Red](#,##0)",       // 6
    "#,##0.00;(#,##0.00)",       // 7
    "#,##0.00;[Red](#,##0.00)",  // 8
    "0%",                        // 9
    "0.00%",                     // 10
    "0.00E+00",                  // 11
    "# ?/?",                     // 12
    "# ?\?/?\?",                 // 13
    "",                          // 14: short date of the locale
    "d-mmm-yy",                  // 15
    "d-mmm",                     // 16
    "mmm-yy",                    // 17
    "h:mm AM/PM",                // 18
    "h:mm:ss AM/PM",             // 19
    "h:mm",                      // 20
    "h:mm:ss",                   // 21
    "",                          // 22: short date and time of the locale
    "General",                   // 23-26: East Asian currency forms
    "General",
    "General",
    "General",
    "",  // 27-31: East Asian dates, as id 14
    "",
    "",
    "",
    "",
    "h:mm",     // 32
    "h:mm:ss",  // 33
    "",         // 34, 35: dates, as id 14
    "",
    "",                                                       // 36: date, as id 14
    "#,##0 ;(#,##0)",                                         // 37
    "#,##0 ;[Red](#,##0)",                                    // 38
    "#,##0.00_);(#,##0.00)",                                  // 39
    "#,##0.00_);[Red](#,##0.00)",                             // 40
    "_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)",          // 41
    "_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)",          // 42
    "_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"??_);_(@_)",  // 43
    "_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"??_);_(@_)",  // 44
    "mm:ss",                                                  // 45
    "[h]:mm:ss",                                              // 46
    "mm:ss.0",                                                // 47
    "##0.0E+0",                                               // 48
    "@",                                                      // 49
};

// `text` as a quoted literal of a format code.
std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c != '"') out += c;
  }
  return out + '"';
}

// Room as wide as `text`: one "_" padding per character.
std::string Padding(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) out += '_';
    out += text[i];
  }
  return out;
}

// The currency (5-8) and accounting (37-44) formats under the locale's currency. The
// accounting forms pad both ends as the spreadsheet does ("_(", "_)"); their fill between
// symbol and amount shows nothing, as in a column just wide enough.
std::string CurrencyCode(std::uint32_t id, const FormatLocale& locale) {
  const bool cents = id == 7 || id == 8 || id == 39 || id == 40 || id == 43 || id == 44;
  const std::string red = (id == 6 || id == 8 || id == 38 || id == 40) ? "[Red]" : "";
  const std::string digits = cents ? "#,##0.00" : "#,##0";
  const std::string space = locale.currency_space ? " " : "";
  const bool parentheses = locale.negative_in_parentheses;
  const std::string symbol = Quoted(locale.currency_symbol);
  if (id <= 8) {
    // Under parentheses the positive amount keeps room for the closing one ("$1,235 ").
    const std::string amount = locale.currency_first ? symbol + space + digits : digits + space + symbol;
    return parentheses ? amount + "_);" + red + "(" + amount + ")" : amount + ";" + red + "-" + amount;
  }
  if (id <= 40) {
    if (parentheses) return std::string(kCodes[id]);
    const std::string amount = locale.currency_first ? digits : digits + space + Padding(locale.currency_symbol);
    return amount + ";" + red + "-" + amount;
  }
  // 41 and 43 leave the symbol out; after the amount its room stays.
  const bool shown = id == 42 || id == 44;
  const std::string left = parentheses ? "_(" : "_-";
  const std::string right = parentheses ? "_)" : "_-";
  const std::string dash = cents ? "\"-\"??" : "\"-\"";
  std::string positive, negative, zero;
  if (locale.currency_first) {
    const std::string before = shown ? symbol + space : "";
    positive = left + before + digits + right;
    negative = parentheses ? left + before + "\\(" + digits + "\\)" : "-" + before + digits + right;
    zero = left + before + dash + right;
  } else {
    const std::string after = space + (shown ? symbol : Padding(locale.currency_symbol));
    positive = left + digits + after + right;
    negative = parentheses ? left + "\\(" + digits + after + "\\)" : "-" + digits + after + right;
    zero = left + dash + after + right;
  }
  return positive + ";" + negative + ";" + zero + ";" + left + "@" + right;
}

std::string ShortDate(const FormatLocale& locale) {
  switch (locale.date_order) {
    case DateOrder::kDayMonthYear:
      return "dd/mm/yyyy";
    case DateOrder::kYearMonthDay:
      return "yyyy/mm/dd";
    case DateOrder::kMonthDayYear:
      break;
  }
  return "m/d/yyyy";
}

}  // namespace

std::string BuiltinFormatCode(std::uint32_t id, const FormatLocale& locale) {
  // Ids 50-81 are East Asian forms; those Excel maps onto the common ones are mapped here.
  switch (id) {
    case 50:
    case 51:
    case 52:
    case 53:
    case 54:
    case 57:
    case 58:
    case 71:
    case 72:
      id = 14;
      break;
    case 55:
    case 56:
    case 77:
      id = 21;
      break;
    case 59:
      id = 1;
      break;
    case 60:
      id = 2;
      break;
    case 61:
      id = 3;
      break;
    case 62:
      id = 4;
      break;
    case 67:
      id = 9;
      break;
    case 68:
      id = 10;
      break;
    case 69:
      id = 12;
      break;
    case 70:
      id = 13;
      break;
    case 73:
      id = 15;
      break;
    case 74:
      id = 16;
      break;
    case 75:
      id = 17;
      break;
    case 76:
      id = 20;
      break;
    case 78:
      id = 22;
      break;
    case 79:
      id = 45;
      break;
    case 80:
      id = 46;
      break;
    case 81:
      id = 47;
      break;
    default:
      break;
  }
  if (id >= kCodes.size()) return "General";
  if (id == 22) {
    const std::string time = locale.date_order == DateOrder::kMonthDayYear ? " h:mm" : " hh:mm";
    return ShortDate(locale) + time;
  }
  if (kCodes[id].empty()) return ShortDate(locale);
  if ((id >= 5 && id <= 8) || (id >= 37 && id <= 44)) return CurrencyCode(id, locale);
  return std::string(kCodes[id]);
}

}  // namespace cw::sheet::numfmt
