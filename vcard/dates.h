// Birthday recognition under a locale: decides whether a cell's displayed text is a date
// and which, the way regional settings read dates. Numeric day, month and year come in the
// order of the locale's short date pattern (or the order a whole column of dates was found
// to be written in), falling back to another order only where that order gives no valid
// date; a date written with dots (07.03.1980) is day first in every locale; separators / - .
// and spaces; month names and abbreviations in
// English and in the locale's language; ISO yyyy-mm-dd; two-digit years 00-29 as 20xx and
// 30-99 as 19xx; an optional time part. Written by hand: ICU's parsers accept one pattern
// at a time, while a birthday column holds whatever form the sheet shows.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace cw::vcard {

// The order of day, month and year in a locale's short dates.
enum class DateOrder { kMonthDayYear, kDayMonthYear, kYearMonthDay };

struct Date {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  friend bool operator==(const Date&, const Date&) = default;
};

// A local date and time, as the record's REV line needs it.
struct LocalTime {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;   // 0..23
  int minute = 0;
  int second = 0;
  int utc_offset_minutes = 0;  // the local time minus UTC: 60 for Central European winter time
};

// How a text reads as a date: either in one way only (month names, the year first, dots), or
// as three numbers whose day/month order is open, with the date each order gives.
struct DateReadings {
  std::optional<Date> fixed;
  std::array<std::optional<Date>, 3> by_order;  // index: DateOrder
  // Three numbers that some order reads as a date.
  bool Numeric() const { return by_order[0] || by_order[1] || by_order[2]; }
};

class DateRecognizer {
 public:
  // Numbers read in `order` first; month and day names in English and in the language of
  // `names_locale`, as ICU names locales ("de_DE", "ja").
  DateRecognizer(DateOrder order, std::string_view names_locale);

  // The date `text` shows, or nothing when it is not a date.
  std::optional<Date> Recognize(std::string_view text) const { return Recognize(text, order_); }
  // The same with numbers read in `order` first, then in the locale's fallbacks.
  std::optional<Date> Recognize(std::string_view text, DateOrder order) const;
  // Every way `text` reads as a date.
  DateReadings Readings(std::string_view text) const;
  // The order numbers are read in first.
  DateOrder Order() const { return order_; }
  // The orders tried for numbers when `first` is the column's or the locale's, best first.
  static std::array<DateOrder, 3> OrdersFrom(DateOrder first);

 private:
  DateOrder order_;
  // Folded name or abbreviation -> 1..12; the locale's names also in its own capitals, since
  // "EKİM" (tr) and "ΜΑΡΤΙΟΥ" (el) fold to no name the default folding gives.
  std::unordered_map<std::string, int> months_;
  std::unordered_map<std::string, int> weekdays_;
  std::string locale_;  // ICU's name of the locale, for its capitals
};

}  // namespace cw::vcard
