// One vCard 2.1 record per block row: the 19 lines in their order, each with its condition
// and the statement number a failure while testing or composing it is reported under.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "mapping/field_kind.h"
#include "vcard/code_page.h"
#include "vcard/dates.h"

namespace cw::vcard {

// The 25 values of one row, one per field kind other than "Ignore"; all start empty.
class ContactFields {
 public:
  std::string& operator[](mapping::FieldKind kind) { return values_.at(Index(kind)); }
  const std::string& operator[](mapping::FieldKind kind) const { return values_.at(Index(kind)); }
  void Clear() {
    for (auto& v : values_) v.clear();
  }

 private:
  static std::size_t Index(mapping::FieldKind kind) { return static_cast<std::size_t>(kind) - 1; }
  std::array<std::string, mapping::kFieldKindCount - 1> values_;
};

// The value with every ";" and ":" replaced by a space; any length, nothing else changes.
std::string CleanVCardValue(std::string_view value);
// "HOME;VOICE", "WORK;VOICE", "CELL", "HOME;FAX", "WORK;FAX", "PAGER"; "" for other kinds.
std::string_view TelTypeName(mapping::FieldKind kind);
// 19800307 for 7 March 1980.
std::string FormatDateYMD(const Date& date);
// 210503 for 9:05:03 in the evening.
std::string FormatTimeHMS(const LocalTime& time);

// Runs the record's numbered tests and line compositions. The export runs them under its
// statement protocol, so that a failing one is reported under its number and the record
// goes on without that line.
class RecordSteps {
 public:
  virtual ~RecordSteps() = default;
  // A failing test counts as held.
  virtual bool Test(int statement, const std::function<bool()>& test) = 0;
  // True when the step ran through.
  virtual bool Step(int statement, const std::function<void()>& step) = 0;
};

// What a record takes besides the row's values.
struct RecordOptions {
  // The ANSI file's code page: a value with characters beyond ASCII is then written in it as
  // CHARSET=<its name>;ENCODING=QUOTED-PRINTABLE, so the record is ASCII. None for UTF-8.
  const CodePage* ansi_code_page = nullptr;
  // The date the Birthday cell holds, when it holds one (a number under a date format); the
  // Birthday text is recognised only without it.
  std::optional<Date> birthday_date;
};

// The record, "BEGIN:VCARD" through "END:VCARD", lines joined by CR LF, no CR LF after the
// last. With `steps`, each numbered test and line runs through it; without, a failure
// propagates.
std::string BuildVCardRecord(const ContactFields& fields, const LocalTime& build_time, const DateRecognizer& dates,
                             RecordSteps* steps = nullptr, const RecordOptions& options = {});

}  // namespace cw::vcard
