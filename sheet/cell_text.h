// The displayed text of a cell, as a spreadsheet shows it in a column wide enough to show
// it all: strings as stored (under the format's text section), booleans TRUE/FALSE, errors
// as their code, numbers through their number format, empty cells as "".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sheet/number_format.h"
#include "sheet/workbook.h"

namespace cw::sheet {

// The workbook's cell styles and number formats must stay as they are while a renderer of it
// lives (its cells and strings may grow): each style's format is looked up once.
class CellTextRenderer {
 public:
  CellTextRenderer(const Workbook& workbook, const FormatLocale& locale = {});

  // The text of the cell at (row, column), 0-based, of `sheet`.
  std::string Text(const Worksheet& sheet, std::uint32_t row, std::uint32_t column);
  // The text of one stored cell.
  std::string Text(const Cell& cell);
  // Appends the text of one stored cell to `out`.
  void AppendText(const Cell& cell, std::string& out);
  // Appends what a string cell of style `style` holding `text` shows: for a string the sheet
  // holds itself rather than the workbook's pool.
  void AppendString(std::string_view text, std::uint32_t style, std::string& out);
  // The calendar date a number cell shows through a date or date-time format, in the
  // workbook's date system (NumberFormatter::DateShown); nothing for any other cell.
  std::optional<CivilDate> DateShown(const Cell& cell);

 private:
  // A cell style's number format: its id and the code the workbook stores for it.
  struct StyleFormat {
    bool known = false;
    bool general = false;      // General, which shows a string as it is
    bool shows_dates = false;  // NumberFormatter::ShowsDates
    std::uint32_t id = 0;
    std::string_view code;
  };
  // Inline: asked for every cell, and nearly always already known.
  const StyleFormat& FormatOf(std::uint32_t style) {
    StyleFormat& entry = styles_[style < unknown_style_ ? style : unknown_style_];
    return entry.known ? entry : Learn(entry, style);
  }
  const StyleFormat& Learn(StyleFormat& entry, std::uint32_t style);

  const Workbook& workbook_;
  NumberFormatter formatter_;
  // By style index; the last entry, at unknown_style_, serves every style the workbook does
  // not define.
  std::vector<StyleFormat> styles_;
  std::size_t unknown_style_;
};

}  // namespace cw::sheet
