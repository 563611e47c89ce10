#include "vcard/dates.h"

#include <unicode/datefmt.h>
#include <unicode/dtfmtsym.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

namespace cw::vcard {
namespace {

bool IsValidDate(int year, int month, int day) {
  if (month < 1 || month > 12 || day < 1) return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

std::string Fold(const icu::UnicodeString& text) {
  icu::UnicodeString folded(text);
  folded.foldCase();
  std::string out;
  folded.toUTF8String(out);
  while (!out.empty() && out.back() == '.') out.pop_back();
  return out;
}

std::string FoldUtf8(std::string_view text) {
  return Fold(icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size()))));
}

// `text` in the capitals of `locale`: Turkish keeps the dot of İ, Greek drops its accents.
std::string Capitals(icu::UnicodeString text, const icu::Locale& locale) {
  text.toUpper(locale);
  std::string out;
  text.toUTF8String(out);
  while (!out.empty() && out.back() == '.') out.pop_back();
  return out;
}

void AddNames(std::unordered_map<std::string, int>& map, const icu::UnicodeString* names, int32_t count, int first,
              const icu::Locale& locale) {
  for (int32_t i = 0; i < count; ++i) {
    if (names[i].isEmpty()) continue;
    map.emplace(Fold(names[i]), first + i);
    map.emplace(Capitals(names[i], locale), first + i);
  }
}

// The entry of `map` for a word, folded or else in the locale's capitals.
const int* FindName(const std::unordered_map<std::string, int>& map, const std::string& folded, std::string_view word,
                    const std::string& locale) {
  if (const auto it = map.find(folded); it != map.end()) return &it->second;
  const icu::UnicodeString text =
      icu::UnicodeString::fromUTF8(icu::StringPiece(word.data(), static_cast<int32_t>(word.size())));
  if (const auto it = map.find(Capitals(text, icu::Locale(locale.c_str()))); it != map.end()) return &it->second;
  return nullptr;
}

constexpr std::array<std::string_view, 12> kEnglishMonths = {"january",   "february", "march",    "april",
                                                             "may",       "june",     "july",     "august",
                                                             "september", "october",  "november", "december"};
constexpr std::array<std::string_view, 7> kEnglishWeekdays = {"sunday",   "monday", "tuesday", "wednesday",
                                                              "thursday", "friday", "saturday"};

// Small words that long date forms put between the parts: "7 de marzo de 1980", "7 марта 1980 г.".
constexpr std::array<std::string_view, 6> kFillerWords = {"de", "del", "of", "г", "года", "the"};

// Separators of the parts of a date, in UTF-8. The CJK year/month/day signs end a number.
constexpr std::array<std::string_view, 12> kSeparators = {"/",  "-",  ".",  ",",  " ",  "\t",
                                                          "年", "月", "日", "년", "월", "일"};

std::vector<std::string_view> Tokenize(std::string_view text) {
  std::vector<std::string_view> tokens;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t sep_len = 0;
    for (std::string_view sep : kSeparators) {
      if (text.substr(i, sep.size()) == sep) {
        sep_len = sep.size();
        break;
      }
    }
    if (sep_len == 0) {
      ++i;
      continue;
    }
    if (i > start) tokens.push_back(text.substr(start, i - start));
    i += sep_len;
    start = i;
  }
  if (i > start) tokens.push_back(text.substr(start, i - start));
  return tokens;
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// A time of day: h:mm, h:mm:ss, h:mm:ss.fff (the AM/PM marker is a token of its own).
bool IsTime(std::string_view s) {
  int parts = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= s.size(); ++i) {
    if (i == s.size() || s[i] == ':') {
      std::string_view part = s.substr(start, i - start);
      if (parts == 2) part = part.substr(0, part.find('.'));
      if (part.empty() || part.size() > 2 || !AllDigits(part)) return false;
      const int value = std::stoi(std::string(part));
      if ((parts == 0 && value > 23) || (parts > 0 && value > 59)) return false;
      ++parts;
      start = i + 1;
    }
  }
  return parts >= 2 && parts <= 3;
}

struct Number {
  int value;
  std::size_t digits;  // as written, leading zeros included
};

// Two-digit years 00-29 are 20xx and 30-99 19xx; a three-digit year is no year.
int ExpandYear(const Number& n) {
  if (n.digits <= 2) return n.value < 30 ? 2000 + n.value : 1900 + n.value;
  return n.digits == 4 ? n.value : -1;
}

// Numbers written with dots between them ("07.03.1980", "7. 3. 1980") before any time part.
bool WrittenWithDots(std::string_view text) {
  const std::string_view date = text.substr(0, text.find(':'));
  for (std::size_t i = 1; i + 1 < date.size(); ++i) {
    if (date[i] == '.' && date[i - 1] >= '0' && date[i - 1] <= '9') return true;
  }
  return false;
}

}  // namespace

