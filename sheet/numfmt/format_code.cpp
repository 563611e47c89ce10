#include "sheet/numfmt/format_code.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace cw::sheet::numfmt {
namespace {

// Longer codes are refused (they render as General), as the spreadsheet stores at most 255
// characters in a code; real ones are a few dozen.
constexpr std::size_t kMaxCodeCharacters = 255;
// Windows language ids of the calendars a code may switch to.
constexpr std::uint16_t kJapanese = 0x11;
constexpr std::uint16_t kThai = 0x1E;
// Excel shows at most 30 decimals; more placeholders than this are kept as literal zeros.
constexpr int kMaxDecimalDigits = 30;
// Variable denominators have at most this many digits.
constexpr int kMaxDenominatorDigits = 7;

enum class Raw : std::uint8_t {
  kLiteral,
  kDigit,
  kPoint,
  kComma,
  kPercent,
  kSlash,
  kExponent,
  kGeneral,
  kText,
  kDate,
  kElapsed,
  kAmPm,
  kBoolean,
};

struct RawToken {
  Raw kind = Raw::kLiteral;
  char ch = 0;       // placeholder, date letter (lower case), exponent letter
  int count = 0;     // run length of a date letter; 1 for "E+" (plus shown)
  std::string text;  // literal text; the source text of other tokens; AM/PM: "AMPM"
};

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view s, std::size_t at, std::string_view word) {
  if (s.size() - at < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (Lower(s[at + i]) != word[i]) return false;
  }
  return true;
}

// Bytes of the UTF-8 character starting at s[at], clipped to the string.
std::size_t CharLength(std::string_view s, std::size_t at) {
  const auto b = static_cast<unsigned char>(s[at]);
  std::size_t len = 1;
  if (b >= 0xF0)
    len = 4;
  else if (b >= 0xE0)
    len = 3;
  else if (b >= 0xC0)
    len = 2;
  return std::min(len, s.size() - at);
}

bool IsDateLetter(char c) {
  switch (Lower(c)) {
    case 'y':
    case 'm':
    case 'd':
    case 'h':
    case 's':
    case 'e':
      return true;
    default:
      return false;
  }
}

