// What a column means beyond one cell: the meanings the export run decides for a whole column
// of the block, or for columns taken together, before the row's values go into ContactFields.
//
// - A Birthday or Anniversary column of text dates is read in one day/month order: the one
//   order that reads every date of the column written as numbers; only when both do is it the
//   locale's order. A cell that no reading makes a date, and a cell that fits only the other
//   order, are told by row.
// - Thunderbird's "Birth Year", "Birth Month" and "Birth Day of Month" columns make one
//   birthday together.
// - Google's CSV joins several values of one field in one cell with " ::: "; each is a value
//   of its own where the version writes several.
// - A "... Label" column (Google's "Phone 1 - Label") gives, row by row, the type of the values
//   in the columns after it: "Mobile" makes the phone beside it a cellular number.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mapping/field_kind.h"
#include "run/spreadsheet.h"
#include "vcard/dates.h"

namespace cw::run {

// Lines to tell the user at the end of the run, each "row N: why", in row order.
class RowNotes {
 public:
  void Add(std::size_t row, std::string why);
  bool Empty() const { return count_ == 0; }
  // The notes as the final message shows them after its first sentence: at most kShown
  // lines, then how many more there are; "" without notes.
  std::string Text() const;

  static constexpr std::size_t kShown = 20;

 private:
  std::vector<std::string> shown_;
  std::size_t count_ = 0;
};

// The day/month order of one column of dates, learned from its cells.
class DateColumn {
 public:
  // `what` names the column's value in notes: "birthday", "anniversary".
  DateColumn(const vcard::DateRecognizer& dates, std::string_view what) : dates_(&dates), what_(what) {}

  // Learns from one cell's text (a cell that holds a date value is not seen).
  void See(std::string_view text);
  // After every cell was seen: the order the column's numeric dates are read in.
  void Decide();
  bool Decided() const { return order_.has_value(); }

  // The date a text cell of row `row` (from 1) gives, read in the column's order (the
  // locale's, before Decide), with a note when the row loses its date or the cell does not
  // fit the column's order.
  std::optional<vcard::Date> Read(std::string_view text, std::size_t row, RowNotes& notes) const;

 private:
  const vcard::DateRecognizer* dates_;
  std::string_view what_;
  std::array<std::size_t, 3> reads_{};  // numeric cells each DateOrder reads
  std::size_t numeric_ = 0;             // cells of three numbers that some order reads
  std::optional<vcard::DateOrder> order_;
  bool contradicted_ = false;  // no order reads every numeric cell
};

// The date as 1980-03-07.
std::string IsoDate(const vcard::Date& date);

// A birthday given as year, month and day of month in columns of their own (Thunderbird):
// the date, or nothing with a note when the three do not make one. All three empty: nothing,
// and no note.
std::optional<vcard::Date> BirthdayFromParts(const vcard::DateRecognizer& dates, std::string_view year,
                                             std::string_view month, std::string_view day, std::size_t row,
                                             RowNotes& notes);

// Google's separator of several values in one cell.
inline constexpr std::string_view kValueSeparator = " ::: ";

// Calls `each` with each value of a cell that joins several with " ::: ", in order (the cell
// itself when it joins none); empty values are left out.
template <typename Each>
void ForEachJoinedValue(std::string_view cell, Each&& each) {
  for (;;) {
    const std::size_t at = cell.find(kValueSeparator);
    const std::string_view one = cell.substr(0, at);
    if (!one.empty()) each(one);
    if (at == std::string_view::npos) return;
    cell.remove_prefix(at + kValueSeparator.size());
  }
}

struct LabelMeaning {
  // The kind the label gives a value of its family (for an address, kHomeAddress or
  // kWorkAddress); nothing for a label it does not know: the value keeps its column's kind.
  std::optional<mapping::FieldKind> kind;
  bool preferred = false;  // the label began with "* "
};
// What a label cell says: "Mobile", "* Work", "Home Fax", ...; compared without case.
LabelMeaning ReadLabel(mapping::LabelFamily family, std::string_view label);
// Reads the block's columns at list lines `lines` (from 1) from its first row to its last and
// shows each text cell to the DateColumn beside its line, then decides them all. `range` is
// the block when it is read cell by cell; else the block is opened afresh through `engine`
// and streamed (the run's own stream is busy with its rows). False when the block could not
// be read to its end: the columns are then read in the locale's order.
bool LearnDateColumns(SheetEngine& engine, const std::string& workbook_path, const std::string& address,
                      SheetRange* range, std::size_t block_columns,
                      const std::vector<std::pair<std::size_t, DateColumn*>>& lines);

// The address kind `kind` (home or work) moved to the address `to` names (kHomeAddress or
// kWorkAddress): Home City -> Work City.
mapping::FieldKind MoveAddressKind(mapping::FieldKind kind, mapping::FieldKind to);

}  // namespace cw::run