DateRecognizer::DateRecognizer(DateOrder order, std::string_view names_locale) : order_(order) {
  const icu::Locale locale(std::string(names_locale).c_str());
  locale_ = locale.getName();
  UErrorCode status = U_ZERO_ERROR;
  for (std::size_t i = 0; i < kEnglishMonths.size(); ++i) {
    const int month = static_cast<int>(i) + 1;
    months_.emplace(std::string(kEnglishMonths[i]), month);
    months_.emplace(std::string(kEnglishMonths[i].substr(0, 3)), month);
  }
  months_.emplace("sept", 9);
  for (std::size_t i = 0; i < kEnglishWeekdays.size(); ++i) {
    weekdays_.emplace(std::string(kEnglishWeekdays[i]), static_cast<int>(i));
    weekdays_.emplace(std::string(kEnglishWeekdays[i].substr(0, 3)), static_cast<int>(i));
  }
  icu::DateFormatSymbols symbols(locale, status);
  if (U_SUCCESS(status)) {
    for (auto context : {icu::DateFormatSymbols::FORMAT, icu::DateFormatSymbols::STANDALONE}) {
      for (auto width : {icu::DateFormatSymbols::WIDE, icu::DateFormatSymbols::ABBREVIATED}) {
        int32_t count = 0;
        const icu::UnicodeString* months = symbols.getMonths(count, context, width);
        AddNames(months_, months, std::min<int32_t>(count, 12), 1, locale);
        const icu::UnicodeString* days = symbols.getWeekdays(count, context, width);
        AddNames(weekdays_, days, count, 0, locale);
      }
    }
  }
}

std::array<DateOrder, 3> DateRecognizer::OrdersFrom(DateOrder first) {
  // Year first is tried only where it is the locale's order.
  if (first == DateOrder::kDayMonthYear) return {first, DateOrder::kMonthDayYear, DateOrder::kMonthDayYear};
  return {first, DateOrder::kMonthDayYear, DateOrder::kDayMonthYear};
}

DateReadings DateRecognizer::Readings(std::string_view text) const {
  DateReadings readings;
  const std::vector<std::string_view> tokens = Tokenize(text);
  std::vector<Number> numbers;
  std::optional<int> month_name;
  bool saw_time = false;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const std::string_view token = tokens[i];
    if (AllDigits(token)) {
      if (saw_time || token.size() > 4 || numbers.size() >= 3) return readings;
      numbers.push_back({std::stoi(std::string(token)), token.size()});
      continue;
    }
    if (token.find(':') != std::string_view::npos) {
      if (saw_time || !IsTime(token)) return readings;
      saw_time = true;
      continue;
    }
    const std::string folded = FoldUtf8(token);
    if (saw_time && (folded == "am" || folded == "pm" || folded == "a" || folded == "p")) continue;
    if (saw_time) return readings;
    if (const int* month = FindName(months_, folded, token, locale_); month && !month_name) {
      month_name = *month;
      continue;
    }
    if (FindName(weekdays_, folded, token, locale_) && numbers.empty() && !month_name) continue;
    bool filler = false;
    for (std::string_view word : kFillerWords) filler = filler || folded == word;
    if (filler && (!numbers.empty() || month_name)) continue;
    return readings;
  }

  const auto year_of = ExpandYear;
  const auto make = [](int year, int month, int day) -> std::optional<Date> {
    if (year < 0 || !IsValidDate(year, month, day)) return std::nullopt;
    return Date{year, month, day};
  };

  if (month_name) {
    if (numbers.size() != 2) return readings;
    // "7-Mar-80", "7 mars 1980", "March 7, 1980", "1980 March 7": the year is the number with
    // four digits, else the one after the day.
    const Number& a = numbers[0];
    const Number& b = numbers[1];
    if (a.digits == 4 && b.digits <= 2) {
      readings.fixed = make(year_of(a), *month_name, b.value);
    } else if (a.digits <= 2 && (b.digits == 4 || b.digits <= 2)) {
      readings.fixed = make(year_of(b), *month_name, a.value);
    }
    return readings;
  }

  if (numbers.size() != 3) return readings;
  const Number& a = numbers[0];
  const Number& b = numbers[1];
  const Number& c = numbers[2];
  if (a.digits == 4) {  // ISO and other year-first forms
    readings.fixed = make(year_of(a), b.value, c.value);
    return readings;
  }
  if (a.digits == 3 || b.digits > 2 || (c.digits != 4 && c.digits > 2)) return readings;
  if (WrittenWithDots(text)) {
    // Dots are the day-first convention (German, Russian, ...) wherever the file comes from.
    readings.fixed = make(year_of(c), b.value, a.value);
    return readings;
  }
  auto& by = readings.by_order;
  by[static_cast<std::size_t>(DateOrder::kMonthDayYear)] = make(year_of(c), a.value, b.value);
  by[static_cast<std::size_t>(DateOrder::kDayMonthYear)] = make(year_of(c), b.value, a.value);
  // A four-digit last number is a year, not a day.
  if (c.digits <= 2) by[static_cast<std::size_t>(DateOrder::kYearMonthDay)] = make(year_of(a), b.value, c.value);
  return readings;
}

std::optional<Date> DateRecognizer::Recognize(std::string_view text, DateOrder order) const {
  const DateReadings readings = Readings(text);
  if (readings.fixed) return readings.fixed;
  for (const DateOrder o : OrdersFrom(order)) {
    if (const auto& date = readings.by_order[static_cast<std::size_t>(o)]) return date;
  }
  return std::nullopt;
}

}  // namespace cw::vcard
