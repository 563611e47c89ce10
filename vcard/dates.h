// Birthday recognition under a locale: decides whether a cell's displayed text is a date
// and which, the way regional settings read dates. Numeric day, month and year come in the
// order of the locale's short date pattern, falling back to another order only where that
// order gives no valid date; separators / - . and spaces; month names and abbreviations in
// English and in the locale's language; ISO yyyy-mm-dd; two-digit years 00-29 as 20xx and
// 30-99 as 19xx; an optional time part. Written by hand: ICU's parsers accept one pattern
// at a time, while a birthday column holds whatever form the sheet shows.
#pragma once

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

class DateRecognizer {
 public:
  // Numbers read in `order` first; month and day names in English and in the language of
  // `names_locale`, as ICU names locales ("de_DE", "ja").
  DateRecognizer(DateOrder order, std::string_view names_locale);

  // The date `text` shows, or nothing when it is not a date.
  std::optional<Date> Recognize(std::string_view text) const;

 private:
  DateOrder order_;
  // Folded name or abbreviation -> 1..12; the locale's names also in its own capitals, since
  // "EKİM" (tr) and "ΜΑΡΤΙΟΥ" (el) fold to no name the default folding gives.
  std::unordered_map<std::string, int> months_;
  std::unordered_map<std::string, int> weekdays_;
  std::string locale_;  // ICU's name of the locale, for its capitals
};

}  // namespace cw::vcard
