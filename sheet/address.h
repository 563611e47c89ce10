// A1-style cell addresses, the one home of column letters and A1 parsing: what the user or
// the block pick wrote ("A1:B3", "$A$1:$C$10", "B2", "'My Sheet'!$A$1:$C$10", "Sheet2!A1:C3",
// whole columns "A:C" and whole rows "2:5"), the plain references that workbook files write
// ("B12"), and the absolute form the block pick reports.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sheet/workbook.h"

namespace cw::sheet {

// A rectangular block, 1-based and inclusive, first <= last. `sheet` is set only when the
// address named one.
struct CellBlock {
  std::optional<std::string> sheet;
  std::uint32_t first_row = 1;
  std::uint32_t first_column = 1;
  std::uint32_t last_row = 1;
  std::uint32_t last_column = 1;
  bool whole_columns = false;  // "A:C": every row of the sheet
  bool whole_rows = false;     // "2:5": every column of the sheet
};

// The block an address names, or nothing when the text is not an address within
// A1:XFD1048576. Spaces around the address are allowed.
std::optional<CellBlock> ParseAddress(std::string_view text);

// A cell's place, 1-based.
struct CellPosition {
  std::uint32_t row = 1;
  std::uint32_t column = 1;
};

// A plain cell reference as workbook files write it, without "$": "b12" -> row 12,
// column 2; nothing when malformed or beyond XFD1048576. Read for every cell of a worksheet,
// so in one pass and inline: one to three letters, then digits.
inline std::optional<CellPosition> ParseCellReference(std::string_view text) {
  std::size_t i = 0;
  std::uint32_t column = 0;
  for (; i < text.size() && ((text[i] >= 'A' && text[i] <= 'Z') || (text[i] >= 'a' && text[i] <= 'z')); ++i) {
    if (i == 3) return std::nullopt;
    column = column * 26 + static_cast<std::uint32_t>((text[i] & ~0x20) - 'A' + 1);
  }
  if (i == 0 || column > kMaxColumns || i == text.size()) return std::nullopt;
  std::uint32_t row = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    row = row * 10 + static_cast<std::uint32_t>(text[i] - '0');
    if (row > kMaxRows) return std::nullopt;
  }
  if (row < 1) return std::nullopt;
  return CellPosition{row, column};
}

// "A" for 1, "Z" for 26, "AA" for 27, ... "XFD" for 16384.
std::string ColumnLetters(std::uint32_t column);
// "B12" for row 12, column 2.
std::string CellName(std::uint32_t row, std::uint32_t column);

// The sheet name as a formula writes it: quoted ('My Sheet', with ' doubled) unless it is
// a plain name that cannot be mistaken for a reference.
std::string QuoteSheetName(std::string_view name);

// The absolute form: "$A$1:$C$10", or "$B$2" for one cell, prefixed with the quoted sheet
// name and "!" when block.sheet is set.
std::string FormatAddress(const CellBlock& block);

}  // namespace cw::sheet
