// What LibreOffice's own locale data says where an OpenDocument spreadsheet is shown by
// LibreOffice's rules: separators and grouping of numbers, the words of booleans, AM/PM and
// quarters, and the month and day names where LibreOffice's data differs from ICU's (German
// "Mär" where ICU says "Mrz", Russian "Март" where ICU says "март"). The .xlsx and .xls display
// never asks these tables.
//
// Written by hand: LibreOffice's locale data ships compiled into its own libraries only; the
// rows were read from LibreOffice 7.4 through its UNO services by
// tests/fixtures/ods/dump_lo_locale_data.py, and make_lo_fixtures.py there records what
// LibreOffice shows with them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace cw::sheet::numfmt {

struct LoLocale {
  std::string_view tag;  // "de-CH"
  std::string_view decimal;
  std::string_view grouping;
  bool indian = false;  // groups of two above the first three digits: 12,34,567
  std::string_view true_word, false_word;
  std::string_view am, pm;
  std::array<std::string_view, 4> quarter_abbreviations;  // "Q1"
  std::array<std::string_view, 4> quarters;               // "1st quarter"
  // The language's own short and long date, in the renderer's code: what a date style marked
  // number:format-source="language" shows, whatever elements it writes. Empty: its elements.
  std::string_view short_date;
  std::string_view long_date;
};

// LibreOffice's data for a Windows locale id: the row of its language and country, else the
// first row of its language; nothing for a language the table does not hold.
const LoLocale* FindLoLocale(std::uint32_t lcid);

enum class NameForm : std::uint8_t { kMonths, kMonthsInDate, kMonthAbbreviations, kDays, kDayAbbreviations };

// LibreOffice's name (month 1..12 or weekday 0..6 from Sunday) where it differs from the
// names the renderer takes from Windows and ICU; nothing where they agree.
std::optional<std::string_view> LoName(std::uint32_t lcid, NameForm form, int index);

}  // namespace cw::sheet::numfmt
