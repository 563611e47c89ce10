// The row stream of a block over a workbook loaded whole (the object model): each text comes
// from CellTextRenderer, so it is the displayed text by definition. It serves a workbook the
// engine has had to load whole (a whole-row or whole-column block needs the used range), and
// it is what the readers' own streams (OpenWorkbookStreamFile, workbook_file.h) are compared with.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "sheet/block_rows.h"
#include "sheet/number_format.h"
#include "sheet/workbook.h"

namespace cw::sheet {

// The rows of `block` (0-based, inclusive) on sheet `sheet` of a model that holds its cells
// and outlives the rows. Throws std::out_of_range for a sheet the model does not have.
std::unique_ptr<BlockRows> ModelRows(const Workbook& model, std::size_t sheet, const Extent& block,
                                     std::vector<bool> wanted, const FormatLocale& locale);

}  // namespace cw::sheet
