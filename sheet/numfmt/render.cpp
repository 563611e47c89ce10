#include "sheet/numfmt/render.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "sheet/calendar.h"
#include "sheet/numfmt/date_names.h"
#include "sheet/numfmt/decimal.h"
#include "sheet/numfmt/lo_locale_data.h"

namespace cw::sheet::numfmt {
namespace {

constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10,
                             1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21,
                             1e22, 1e23, 1e24, 1e25, 1e26, 1e27, 1e28, 1e29, 1e30};

// |value| x 10^shift rounded to `places` decimals, half away from zero on the value's
// 15-digit decimal form.
Decimal RoundedDecimal(double magnitude, int shift, int places) {
  const int scale = places + shift;
  if (places <= 15 && scale >= -15 && scale <= 15) {
    const double scaled = scale >= 0 ? magnitude * kPow10[scale] : magnitude / kPow10[-scale];
    if (scaled < 1e15) {
      // Decide the rounding in binary when the scaled value is clearly off a half, which
      // is nearly always; near a half the decimal digits decide.
      const double whole = std::floor(scaled);
      const double rest = scaled - whole;
      if (std::fabs(rest - 0.5) > scaled * 1e-14 + 1e-300 || rest == 0) {
        const auto n = static_cast<std::uint64_t>(whole) + (rest > 0.5 ? 1 : 0);
        return FromScaledInteger(n, places);
      }
    }
  }
  Decimal d = ToDecimal(magnitude);
  if (!d.IsZero()) d.point += shift;
  d.RoundToPlaces(places);
  return d;
}

void AppendUnsigned(std::uint64_t n, int min_digits, std::string& out) {
  char buf[24];
  const auto res = std::to_chars(buf, buf + sizeof buf, n);
  const int len = static_cast<int>(res.ptr - buf);
  if (len < min_digits) out.append(static_cast<std::size_t>(min_digits - len), '0');
  out.append(buf, res.ptr);
}

// The Buddhist era counts from 543 BC.
constexpr int kBuddhistEraOffset = 543;
// What a date or time shows when the calendar cannot show it: the spreadsheet fills the
// cell with "#"; no column width is known here, so always eight.
constexpr std::string_view kNoDate = "########";

// Bytes of the UTF-8 character that starts with `lead`.
std::size_t CharLength(char lead) {
  const auto b = static_cast<unsigned char>(lead);
  return b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
}

void AppendTwo(int n, std::string& out) {
  out += static_cast<char>('0' + (n / 10) % 10);
  out += static_cast<char>('0' + n % 10);
}

// Integer digits placed into placeholders from the right; digits beyond the leftmost
// placeholder go in front of it.
class IntegerPlacer {
 public:
  IntegerPlacer(const char* digits, int length, int placeholders, bool grouping, std::string_view separator,
                std::string& out, bool indian = false)
      : digits_(digits),
        length_(length),
        placeholders_(placeholders),
        grouping_(grouping),
        indian_(indian),
        separator_(separator),
        out_(out) {}

  void Place(int position, char placeholder) {
    if (position == placeholders_ - 1) {
      for (int q = length_ - 1; q >= placeholders_; --q) Digit(q, digits_[length_ - 1 - q]);
    }
    if (position < length_) {
      Digit(position, digits_[length_ - 1 - position]);
    } else if (placeholder == '0') {
      Digit(position, '0');
    } else if (placeholder == '?') {
      out_ += ' ';
      if (grouping_ && GroupEndsAt(position)) out_ += ' ';
    }
  }
  // All digits at once (a code with no integer placeholder, such as ".00").
  void PlaceAll() {
    for (int q = length_ - 1; q >= 0; --q) Digit(q, digits_[length_ - 1 - q]);
  }

 private:
  void Digit(int position, char digit) {
    out_ += digit;
    if (grouping_ && GroupEndsAt(position)) out_ += separator_;
  }
  // Whether a separator follows the digit at `position` from the right.
  bool GroupEndsAt(int position) const {
    if (indian_) return position == 3 || (position > 3 && (position - 3) % 2 == 0);
    return position > 0 && position % 3 == 0;
  }