// Characters (not bytes) of a UTF-8 text.
std::size_t CountCharacters(std::string_view s) {
  return static_cast<std::size_t>(
      std::count_if(s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The system format a locale tag names: [$-F800] (or x-sysdate) the long date, [$-F400]
// (or x-systime) the long time; kLiteral for the others.
TokenKind SystemFormatOfTag(std::string_view tag) {
  if (tag == "x-sysdate") return TokenKind::kLongDate;
  if (tag == "x-systime") return TokenKind::kLongTime;
  std::uint32_t lcid = 0;
  const auto res = std::from_chars(tag.data(), tag.data() + tag.size(), lcid, 16);
  if (res.ec != std::errc() || res.ptr != tag.data() + tag.size()) return TokenKind::kLiteral;
  if ((lcid & 0xFFFF) == 0xF800) return TokenKind::kLongDate;
  if ((lcid & 0xFFFF) == 0xF400) return TokenKind::kLongTime;
  return TokenKind::kLiteral;
}

// The primary language of a locale tag: a Windows LCID in hex ("407", "F800") or a
// BCP 47 tag ("de-DE"). 0 when unknown.
std::uint16_t LanguageOfTag(std::string_view tag) {
  std::uint32_t lcid = 0;
  const auto res = std::from_chars(tag.data(), tag.data() + tag.size(), lcid, 16);
  if (res.ec == std::errc() && res.ptr == tag.data() + tag.size()) return static_cast<std::uint16_t>(lcid & 0x3FF);
  struct Bcp47 {
    std::string_view prefix;
    std::uint16_t language;
  };
  constexpr Bcp47 kTags[] = {{"de", 0x07}, {"en", 0x09}, {"es", 0x0A},      {"fr", 0x0C},
                             {"it", 0x10}, {"nl", 0x13}, {"ja", kJapanese}, {"th", kThai}};
  const std::string_view primary = tag.substr(0, tag.find('-'));
  for (const auto& t : kTags) {
    if (primary.size() == 2 && Lower(primary[0]) == t.prefix[0] && Lower(primary[1]) == t.prefix[1]) return t.language;
  }
  return 0;
}

// The locale id of a tag: its hex value without the calendar and number-system bits above
// 0xFFFF; the language alone for a BCP 47 tag; 0 for the system formats and unknown tags.
std::uint32_t LcidOfTag(std::string_view tag, std::uint16_t language) {
  std::uint32_t lcid = 0;
  const auto res = std::from_chars(tag.data(), tag.data() + tag.size(), lcid, 16);
  if (res.ec != std::errc() || res.ptr != tag.data() + tag.size()) return language;
  lcid &= 0xFFFF;
  return lcid == 0xF800 || lcid == 0xF400 ? 0 : lcid;
}

// Splits a code at the semicolons outside quotes, brackets and escapes. False when a
// quote or bracket is left open.
bool SplitSections(std::string_view code, std::vector<std::string_view>& sections) {
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < code.size()) {
    const char c = code[i];
    if (c == '"') {
      const std::size_t end = code.find('"', i + 1);
      if (end == std::string_view::npos) return false;
      i = end + 1;
    } else if (c == '[') {
      const std::size_t end = code.find(']', i + 1);
      if (end == std::string_view::npos) return false;
      i = end + 1;
    } else if (c == '\\' || c == '_' || c == '*') {
      i += 1 + (i + 1 < code.size() ? CharLength(code, i + 1) : 0);
    } else if (c == ';') {
      sections.push_back(code.substr(start, i - start));
      start = ++i;
    } else {
      ++i;
    }
  }
  sections.push_back(code.substr(start));
  return true;
}

struct SectionLexer {
  std::vector<RawToken>& out;
  Section& section;
  bool libreoffice = false;
  bool ok = true;
  bool digit_seen = false;

  void Literal(std::string_view text) {
    if (!out.empty() && out.back().kind == Raw::kLiteral) {
      out.back().text.append(text);
    } else {
      out.push_back({Raw::kLiteral, 0, 0, std::string(text)});
    }
  }
  void Push(Raw kind, char ch, int count, std::string_view source) {
    out.push_back({kind, ch, count, std::string(source)});
  }

  void Bracket(std::string_view b) {
    if (b.empty()) return;
    if (b[0] == '$') {
      // [$USD-409]: currency text, then the locale id in hex.
      const std::size_t dash = b.find('-', 1);
      Literal(b.substr(1, dash == std::string_view::npos ? std::string_view::npos : dash - 1));
      if (dash != std::string_view::npos) {
        const std::string_view tag = b.substr(dash + 1);
        section.language = LanguageOfTag(tag);
        section.lcid = LcidOfTag(tag, section.language);
        if (const TokenKind system = SystemFormatOfTag(tag); system != TokenKind::kLiteral) {
          section.system_format = system;
        }
      }
      return;
    }
    if (b[0] == '<' || b[0] == '>' || b[0] == '=') {
      using Op = Condition::Op;
      std::size_t n = 1;
      Op op = Op::kEqual;
      if (b[0] == '<') {
        op = Op::kLess;
        if (b.size() > 1 && b[1] == '=')
          op = Op::kLessEqual, n = 2;
        else if (b.size() > 1 && b[1] == '>')
          op = Op::kNotEqual, n = 2;
      } else if (b[0] == '>') {
        op = Op::kGreater;
        if (b.size() > 1 && b[1] == '=') op = Op::kGreaterEqual, n = 2;
      }
      std::string_view number = b.substr(n);
      while (!number.empty() && number.front() == ' ') number.remove_prefix(1);
      while (!number.empty() && number.back() == ' ') number.remove_suffix(1);
      if (!number.empty() && number.front() == '+') number.remove_prefix(1);
      double limit = 0;
      const auto res = std::from_chars(number.data(), number.data() + number.size(), limit);
      if (number.empty() || res.ec != std::errc() || res.ptr != number.data() + number.size() ||
          !std::isfinite(limit)) {
        ok = false;
        return;
      }
      section.condition = {op, limit};
      return;
    }
    const char first = Lower(b[0]);
    if (first == 'h' || first == 'm' || first == 's') {
      const bool same = std::all_of(b.begin(), b.end(), [&](char c) { return Lower(c) == first; });
      if (same) {
        Push(Raw::kElapsed, first, static_cast<int>(std::min<std::size_t>(b.size(), 16)), b);
        return;
      }
    }
    // Colours ([Red], [Color10]), [DBNum1], [NatNum1] and the like change no text.
  }

  void Lex(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && ok) {
      const char c = s[i];
      switch (c) {
        case '"': {
          const std::size_t end = s.find('"', i + 1);
          if (end == std::string_view::npos) {
            ok = false;
            return;
          }
          Literal(s.substr(i + 1, end - i - 1));
          i = end + 1;
          break;
        }
        case '\\':
        case '*': {
          // An escaped character shows as itself; a fill character shows once (the column
          // is taken to be just wide enough).
          if (i + 1 < s.size()) {
            const std::size_t len = CharLength(s, i + 1);
            Literal(s.substr(i + 1, len));
            i += 1 + len;
          } else {
            ++i;
          }
          break;
        }
        case '_': {
          // Room for the next character: one space.
          if (i + 1 < s.size()) {
            Literal(" ");
            i += 1 + CharLength(s, i + 1);
          } else {
            ++i;
          }
          break;
        }
        case '[': {
          const std::size_t end = s.find(']', i + 1);
          if (end == std::string_view::npos) {
            ok = false;
            return;
          }
          Bracket(s.substr(i + 1, end - i - 1));
          i = end + 1;
          break;
        }
        case '0':
        case '#':
        case '?':
          digit_seen = true;
          Push(Raw::kDigit, c, 1, s.substr(i, 1));
          ++i;
          break;
        case '.':
          Push(Raw::kPoint, c, 1, s.substr(i, 1));
          ++i;
          break;
        case ',':
          Push(Raw::kComma, c, 1, s.substr(i, 1));
          ++i;
          break;
        case '%':
          Push(Raw::kPercent, c, 1, s.substr(i, 1));
          ++i;
          break;
        case '/':
          Push(Raw::kSlash, c, 1, s.substr(i, 1));
          ++i;
          break;
        case '@':
          Push(Raw::kText, c, 1, s.substr(i, 1));
          ++i;
          break;
        default:
          LexWord(s, i);
          break;
      }
    }
  }

  // LibreOffice's own words: BOOLEAN, quarters, and dashes standing for decimals.
  bool LexLibreOfficeWord(std::string_view s, std::size_t& i) {
    const char lc = Lower(s[i]);
    if (lc == 'b' && StartsWithNoCase(s, i, "boolean")) {
      Push(Raw::kBoolean, 0, 0, s.substr(i, 7));
      i += 7;
      return true;
    }
    if (lc == 'q') {
      std::size_t j = i + 1;
      while (j < s.size() && Lower(s[j]) == 'q') ++j;
      Push(Raw::kDate, 'q', static_cast<int>(std::min<std::size_t>(j - i, 16)), s.substr(i, j - i));
      i = j;
      return true;
    }
    const bool after_point = !out.empty() && (out.back().kind == Raw::kPoint ||
                                              (out.back().kind == Raw::kDigit && section.decimal_replacement));
    if (s[i] == '-' && after_point) {
      section.decimal_replacement = true;
      Push(Raw::kDigit, '0', 1, s.substr(i, 1));
      ++i;
      return true;
    }
    return false;
  }

  void LexWord(std::string_view s, std::size_t& i) {
    if (libreoffice && LexLibreOfficeWord(s, i)) return;
    const char c = s[i];
    const char lc = Lower(c);
    // E+ and E- follow a digit placeholder; elsewhere ("e-m-d") e is the year.
    if (lc == 'e' && digit_seen && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-')) {
      Push(Raw::kExponent, c, s[i + 1] == '+' ? 1 : 0, s.substr(i, 2));
      i += 2;
      return;
    }
    if (lc == 'g' && StartsWithNoCase(s, i, "general")) {
      Push(Raw::kGeneral, 0, 0, s.substr(i, 7));
      i += 7;
      return;
    }
    if (lc == 'a' && StartsWithNoCase(s, i, "am/pm")) {
      std::string texts{s[i], s[i + 1], s[i + 3], s[i + 4]};
      out.push_back({Raw::kAmPm, 0, 2, texts});
      i += 5;
      return;
    }
    if (lc == 'a' && StartsWithNoCase(s, i, "a/p")) {
      std::string texts{s[i], s[i + 2]};
      out.push_back({Raw::kAmPm, 0, 1, texts});
      i += 3;
      return;
    }
    if (IsDateLetter(c)) {
      std::size_t j = i + 1;
      while (j < s.size() && Lower(s[j]) == lc) ++j;
      Push(Raw::kDate, lc, static_cast<int>(std::min<std::size_t>(j - i, 16)), s.substr(i, j - i));
      i = j;
      return;
    }
    if (lc == 'b' && i + 1 < s.size() && (s[i + 1] == '1' || s[i + 1] == '2')) {
      i += 2;  // Gregorian (B1) or Hijri (B2) calendar switch; dates stay Gregorian
      return;
    }
    if (lc == 'g' || (lc == 'b' && section.language == kThai)) {
      // Eras of the Japanese calendar, Buddhist years under a Thai locale; an era under
      // other locales shows nothing.
      std::size_t j = i + 1;
      while (j < s.size() && Lower(s[j]) == lc) ++j;
      if (lc == 'b' || section.language == kJapanese) {
        Push(Raw::kDate, lc, static_cast<int>(std::min<std::size_t>(j - i, 16)), s.substr(i, j - i));
      }
      i = j;
      return;
    }
    const std::size_t len = CharLength(s, i);
    Literal(s.substr(i, len));
    i += len;
  }
};

// Builds the final tokens of one section from its raw tokens.
class SectionBuilder {
 public:
  SectionBuilder(CompiledFormat& format, Section& section) : format_(format), section_(section) {}

  void Build(std::vector<RawToken>& raw) {
    section_.first_token = static_cast<std::uint32_t>(format_.tokens.size());
    if (section_.system_format != TokenKind::kLiteral) {
      // The locale's long date or long time, whatever the code writes after the tag.
      section_.kind = SectionKind::kDate;
      section_.has_date = section_.system_format == TokenKind::kLongDate;
      section_.has_time = !section_.has_date;
      Emit(section_.system_format);
      section_.token_count = 1;
      return;
    }
    const bool is_text = HasRaw(raw, Raw::kText);
    const bool is_date = !is_text && (HasRaw(raw, Raw::kDate) || HasRaw(raw, Raw::kElapsed) || HasRaw(raw, Raw::kAmPm));
    if (is_text) {
      section_.kind = SectionKind::kText;
      for (auto& t : raw) {
        if (t.kind == Raw::kText)
          Emit(TokenKind::kText);
        else
          AddLiteral(t.text);
      }
    } else if (HasRaw(raw, Raw::kBoolean)) {
      section_.kind = SectionKind::kGeneral;
      section_.boolean = true;
      for (auto& t : raw) {
        if (t.kind == Raw::kBoolean)
          Emit(TokenKind::kBoolean);
        else
          AddLiteral(t.text);
      }
    } else if (is_date) {
      BuildDate(raw);
    } else if (HasRaw(raw, Raw::kGeneral)) {
      section_.kind = SectionKind::kGeneral;
      for (auto& t : raw) {
        // Everything beside the word General is shown as written.
        if (t.kind == Raw::kGeneral)
          Emit(TokenKind::kGeneral);
        else
          AddLiteral(t.text);
      }
    } else {
      BuildNumber(raw);
    }
    section_.token_count = static_cast<std::uint32_t>(format_.tokens.size()) - section_.first_token;
  }

 private:
  static bool HasRaw(const std::vector<RawToken>& raw, Raw kind) {
    return std::any_of(raw.begin(), raw.end(), [&](const RawToken& t) { return t.kind == kind; });
  }

  Token& Emit(TokenKind kind) {
    format_.tokens.push_back(Token{});
    format_.tokens.back().kind = kind;
    return format_.tokens.back();
  }

  void AddLiteral(std::string_view text) {
    if (text.empty()) return;
    const bool merge = format_.tokens.size() > section_.first_token &&
                       format_.tokens.back().kind == TokenKind::kLiteral &&
                       format_.tokens.back().offset + format_.tokens.back().length == format_.text.size();
    if (merge) {
      format_.tokens.back().length += static_cast<std::uint32_t>(text.size());
    } else {
      Token& t = Emit(TokenKind::kLiteral);
      t.offset = static_cast<std::uint32_t>(format_.text.size());
      t.length = static_cast<std::uint32_t>(text.size());
    }
    format_.text.append(text);
  }

  // Dates: m is minutes right after an hour or right before seconds, else the month.
  void BuildDate(std::vector<RawToken>& raw) {
    section_.kind = SectionKind::kDate;
    for (const auto& t : raw) {
      if (t.kind == Raw::kAmPm) section_.hour12 = true;
    }
    const auto is_time_unit = [](const RawToken& t) {
      return t.kind == Raw::kDate || t.kind == Raw::kElapsed || t.kind == Raw::kAmPm;
    };
    for (std::size_t i = 0; i < raw.size(); ++i) {
      const RawToken& t = raw[i];
      switch (t.kind) {
        case Raw::kDate:
          EmitDate(raw, i, is_time_unit);
          break;
        case Raw::kElapsed: {
          Token& e = Emit(t.ch == 'h'   ? TokenKind::kElapsedHours
                          : t.ch == 'm' ? TokenKind::kElapsedMinutes
                                        : TokenKind::kElapsedSeconds);
          e.index = static_cast<std::uint16_t>(t.count);
          section_.has_time = true;
          break;
        }
        case Raw::kAmPm: {
          Token& a = Emit(TokenKind::kAmPm);
          const std::size_t half = t.text.size() / 2;
          a.offset = static_cast<std::uint32_t>(format_.text.size());
          a.length = static_cast<std::uint32_t>(half);
          format_.text.append(t.text);
          section_.has_time = true;
          break;
        }
        case Raw::kSlash:
          Emit(TokenKind::kDateSeparator);
          break;
        case Raw::kPoint: {
          // Fractions of a second: a point followed by zeros.
          std::size_t j = i + 1;
          while (j < raw.size() && raw[j].kind == Raw::kDigit && raw[j].ch == '0' && j - i <= 3) ++j;
          const int zeros = static_cast<int>(j - i - 1);
          if (zeros > 0) {
            Token& s = Emit(TokenKind::kSubsecond);
            s.index = static_cast<std::uint16_t>(zeros);
            section_.subsecond_digits = std::max(section_.subsecond_digits, zeros);
            section_.has_time = true;
            i = j - 1;
          } else {
            AddLiteral(t.text);
          }
          break;
        }
        default:
          AddLiteral(t.text);
          break;
      }
    }
  }

  template <typename Pred>
  void EmitDate(const std::vector<RawToken>& raw, std::size_t i, Pred is_time_unit) {
    const RawToken& t = raw[i];
    const int n = t.count;
    if (t.ch == 'y' || t.ch == 'e' || t.ch == 'd' || t.ch == 'g' || t.ch == 'b' || t.ch == 'q' ||
        (t.ch == 'm' && n > 2)) {
      section_.has_date = true;
    }
    switch (t.ch) {
      case 'y':
        Emit(n <= 2 ? TokenKind::kYear2 : TokenKind::kYear4);
        return;
      case 'e':
        if (section_.language == kJapanese)
          Emit(n == 1 ? TokenKind::kEraYear : TokenKind::kEraYear2);
        else
          Emit(TokenKind::kYear4);
        return;
      case 'g':
        Emit(n == 1 ? TokenKind::kEraLetter : n == 2 ? TokenKind::kEraFirst : TokenKind::kEraName);
        return;
      case 'b':
        Emit(n <= 2 ? TokenKind::kBuddhistYear2 : TokenKind::kBuddhistYear4);
        return;
      case 'q':
        Emit(TokenKind::kQuarter).index = static_cast<std::uint16_t>(n == 1 ? 1 : 2);
        return;
      case 'd':
        Emit(n == 1 ? TokenKind::kDay : n == 2 ? TokenKind::kDay2 : n == 3 ? TokenKind::kDayAbbr : TokenKind::kDayName);
        if (n <= 2) section_.day_number = true;
        return;
      case 'h':
        Emit(n == 1 ? TokenKind::kHour : TokenKind::kHour2);
        section_.has_time = true;
        return;
      case 's':
        Emit(n == 1 ? TokenKind::kSecond : TokenKind::kSecond2);
        section_.has_time = true;
        return;
      default:
        break;
    }
    // 'm'
    bool minutes = false;
    if (n <= 2) {
      for (std::size_t j = i; j-- > 0;) {
        if (!is_time_unit(raw[j])) continue;
        minutes = (raw[j].kind == Raw::kDate && raw[j].ch == 'h') || (raw[j].kind == Raw::kElapsed && raw[j].ch == 'h');
        break;
      }
      if (!minutes) {
        for (std::size_t j = i + 1; j < raw.size(); ++j) {
          if (!is_time_unit(raw[j])) continue;
          minutes =
              (raw[j].kind == Raw::kDate && raw[j].ch == 's') || (raw[j].kind == Raw::kElapsed && raw[j].ch == 's');
          break;
        }
      }
    }
    if (minutes) {
      Emit(n == 1 ? TokenKind::kMinute : TokenKind::kMinute2);
      section_.has_time = true;
      return;
    }
    section_.has_date = true;
    Emit(n == 1   ? TokenKind::kMonth
         : n == 2 ? TokenKind::kMonth2
         : n == 3 ? TokenKind::kMonthAbbr
         : n == 5 ? TokenKind::kMonthLetter
                  : TokenKind::kMonthName);
  }

  static std::size_t SkipSpaces(const std::vector<RawToken>& raw, std::size_t i, int step) {
    while (i < raw.size() && raw[i].kind == Raw::kLiteral && raw[i].text.find_first_not_of(' ') == std::string::npos) {
      i += static_cast<std::size_t>(step);
    }
    return i;
  }

  // The slash of a fraction: digit placeholders before it and a placeholder or a
  // written denominator after it (spaces allowed between).
  static std::size_t FindFractionSlash(const std::vector<RawToken>& raw) {
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (raw[i].kind != Raw::kSlash) continue;
      const std::size_t before = i == 0 ? raw.size() : SkipSpaces(raw, i - 1, -1);
      const std::size_t after = SkipSpaces(raw, i + 1, 1);
      const bool digit_before = before < raw.size() && raw[before].kind == Raw::kDigit;
      const bool digit_after =
          after < raw.size() &&
          (raw[after].kind == Raw::kDigit ||
           (raw[after].kind == Raw::kLiteral && raw[after].text[0] >= '1' && raw[after].text[0] <= '9'));
      if (digit_before && digit_after) return i;
      return raw.size();
    }
    return raw.size();
  }

  void BuildNumber(std::vector<RawToken>& raw) {
    const std::size_t slash = FindFractionSlash(raw);
    if (slash < raw.size()) {
      BuildFraction(raw, slash);
      return;
    }
    std::size_t exponent = raw.size();
    bool digit_seen = false;
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (raw[i].kind == Raw::kDigit) digit_seen = true;
      if (raw[i].kind == Raw::kExponent && digit_seen) {
        exponent = i;
        break;
      }
    }
    section_.kind = exponent < raw.size() ? SectionKind::kScientific : SectionKind::kNumber;

    // Roles of the placeholders: integer until the first point, then decimals, and
    // after the exponent letter the exponent's digits.
    std::vector<DigitRole> roles(raw.size(), DigitRole::kInteger);
    bool after_point = false;
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (i > exponent) {
        roles[i] = DigitRole::kExponent;
        continue;
      }
      if (raw[i].kind == Raw::kPoint && !after_point && i < exponent) {
        after_point = true;
        continue;
      }
      roles[i] = after_point ? DigitRole::kDecimal : DigitRole::kInteger;
    }

    // Commas: between integer placeholders they group thousands; right after a
    // placeholder and before no further one they divide by 1000; elsewhere they are text.
    std::vector<bool> drop(raw.size(), false);
    for (std::size_t i = 0; i < raw.size();) {
      if (raw[i].kind != Raw::kComma) {
        ++i;
        continue;
      }
      std::size_t next = i + 1;  // a run of commas is judged as one
      while (next < raw.size() && raw[next].kind == Raw::kComma) ++next;
      const bool after_digit = i > 0 && raw[i - 1].kind == Raw::kDigit && roles[i - 1] != DigitRole::kExponent;
      const bool before_digit = next < raw.size() && raw[next].kind == Raw::kDigit;
      for (std::size_t k = i; k < next; ++k) {
        if (after_digit && before_digit && roles[next] == DigitRole::kInteger && roles[i - 1] == DigitRole::kInteger) {
          section_.grouping = true;
          drop[k] = true;
        } else if (after_digit && !before_digit) {
          section_.decimal_shift = std::max(section_.decimal_shift - 3, -400);
          drop[k] = true;
        } else if (after_digit && before_digit) {
          drop[k] = true;  // a comma among the decimals shows nothing
        }
      }
      i = next;
    }

    // Integer placeholder positions from the right.
    int integer_count = 0;
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (raw[i].kind == Raw::kDigit && roles[i] == DigitRole::kInteger) ++integer_count;
    }
    section_.integer_digits = integer_count;
    int integer_seen = 0;
    int decimal_seen = 0;
    bool exponent_emitted = false;
    bool point_emitted = false;
    for (std::size_t i = 0; i < raw.size(); ++i) {
      const RawToken& t = raw[i];
      if (drop[i]) continue;
      switch (t.kind) {
        case Raw::kDigit:
          if (roles[i] == DigitRole::kInteger) {
            Token& d = Emit(TokenKind::kDigit);
            d.ch = t.ch;
            d.role = DigitRole::kInteger;
            d.index = static_cast<std::uint16_t>(std::min(integer_count - 1 - integer_seen, 0xFFFF));
            ++integer_seen;
          } else if (roles[i] == DigitRole::kDecimal) {
            if (decimal_seen >= kMaxDecimalDigits) {
              AddLiteral(t.ch == '0' ? "0" : "");
              break;
            }
            Token& d = Emit(TokenKind::kDigit);
            d.ch = t.ch;
            d.role = DigitRole::kDecimal;
            d.index = static_cast<std::uint16_t>(decimal_seen++);
          } else {
            ++section_.exponent_digits;
          }
          break;
        case Raw::kPoint:
          if (!point_emitted && roles[i] == DigitRole::kInteger && i < exponent) {
            Emit(TokenKind::kDecimalPoint);
            point_emitted = true;
            section_.has_decimal_point = true;
          } else {
            AddLiteral(t.text);
          }
          break;
        case Raw::kPercent:
          section_.decimal_shift = std::min(section_.decimal_shift + 2, 400);
          AddLiteral(t.text);
          break;
        case Raw::kExponent:
          if (i == exponent && !exponent_emitted) {
            Token& e = Emit(TokenKind::kExponent);
            e.ch = t.ch;
            e.index = static_cast<std::uint16_t>(t.count);
            exponent_emitted = true;
          } else {
            AddLiteral(t.text);
          }
          break;
        default:
          AddLiteral(t.text);
          break;
      }
    }
    section_.decimal_digits = decimal_seen;
    // With several integer placeholders the exponent is a multiple of their count
    // ("##0.0E+0" is engineering notation, "00.00E+00" shows 12345 as 01.23E+04).
    section_.engineering = integer_count > 1;
    section_.decimal_shift = std::clamp(section_.decimal_shift, -400, 400);
  }

  void BuildFraction(std::vector<RawToken>& raw, std::size_t slash) {
    section_.kind = SectionKind::kFraction;
    // The numerator: the run of placeholders just before the slash.
    std::size_t num_end = SkipSpaces(raw, slash - 1, -1);  // last numerator placeholder
    std::size_t num_begin = num_end;
    while (num_begin > 0 && raw[num_begin - 1].kind == Raw::kDigit) --num_begin;
    // The denominator: placeholders, or digits written in the code.
    std::size_t den_begin = SkipSpaces(raw, slash + 1, 1);
    std::size_t den_end = den_begin;
    std::uint64_t fixed = 0;
    if (raw[den_begin].kind == Raw::kLiteral) {
      // The lexer gathers "16" into one literal; the digits may go on with '0' placeholders.
      const std::string& text = raw[den_begin].text;
      std::size_t k = 0;
      while (k < text.size() && text[k] >= '0' && text[k] <= '9' && fixed < 100000000)
        fixed = fixed * 10 + (text[k++] - '0');
      if (k < text.size()) {
        raw[den_begin].text.erase(0, k);  // the rest is text after the denominator
      } else {
        den_end = den_begin + 1;
        while (den_end < raw.size() && raw[den_end].kind == Raw::kDigit && raw[den_end].ch == '0' &&
               fixed < 100000000) {
          fixed *= 10;
          ++den_end;
        }
      }
      section_.fixed_denominator = static_cast<std::uint32_t>(std::max<std::uint64_t>(fixed, 1));
    } else {
      while (den_end < raw.size() && raw[den_end].kind == Raw::kDigit) ++den_end;
    }
    int integer_count = 0;
    for (std::size_t i = 0; i < num_begin; ++i) {
      if (raw[i].kind == Raw::kDigit) ++integer_count;
    }
    section_.mixed_fraction = integer_count > 0;
    section_.integer_digits = integer_count;
    section_.numerator_digits = static_cast<int>(num_end + 1 - num_begin);
    int integer_seen = 0;
    int numerator_seen = 0;
    int denominator_seen = 0;
    bool fixed_emitted = false;
    for (std::size_t i = 0; i < raw.size(); ++i) {
      const RawToken& t = raw[i];
      if (i >= num_begin && i <= num_end) {
        Token& d = Emit(TokenKind::kDigit);
        d.ch = t.ch;
        d.role = DigitRole::kNumerator;
        d.index = static_cast<std::uint16_t>(std::min(section_.numerator_digits - 1 - numerator_seen++, 0xFFFF));
        continue;
      }
      if (i == slash) {
        Emit(TokenKind::kFractionSlash);
        continue;
      }
      if (section_.fixed_denominator != 0 && i >= den_begin &&
          (i < den_end || (i == den_begin && den_end == den_begin))) {
        if (!fixed_emitted) {
          Token& d = Emit(TokenKind::kFixedDenominator);
          d.value = section_.fixed_denominator;
          fixed_emitted = true;
          if (den_end == den_begin) AddLiteral(t.text);  // text written right after the digits
        }
        continue;
      }
      if (section_.fixed_denominator == 0 && i >= den_begin && i < den_end) {
        Token& d = Emit(TokenKind::kDigit);
        d.ch = t.ch;
        d.role = DigitRole::kDenominator;
        d.index = static_cast<std::uint16_t>(std::min(denominator_seen++, 0xFFFF));
        continue;
      }
      if (t.kind == Raw::kDigit && i < num_begin) {
        Token& d = Emit(TokenKind::kDigit);
        d.ch = t.ch;
        d.role = DigitRole::kInteger;
        d.index = static_cast<std::uint16_t>(std::min(integer_count - 1 - integer_seen++, 0xFFFF));
        continue;
      }
      if (t.kind == Raw::kPercent) section_.decimal_shift += 2;
      if (t.kind == Raw::kComma && i < num_begin) continue;  // grouping in the whole part is not shown
      AddLiteral(t.text);
    }
    section_.denominator_digits =
        section_.fixed_denominator != 0 ? 0 : std::min(denominator_seen, kMaxDenominatorDigits);
    if (section_.fixed_denominator == 0 && denominator_seen == 0) section_.denominator_digits = 1;
    section_.decimal_shift = std::clamp(section_.decimal_shift, -400, 400);
  }

  CompiledFormat& format_;
  Section& section_;
};

}  // namespace

