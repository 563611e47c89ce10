// Number format codes compiled into sections of tokens, once per distinct code, so that
// rendering a cell is a walk over a few tokens with no parsing and no allocation.
//
// Written by hand: no library in the archive renders spreadsheet format codes. The
// grammar is that of ECMA-376 Part 1, 18.8.31 (numFmts), as Excel and LibreOffice read it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cw::sheet::numfmt {

enum class TokenKind : std::uint8_t {
  kLiteral,  // text [offset, offset + length) of CompiledFormat::text
  kDigit,    // placeholder `ch` ('0', '#', '?') of role `role`, index `index`
  kDecimalPoint,
  kExponent,  // 'E' or 'e' (ch), '+' shown when `index` is 1; then the exponent digits
  kFractionSlash,
  kFixedDenominator,  // the denominator `value` written in the code ("# ?/8")
  kGeneral,
  kText,  // '@': the cell's text
  kYear2,
  kYear4,
  kMonth,
  kMonth2,
  kMonthAbbr,
  kMonthName,
  kMonthLetter,
  kDay,
  kDay2,
  kDayAbbr,
  kDayName,
  kHour,
  kHour2,
  kMinute,
  kMinute2,
  kSecond,
  kSecond2,
  kElapsedHours,  // [h]: `index` is the least digit count
  kElapsedMinutes,
  kElapsedSeconds,
  kSubsecond,      // .0 .00 .000 after seconds: `index` digits
  kAmPm,           // AM text at [offset, offset + length), PM text right after it
  kDateSeparator,  // '/' in a date: the locale's date separator
  kEraLetter,      // g under a Japanese locale: the era's letter ("R")
  kEraFirst,       // gg: the first character of the era's name ("令")
  kEraName,        // ggg: the era's name ("令和")
  kEraYear,        // e under a Japanese locale: the year within the era
  kEraYear2,       // ee: the same with two digits
  kBuddhistYear2,  // b, bb under a Thai locale: the Buddhist year's last two digits
  kBuddhistYear4,  // bbb, bbbb: the Buddhist year
  kLongDate,       // [$-F800]: the locale's long date
  kLongTime,       // [$-F400]: the locale's long time
  kBoolean,        // LibreOffice's BOOLEAN: the words for true and false of the section's language
  kQuarter,        // LibreOffice's Q (`index` 1, "Q4") and QQ (`index` 2, "4th quarter")
};

// Whose reading of a code: Excel's, or LibreOffice's, which adds BOOLEAN, quarters (Q, QQ)
// and decimals replaced by dashes ("#,##0.--": 12 shows "12.--").
enum class Dialect : std::uint8_t { kExcel, kLibreOffice };

enum class DigitRole : std::uint8_t { kInteger, kDecimal, kExponent, kNumerator, kDenominator };

struct Token {
  TokenKind kind = TokenKind::kLiteral;
  char ch = 0;
  DigitRole role = DigitRole::kInteger;
  std::uint16_t index = 0;   // integer digits: position from the right; decimals: from the left
  std::uint32_t offset = 0;  // literal text
  std::uint32_t length = 0;
  std::uint32_t value = 0;  // fixed denominator
};

enum class SectionKind : std::uint8_t { kNumber, kScientific, kFraction, kDate, kGeneral, kText };

struct Condition {
  enum class Op : std::uint8_t { kNone, kLess, kLessEqual, kGreater, kGreaterEqual, kEqual, kNotEqual };
  Op op = Op::kNone;
  double limit = 0;

  bool Present() const { return op != Op::kNone; }
  bool Holds(double value) const;
};

struct Section {
  std::uint32_t first_token = 0;
  std::uint32_t token_count = 0;
  SectionKind kind = SectionKind::kGeneral;
  Condition condition;
  // Numbers.
  int integer_digits = 0;
  int decimal_digits = 0;
  int exponent_digits = 0;
  int numerator_digits = 0;
  int denominator_digits = 0;
  int decimal_shift = 0;  // +2 per percent sign, -3 per scaling comma
  bool grouping = false;
  bool engineering = false;     // "##0.0E+0": exponent a multiple of the integer digits
  bool has_date = false;        // shows a calendar part (y, m, d), not only a time
  bool mixed_fraction = false;  // "# ?/?": a whole part before the fraction
  bool has_decimal_point = false;
  bool decimal_replacement = false;  // LibreOffice's "0.--": a whole number shows dashes for its decimals
  bool boolean = false;              // LibreOffice's BOOLEAN
  std::uint32_t fixed_denominator = 0;
  // Dates and times.
  bool hour12 = false;
  bool day_number = false;  // d or dd: a month's name beside it takes the form a date gives it
  bool has_time = false;
  int subsecond_digits = 0;
  std::uint16_t language = 0;                     // primary language of a [$-xxx] tag; 0 for English
  std::uint32_t lcid = 0;                         // the whole locale id of that tag ("[$-419]": 0x419)
  TokenKind system_format = TokenKind::kLiteral;  // kLongDate or kLongTime for [$-F800], [$-F400]
};

struct CompiledFormat {
  bool valid = false;  // false: the code is malformed and numbers show as General
  std::string text;    // literal text of all tokens
  std::vector<Token> tokens;
  Section sections[4];
  int section_count = 0;
  int number_sections = 0;  // sections that numbers use (the rest is the text section)
  int text_section = -1;    // index of the section strings use, or -1
  std::uint32_t lcid = 0;   // the locale id of the first section that names one
};

// Compiles a format code. Never throws on a malformed code: the result is then not valid.
CompiledFormat CompileFormat(std::string_view code, Dialect dialect = Dialect::kExcel);

}  // namespace cw::sheet::numfmt