  const char* digits_;
  int length_;
  int placeholders_;
  bool grouping_;
  bool indian_;
  std::string_view separator_;
  std::string& out_;
};

// The integer digits of a decimal, written out (trailing zeros of large values included).
int IntegerDigitsOf(const Decimal& d, char* buf, int capacity) {
  const int length = std::min(d.IntegerDigits(), capacity);
  for (int i = 0; i < length; ++i) buf[i] = d.DigitAt(i);
  return length;
}

void AppendDecimalDigit(const Decimal& d, int index, int last_nonzero, char placeholder, std::string& out) {
  if (index <= last_nonzero) {
    out += d.DigitAt(d.point + index);
  } else if (placeholder == '0') {
    out += '0';
  } else if (placeholder == '?') {
    out += ' ';
  }
}

struct SectionView {
  const CompiledFormat& format;
  const Section& section;
  const Token* begin() const { return format.tokens.data() + section.first_token; }
  const Token* end() const { return begin() + section.token_count; }
  std::string_view Text(const Token& t) const { return std::string_view(format.text).substr(t.offset, t.length); }
};

// Numbers and scientific notation share the placing of digits.
void RenderDigits(const SectionView& v, const Decimal& d, int exponent, const RenderContext& context,
                  std::string& out) {
  const FormatLocale& locale = context.locale;
  const Section& s = v.section;
  char integer[1200];  // 309 digits of the largest double, shifted by up to 400 places
  const int length = IntegerDigitsOf(d, integer, static_cast<int>(sizeof integer));
  const std::string_view separator =
      context.grouping.empty() ? std::string_view(&locale.thousands_separator, 1) : std::string_view(context.grouping);
  IntegerPlacer placer(integer, length, s.integer_digits, s.grouping, separator, out, context.indian_grouping);
  const int fraction_digits = d.count - d.point;
  const int last_nonzero = std::min(fraction_digits, s.decimal_digits) - 1;
  // LibreOffice: a whole number under "0.--" shows dashes for its decimals, and a decimal
  // point followed by no digit is not shown ("0.##" shows 5 as "5").
  const bool dashes = s.decimal_replacement && last_nonzero < 0;
  bool bare_point = false;
  if (context.libreoffice && last_nonzero < 0 && !dashes) {
    bare_point = true;
    for (const Token& t : v) {
      if (t.kind == TokenKind::kDigit && t.role == DigitRole::kDecimal && t.ch != '#') bare_point = false;
    }
  }
  for (const Token& t : v) {
    switch (t.kind) {
      case TokenKind::kLiteral:
        out.append(v.Text(t));
        break;
      case TokenKind::kDigit:
        if (t.role == DigitRole::kInteger)
          placer.Place(t.index, t.ch);
        else if (t.role == DigitRole::kDecimal && dashes)
          out += '-';
        else if (t.role == DigitRole::kDecimal)
          AppendDecimalDigit(d, t.index, last_nonzero, t.ch, out);
        break;
      case TokenKind::kDecimalPoint:
        if (s.integer_digits == 0) placer.PlaceAll();
        if (!bare_point) out += locale.decimal_separator;
        break;
      case TokenKind::kExponent:
        out += t.ch;
        if (exponent < 0)
          out += '-';
        else if (t.index == 1)
          out += '+';
        AppendUnsigned(static_cast<std::uint64_t>(exponent < 0 ? -exponent : exponent), s.exponent_digits, out);
        break;
      default:
        break;
    }
  }
}

void RenderFixed(const SectionView& v, double magnitude, const RenderContext& context, std::string& out) {
  const Decimal d = RoundedDecimal(magnitude, v.section.decimal_shift, v.section.decimal_digits);
  RenderDigits(v, d, 0, context, out);
}

int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

void RenderScientific(const SectionView& v, double magnitude, const RenderContext& context, std::string& out) {
  const Section& s = v.section;
  Decimal d = ToDecimal(magnitude);
  int exponent = 0;
  if (!d.IsZero()) {
    d.point += s.decimal_shift;
    const int integers = s.integer_digits;
    const auto choose = [&](int e10) {
      if (s.engineering) return FloorDiv(e10, integers) * integers;
      return integers == 0 ? e10 + 1 : e10 - (integers - 1);
    };
    const int e10 = d.point - 1;
    exponent = choose(e10);
    d.point -= exponent;
    d.RoundToPlaces(s.decimal_digits);
    if (!d.IsZero() && d.point - 1 + exponent != e10) {
      // Rounding carried into a new digit (9.99 -> 10.0): take the next exponent.
      const int next = choose(d.point - 1 + exponent);
      d.point += exponent - next;
      exponent = next;
    }
    if (d.IsZero()) exponent = 0;
  }
  RenderDigits(v, d, exponent, context, out);
}

// The closest fraction to x (>= 0) with a denominator up to max_denominator: the last
// continued-fraction convergent or the best semiconvergent after it.
void Approximate(double x, std::int64_t max_denominator, std::int64_t& numerator, std::int64_t& denominator) {
  std::int64_t p0 = 0, q0 = 1, p1 = 1, q1 = 0;
  double r = x;
  for (int i = 0; i < 64; ++i) {
    const double a_real = std::floor(r);
    if (a_real > 1e15) break;
    const auto a = static_cast<std::int64_t>(a_real);
    const std::int64_t q2 = q0 + a * q1;
    if (q2 > max_denominator) break;
    const std::int64_t p2 = p0 + a * p1;
    p0 = p1;
    q0 = q1;
    p1 = p2;
    q1 = q2;
    const double rest = r - a_real;
    if (rest < 1e-12) break;
    r = 1 / rest;
  }
  if (q1 == 0) {
    numerator = static_cast<std::int64_t>(std::llround(x));
    denominator = 1;
    return;
  }
  const std::int64_t k = (max_denominator - q0) / q1;
  const std::int64_t pb = p0 + k * p1;
  const std::int64_t qb = q0 + k * q1;
  const double error_convergent = std::fabs(static_cast<double>(p1) / static_cast<double>(q1) - x);
  const double error_semi =
      qb > 0 ? std::fabs(static_cast<double>(pb) / static_cast<double>(qb) - x) : error_convergent + 1;
  if (error_semi < error_convergent) {
    numerator = pb;
    denominator = qb;
  } else {
    numerator = p1;
    denominator = q1;
  }
}

double RoundHalfAway(double x) { return std::floor(x + 0.5); }

void RenderFraction(const SectionView& v, double magnitude, const FormatLocale& locale, std::string& out) {
  const Section& s = v.section;
  const double x = s.decimal_shift == 0 ? magnitude : magnitude * std::pow(10.0, s.decimal_shift);
  if (!(x < 1e15)) {
    // Past the digits a double holds a fraction means nothing: the value as General.
    AppendGeneral(magnitude, locale.decimal_separator, out);
    return;
  }
  std::int64_t max_denominator = 1;
  for (int i = 0; i < s.denominator_digits; ++i) max_denominator *= 10;
  max_denominator = std::max<std::int64_t>(max_denominator - 1, 1);
  std::int64_t whole = 0, numerator = 0, denominator = 1;
  const double base = s.mixed_fraction ? std::floor(x) : 0;
  const double rest = x - base;
  const double largest_denominator =
      s.fixed_denominator != 0 ? static_cast<double>(s.fixed_denominator) : static_cast<double>(max_denominator);
  if (rest * largest_denominator >= 1e18) {
    // A numerator past 64 bits: the value is far beyond the digits a double holds.
    AppendGeneral(magnitude, locale.decimal_separator, out);
    return;
  }
  if (s.fixed_denominator != 0) {
    denominator = s.fixed_denominator;
    numerator = static_cast<std::int64_t>(RoundHalfAway(rest * static_cast<double>(denominator)));
  } else {
    Approximate(rest, max_denominator, numerator, denominator);
  }
  whole = static_cast<std::int64_t>(base);
  if (s.mixed_fraction && numerator >= denominator) {
    whole += numerator / denominator;
    numerator %= denominator;
  }
  const bool blank_fraction = s.mixed_fraction && numerator == 0;

  char whole_digits[24];
  int whole_length = 0;
  if (whole > 0 || blank_fraction) {
    const auto res = std::to_chars(whole_digits, whole_digits + sizeof whole_digits, whole);
    whole_length = static_cast<int>(res.ptr - whole_digits);
  }
  char numerator_digits[24];
  const auto num_res = std::to_chars(numerator_digits, numerator_digits + sizeof numerator_digits, numerator);
  const int numerator_length = static_cast<int>(num_res.ptr - numerator_digits);
  char denominator_digits[24];
  const auto den_res = std::to_chars(denominator_digits, denominator_digits + sizeof denominator_digits, denominator);
  const int denominator_length = static_cast<int>(den_res.ptr - denominator_digits);

  IntegerPlacer whole_placer(whole_digits, whole_length, s.integer_digits, false, ",", out);
  IntegerPlacer numerator_placer(numerator_digits, numerator_length, s.numerator_digits, false, ",", out);
  int denominator_count = 0;
  for (const Token& t : v) {
    if (t.kind == TokenKind::kDigit && t.role == DigitRole::kDenominator) ++denominator_count;
  }
  for (const Token& t : v) {
    switch (t.kind) {
      case TokenKind::kLiteral:
        out.append(v.Text(t));
        break;
      case TokenKind::kDigit:
        switch (t.role) {
          case DigitRole::kInteger:
            whole_placer.Place(t.index, t.ch);
            break;
          case DigitRole::kNumerator:
            if (blank_fraction)
              out += ' ';
            else
              numerator_placer.Place(t.index, t.ch == '#' && numerator == 0 ? '0' : t.ch);
            break;
          case DigitRole::kDenominator:
            // A blank fraction, and a "?" past the denominator's digits, show as spaces.
            if (!blank_fraction && t.index < denominator_length) {
              out += denominator_digits[t.index];
              if (t.index == denominator_count - 1)
                out.append(denominator_digits + t.index + 1, denominator_digits + denominator_length);
            } else if (blank_fraction || t.ch == '?') {
              out += ' ';
            }
            break;
          default:
            break;
        }
        break;
      case TokenKind::kFractionSlash:
        out += blank_fraction ? ' ' : '/';
        break;
      case TokenKind::kFixedDenominator:
        if (blank_fraction)
          out.append(static_cast<std::size_t>(denominator_length), ' ');
        else
          out.append(denominator_digits, static_cast<std::size_t>(denominator_length));
        break;
      default:
        break;
    }
  }
}

void RenderGeneralSection(const SectionView& v, double magnitude, const FormatLocale& locale, std::string& out) {
  for (const Token& t : v) {
    if (t.kind == TokenKind::kLiteral)
      out.append(v.Text(t));
    else if (t.kind == TokenKind::kGeneral)
      AppendGeneral(magnitude, locale.decimal_separator, out);
  }
}

// False when the value has no place in the calendar.
bool RenderDate(const SectionView& v, double value, const RenderContext& context, std::string& out) {
  const Section& s = v.section;
  // LibreOffice counts back from 30 Dec 1899 to 1 Jan 0001 (SerialToDate says where it ends).
  const double first = context.date_system == DateSystem::kLibreOffice ? -700000.0 : 0.0;
  if (!(value >= first) || value >= 2958466.0) return false;
  // Round to what is shown: fractions of a second when the code has them, seconds when
  // it shows a time, milliseconds for a date alone.
  const int places = s.subsecond_digits > 0 ? s.subsecond_digits : (s.has_time ? 0 : 3);
  const std::int64_t per_second = static_cast<std::int64_t>(kPow10[places]);
  const std::int64_t per_day = 86400 * per_second;
  const auto total = static_cast<std::int64_t>(std::floor(value * static_cast<double>(per_day) + 0.5));
  // Floor division: a negative value's time of day counts forward from its day's start.
  const std::int64_t serial = total >= 0 ? total / per_day : -((-total + per_day - 1) / per_day);
  const std::int64_t in_day = total - serial * per_day;
  const std::int64_t seconds_in_day = in_day / per_second;
  const std::int64_t subsecond = in_day % per_second;
  const std::int64_t total_seconds = total / per_second;
  CivilDate date;
  if (!SerialToDate(serial, context.date_system, date)) return false;
  const int hour = static_cast<int>(seconds_in_day / 3600);
  const int minute = static_cast<int>(seconds_in_day / 60 % 60);
  const int second = static_cast<int>(seconds_in_day % 60);
  LocaleDates::Era era;
  bool era_known = false;
  const auto japanese_era = [&]() -> const LocaleDates::Era& {
    if (!era_known && context.dates != nullptr) era_known = context.dates->JapaneseEra(date, era);
    return era;
  };
  const bool lo = context.libreoffice;
  // LibreOffice shows a style without a language in the user's language.
  const std::uint32_t lcid = lo && s.lcid == 0 ? context.user_lcid : s.lcid;
  // LibreOffice's name where its locale data differs from the names below.
  const auto lo_name = [&](NameForm form, int index, std::string_view fallback) {
    if (lo) {
      if (const auto n = LoName(lcid, form, index)) return *n;
    }
    return fallback;
  };
  int shown_hour = hour;
  if (s.hour12) {
    shown_hour = hour % 12;
    if (shown_hour == 0) shown_hour = 12;
  }
  for (const Token& t : v) {
    switch (t.kind) {
      case TokenKind::kLiteral:
        out.append(v.Text(t));
        break;
      case TokenKind::kDateSeparator:
        out += context.locale.date_separator;
        break;
      case TokenKind::kYear2:
        AppendTwo(date.year % 100, out);
        break;
      case TokenKind::kYear4:
        AppendUnsigned(static_cast<std::uint64_t>(date.year), 4, out);
        break;
      case TokenKind::kMonth:
        AppendUnsigned(static_cast<std::uint64_t>(date.month), 1, out);
        break;
      case TokenKind::kMonth2:
        AppendTwo(date.month, out);
        break;
      case TokenKind::kMonthAbbr:
        out.append(lo_name(NameForm::kMonthAbbreviations, date.month - 1, MonthAbbreviation(lcid, date.month)));
        break;
      case TokenKind::kMonthName:
        out.append(s.day_number ? lo_name(NameForm::kMonthsInDate, date.month - 1, MonthNameInDate(lcid, date.month))
                                : lo_name(NameForm::kMonths, date.month - 1, MonthName(lcid, date.month)));
        break;
      case TokenKind::kMonthLetter: {
        const std::string_view month = lo_name(NameForm::kMonths, date.month - 1, MonthName(lcid, date.month));
        out.append(month.substr(0, CharLength(month[0])));
        break;
      }
      case TokenKind::kDay:
        AppendUnsigned(static_cast<std::uint64_t>(date.day), 1, out);
        break;
      case TokenKind::kDay2:
        AppendTwo(date.day, out);
        break;
      case TokenKind::kDayAbbr:
        out.append(lo_name(NameForm::kDayAbbreviations, date.weekday, DayAbbreviation(lcid, date.weekday)));
        break;
      case TokenKind::kDayName:
        out.append(lo_name(NameForm::kDays, date.weekday, DayName(lcid, date.weekday)));
        break;
      case TokenKind::kHour:
        AppendUnsigned(static_cast<std::uint64_t>(shown_hour), 1, out);
        break;
      case TokenKind::kHour2:
        AppendTwo(shown_hour, out);
        break;
      case TokenKind::kMinute:
        AppendUnsigned(static_cast<std::uint64_t>(minute), 1, out);
        break;
      case TokenKind::kMinute2:
        AppendTwo(minute, out);
        break;
      case TokenKind::kSecond:
        AppendUnsigned(static_cast<std::uint64_t>(second), 1, out);
        break;
      case TokenKind::kSecond2:
        AppendTwo(second, out);
        break;
      case TokenKind::kElapsedHours:
        AppendUnsigned(static_cast<std::uint64_t>(total_seconds / 3600), t.index, out);
        break;
      case TokenKind::kElapsedMinutes:
        AppendUnsigned(static_cast<std::uint64_t>(total_seconds / 60), t.index, out);
        break;
      case TokenKind::kElapsedSeconds:
        AppendUnsigned(static_cast<std::uint64_t>(total_seconds), t.index, out);
        break;
      case TokenKind::kSubsecond: {
        out += context.locale.decimal_separator;
        // The code may show fewer digits than the rounding kept: cut, as they were rounded there.
        std::int64_t digits = subsecond;
        for (int i = t.index; i < places; ++i) digits /= 10;
        AppendUnsigned(static_cast<std::uint64_t>(digits), t.index, out);
        break;
      }
      case TokenKind::kEraLetter:
        out.append(japanese_era().letter);
        break;
      case TokenKind::kEraFirst: {
        const std::string& name = japanese_era().name;
        if (!name.empty()) out.append(name.substr(0, CharLength(name[0])));
        break;
      }
      case TokenKind::kEraName:
        out.append(japanese_era().name);
        break;
      case TokenKind::kEraYear:
        AppendUnsigned(static_cast<std::uint64_t>(japanese_era().year), 1, out);
        break;
      case TokenKind::kEraYear2:
        AppendUnsigned(static_cast<std::uint64_t>(japanese_era().year), 2, out);
        break;
      case TokenKind::kBuddhistYear2:
        AppendTwo((date.year + kBuddhistEraOffset) % 100, out);
        break;
      case TokenKind::kBuddhistYear4:
        AppendUnsigned(static_cast<std::uint64_t>(date.year) + kBuddhistEraOffset, 4, out);
        break;
      case TokenKind::kLongDate:
        if (context.dates != nullptr) context.dates->AppendLongDate(date, out);
        break;
      case TokenKind::kLongTime:
        if (context.dates != nullptr) context.dates->AppendLongTime(hour, minute, second, out);
        break;
      case TokenKind::kQuarter: {
        const LoLocale* words = FindLoLocale(lcid);
        if (words == nullptr) words = FindLoLocale(0);
        const auto quarter = static_cast<std::size_t>((date.month - 1) / 3);
        out.append(t.index == 1 ? words->quarter_abbreviations[quarter] : words->quarters[quarter]);
        break;
      }
      case TokenKind::kAmPm: {
        const std::string_view texts = v.Text(t);
        // LibreOffice shows its language's words for AM/PM ("nachm.", "午後").
        if (lo && t.length == 2) {
          if (const LoLocale* words = FindLoLocale(lcid)) {
            out.append(hour < 12 ? words->am : words->pm);
            break;
          }
        }
        const std::string_view both(texts.data(), static_cast<std::size_t>(t.length) * 2);
        out.append(hour < 12 ? both.substr(0, t.length) : both.substr(t.length, t.length));
        break;
      }
      default:
        break;
    }
  }
  return true;
}

using Op = Condition::Op;

bool IsZeroLimit(const Condition& c, Op a, Op b) { return c.limit == 0 && (c.op == a || c.op == b); }

// The section a number uses and whether it shows a minus sign; -1 when none applies.
int ChooseSection(const CompiledFormat& f, double value, bool& minus) {
  const int n = f.number_sections;
  const Section* s = f.sections;
  minus = false;
  if (n == 0) return -1;
  const bool conditions = s[0].condition.Present() || (n > 1 && s[1].condition.Present());
  if (!conditions) {
    if (value > 0 || n == 1 || (value == 0 && n == 2)) {
      minus = value < 0;
      return 0;
    }
    return value < 0 ? 1 : 2;
  }
  Condition first = s[0].condition;
  if (!first.Present()) first = {n >= 3 ? Op::kGreater : Op::kGreaterEqual, 0};
  if (first.Holds(value)) {
    // A first section for "[<0]" or "[<=0]" carries the sign itself.
    minus = value < 0 && !IsZeroLimit(first, Op::kLess, Op::kLessEqual);
    return 0;
  }
  if (n >= 2) {
    const Condition& second = s[1].condition;
    if (!second.Present() || second.Holds(value)) {
      const bool owns_sign = second.Present() ? IsZeroLimit(second, Op::kLess, Op::kLessEqual)
                                              : IsZeroLimit(first, Op::kGreater, Op::kGreaterEqual);
      minus = value < 0 && !owns_sign;
      return 1;
    }
  }
  if (n >= 3) {
    minus = value < 0;
    return 2;
  }
  return -1;
}

// The section and sign, by LibreOffice's rules when asked: it shows a minus sign only in the
// first section; a negative number sent to a later one by any condition shows none (its
// section writes its own "-" where it wants one).
int ChooseSection(const CompiledFormat& f, double value, bool& minus, bool libreoffice) {
  const int index = ChooseSection(f, value, minus);
  if (libreoffice && index > 0) minus = false;
  return index;
}

}  // namespace

