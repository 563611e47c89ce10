// The displayed text of a cell, as a spreadsheet shows it in a column wide enough to show
// it all: strings as stored (under the format's text section), booleans TRUE/FALSE, errors
// as their code, numbers through their number format, empty cells as "".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "sheet/number_format.h"
#include "sheet/workbook.h"

namespace cw::sheet {

class CellTextRenderer {
 public:
  CellTextRenderer(const Workbook& workbook, const FormatLocale& locale = {});

  // The text of the cell at (row, column), 0-based, of `sheet`.
  std::string Text(const Worksheet& sheet, std::uint32_t row, std::uint32_t column);
  // The text of one stored cell.
  std::string Text(const Cell& cell);
  // The calendar date a number cell shows through a date or date-time format, in the
  // workbook's date system (NumberFormatter::DateShown); nothing for any other cell.
  std::optional<CivilDate> DateShown(const Cell& cell);

 private:
  const Workbook& workbook_;
  NumberFormatter formatter_;
};

}  // namespace cw::sheet