bool Condition::Holds(double value) const {
  switch (op) {
    case Op::kNone:
      return true;
    case Op::kLess:
      return value < limit;
    case Op::kLessEqual:
      return value <= limit;
    case Op::kGreater:
      return value > limit;
    case Op::kGreaterEqual:
      return value >= limit;
    case Op::kEqual:
      return value == limit;
    case Op::kNotEqual:
      return value != limit;
  }
  return false;
}

CompiledFormat CompileFormat(std::string_view code, Dialect dialect) {
  CompiledFormat format;
  if (code.size() > 4 * kMaxCodeCharacters || CountCharacters(code) > kMaxCodeCharacters) return format;
  std::vector<std::string_view> parts;
  if (!SplitSections(code, parts) || parts.size() > 4) return format;
  format.section_count = static_cast<int>(parts.size());
  std::vector<RawToken> raw;
  for (std::size_t s = 0; s < parts.size(); ++s) {
    raw.clear();
    Section& section = format.sections[s];
    SectionLexer lexer{raw, section, dialect == Dialect::kLibreOffice};
    lexer.Lex(parts[s]);
    if (!lexer.ok) return CompiledFormat{};
    SectionBuilder(format, section).Build(raw);
  }
  // A fourth section, or a last section holding '@', is for strings.
  const int last = format.section_count - 1;
  if (format.section_count == 4 || format.sections[last].kind == SectionKind::kText) {
    format.text_section = last;
    format.number_sections = last;
  } else {
    format.number_sections = format.section_count;
  }
  for (int s = 0; s < format.section_count && format.lcid == 0; ++s) format.lcid = format.sections[s].lcid;
  format.valid = true;
  return format;
}

}  // namespace cw::sheet::numfmt
