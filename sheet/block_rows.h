// Streaming a block of a sheet for the export: the workbook's shared parts (sheet names,
// active sheet, date system, styles, number formats, shared strings) are read first, then
// the rows of one block come straight out of the sheet's data in order, each row's cells as
// the spreadsheet shows them, without holding the whole sheet. The object model of
// workbook.h stays for everything else (the sheet window, sheetdump, small runs).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sheet/number_format.h"
#include "sheet/workbook.h"

namespace cw::sheet {

// The rows of one block, from its first row to its last, in order.
class BlockRows {
 public:
  virtual ~BlockRows() = default;
  // Fills `texts` with one entry per block column: the displayed text of each wanted column
  // (exactly what CellTextRenderer gives for that cell), "" for an empty cell or a column not
  // wanted. A row the file does not hold gives all "". False after the block's last row.
  // Throws ReadError when the sheet's data is damaged at this point; rows already given stay
  // valid, and later calls throw again.
  virtual bool NextRow(std::vector<std::string>& texts) = 0;
};

// A workbook opened for streaming.
class WorkbookStream {
 public:
  virtual ~WorkbookStream() = default;
  // Everything but the cells: the sheets are there with their names, without cells.
  virtual const Workbook& Model() const = 0;
  // The rows of `block` (0-based, inclusive) on sheet `sheet`; `wanted` has one flag per
  // block column. May be called once per stream.
  virtual std::unique_ptr<BlockRows> Rows(std::size_t sheet, const Extent& block, std::vector<bool> wanted,
                                          FormatLocale locale) = 0;
};

}  // namespace cw::sheet