void RenderNumber(const CompiledFormat& format, double value, const RenderContext& context, std::string& out) {
  if (!format.valid || !std::isfinite(value)) {
    AppendGeneral(value, context.locale.decimal_separator, out);
    return;
  }
  if (value == 0) value = 0;  // negative zero shows as zero
  bool minus = false;
  const int index = ChooseSection(format, value, minus, context.libreoffice);
  if (index < 0) {
    AppendGeneral(value, context.locale.decimal_separator, out);
    return;
  }
  const Section& section = format.sections[index];
  const SectionView view{format, section};
  const double magnitude = std::fabs(value);
  if (section.boolean) {
    // LibreOffice's BOOLEAN: any number but zero is true, a negative one too, without a sign.
    const LoLocale* words = FindLoLocale(section.lcid != 0 ? section.lcid : context.user_lcid);
    if (words == nullptr) words = FindLoLocale(0);
    for (const Token& t : view) {
      if (t.kind == TokenKind::kLiteral) out.append(view.Text(t));
      if (t.kind == TokenKind::kBoolean) out.append(value != 0 ? words->true_word : words->false_word);
    }
    return;
  }
  if (section.kind == SectionKind::kDate && context.date_system == DateSystem::kLibreOffice) {
    // LibreOffice: a negative duration ([h], [m], [s]) shows its minus sign; any other date
    // or time of a negative value is a day before 30 Dec 1899 and its time of day.
    bool elapsed = false;
    for (const Token& t : view) {
      elapsed = elapsed || t.kind == TokenKind::kElapsedHours || t.kind == TokenKind::kElapsedMinutes ||
                t.kind == TokenKind::kElapsedSeconds;
    }
    const std::size_t mark = out.size();
    if (minus && elapsed) out += '-';
    if (!RenderDate(view, elapsed || !minus ? magnitude : value, context, out)) {
      out.resize(mark);
      out.append(kNoDate);
    }
    return;
  }
  if (section.kind == SectionKind::kDate) {
    // Below zero the 1900 calendar has no day, not even for a duration; the 1904 system
    // shows the magnitude, after a minus sign unless a section of its own takes negatives.
    const std::size_t mark = out.size();
    if (minus && context.date_system == DateSystem::k1904) out += '-';
    if (value < 0 && context.date_system != DateSystem::k1904) {
      out.append(kNoDate);
    } else if (!RenderDate(view, magnitude, context, out)) {
      out.resize(mark);
      out.append(kNoDate);
    }
    return;
  }
  if (section.token_count == 0) return;
  if (minus) out += '-';
  switch (section.kind) {
    case SectionKind::kNumber:
      RenderFixed(view, magnitude, context, out);
      break;
    case SectionKind::kScientific:
      RenderScientific(view, magnitude, context, out);
      break;
    case SectionKind::kFraction:
      RenderFraction(view, magnitude, context.locale, out);
      break;
    case SectionKind::kGeneral:
      RenderGeneralSection(view, magnitude, context.locale, out);
      break;
    case SectionKind::kText:
    case SectionKind::kDate:
      if (minus) out.pop_back();
      AppendGeneral(value, context.locale.decimal_separator, out);
      break;
  }
}

void RenderString(const CompiledFormat& format, std::string_view text, std::string& out) {
  if (!format.valid || format.text_section < 0) {
    out.append(text);
    return;
  }
  const Section& section = format.sections[format.text_section];
  const SectionView view{format, section};
  // A hostile code could repeat '@' thousands of times over a long string; past a few
  // copies the text is not repeated, so the result stays near the size of code and text.
  constexpr int kMaxTextCopies = 8;
  int copies = 0;
  for (const Token& t : view) {
    if (t.kind == TokenKind::kText && copies++ < kMaxTextCopies)
      out.append(text);
    else if (t.kind == TokenKind::kLiteral)
      out.append(view.Text(t));
  }
}

}  // namespace cw::sheet::numfmt
