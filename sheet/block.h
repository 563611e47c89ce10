// Where a block of cells lies once it is placed on a workbook: a whole-row or whole-column
// pick ("A:C", "2:5") stops at the sheet's used range, and the address the block pick
// reports names the sheet only when it is not the sheet active at open. The engine, the
// sheet window and the export's row stream all place blocks through these.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "sheet/address.h"
#include "sheet/workbook.h"

namespace cw::sheet {

// Whether `block` spans the sheet's whole height or width: picked by a header ("A:C",
// "2:5"), or typed from edge to edge ("A1:B1048576", "A1:XFD3").
bool SpansWholeLines(const CellBlock& block);

// The block with whole rows and whole columns, picked or typed, cut to `used` (the used
// range of its sheet, 0-based); on an empty sheet they shrink to their first cell. The
// result is a plain block: its whole_rows and whole_columns are false, its sheet name is kept.
CellBlock ClipToUsedRange(CellBlock block, const std::optional<Extent>& used);

// The absolute address of `block` on sheet `sheet` of `workbook`: "$A$1:$C$10", with the
// quoted sheet name and "!" in front only when that sheet is not the active one.
std::string BlockAddress(const Workbook& workbook, std::size_t sheet, CellBlock block);

}  // namespace cw::sheet
