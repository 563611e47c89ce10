// Displayed text of a cell value under its number format: the renderer that decides what
// the exporter writes. Format codes are compiled once and cached per code.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "sheet/calendar.h"
#include "sheet/workbook.h"

namespace cw::sheet {

enum class DateOrder : std::uint8_t { kMonthDayYear, kDayMonthYear, kYearMonthDay };

// What the rendering takes from the regional settings.
struct FormatLocale {
  DateOrder date_order = DateOrder::kMonthDayYear;  // order of the short date (ids 14, 22)
  char date_separator = '/';
  char decimal_separator = '.';
  char thousands_separator = ',';
  // The currency of the built-in currency and accounting formats (ids 5-8, 37-44): its
  // symbol, whether it stands before the amount, whether a space parts them, and whether
  // a negative amount stands in parentheses rather than after a minus sign.
  std::string currency_symbol = "$";
  bool currency_first = true;
  bool currency_space = false;
  bool negative_in_parentheses = true;
  // The ICU locale whose long date and time [$-F800] and [$-F400] show ("en_US").
  std::string locale_id = "en_US";
};

// A number shown under General: plain notation with up to 15 significant digits for
// magnitudes in [1E-9, 1E+15), otherwise the short scientific form (1.23457E+17).
std::string FormatGeneral(double value);

// The format code of built-in format `id` as this locale shows it ("General" for ids
// without one).
std::string BuiltinFormatCode(std::uint32_t format_id, const FormatLocale& locale);

class NumberFormatter {
 public:
  explicit NumberFormatter(const FormatLocale& locale = {}, DateSystem date_system = DateSystem::k1900);
  ~NumberFormatter();
  NumberFormatter(NumberFormatter&&) noexcept;
  NumberFormatter& operator=(NumberFormatter&&) noexcept;

  // The text of `value` under format `format_id`, using `code` for custom ids (a non-empty
  // code wins over the built-in table, except for ids 14 and 22, which always show the
  // locale's short date). Never throws: a malformed code renders as General.
  std::string FormatNumber(double value, std::uint32_t format_id, std::string_view code);
  // FormatNumber's text appended to `out`.
  void AppendNumber(double value, std::uint32_t format_id, std::string_view code, std::string& out);
  // The text of a string cell under the format's text section (the string itself without one).
  std::string FormatString(std::string_view text, std::uint32_t format_id, std::string_view code);
  // FormatString's text appended to `out`.
  void AppendString(std::string_view text, std::uint32_t format_id, std::string_view code, std::string& out);
  // The calendar date `value` shows under the format, in this formatter's date system, when
  // the section the value takes shows a date (a date-time's time of day is dropped); nothing
  // for a format or section without a date part, a value past 31 Dec 9999 or negative in the
  // 1900 system (in the 1904 system a negative serial is its date before 1904),
  // and serials naming no real day ("1/0/1900", the 1900 system's "2/29/1900").
  std::optional<CivilDate> DateShown(double value, std::uint32_t format_id, std::string_view code);
  // Whether DateShown can give a date for any value under the format.
  bool ShowsDates(std::uint32_t format_id, std::string_view code);
  // From here on a code that names a locale ("[$-407]") shows numbers with that locale's
  // decimal and grouping separators, as LibreOffice shows its own formats; otherwise the
  // regional settings' separators serve every code, as in Excel.
  void UseCodeLocaleSeparators(bool use);
  // From here on codes are read and shown by LibreOffice's rules, as it shows an OpenDocument
  // spreadsheet: its dialect (BOOLEAN, quarters, "0.--"), its locale data (separators, Indian
  // grouping, the words of booleans, AM/PM and quarters, month and day names where they differ
  // from ICU's), the separators of the locale a code names, and in LibreOffice's date system
  // negative dates and durations. The .xlsx and .xls display never calls this.
  void UseLibreOfficeRules();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace cw::sheet
