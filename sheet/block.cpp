#include "sheet/block.h"

namespace cw::sheet {

namespace {

bool FullHeight(const CellBlock& b) { return b.whole_columns || (b.first_row == 1 && b.last_row == kMaxRows); }
bool FullWidth(const CellBlock& b) { return b.whole_rows || (b.first_column == 1 && b.last_column == kMaxColumns); }

}  // namespace

bool SpansWholeLines(const CellBlock& block) { return FullHeight(block) || FullWidth(block); }

CellBlock ClipToUsedRange(CellBlock block, const std::optional<Extent>& used) {
  // A block typed from edge to edge is the same pick as the header's.
  block.whole_columns = FullHeight(block);
  block.whole_rows = FullWidth(block);
  if (block.whole_columns) {
    block.first_row = used ? used->first_row + 1 : 1;
    block.last_row = used ? used->last_row + 1 : 1;
  }
  if (block.whole_rows) {
    block.first_column = used ? used->first_column + 1 : 1;
    block.last_column = used ? used->last_column + 1 : 1;
  }
  block.whole_columns = block.whole_rows = false;
  return block;
}

std::string BlockAddress(const Workbook& workbook, std::size_t sheet, CellBlock block) {
  // An active sheet the file names out of range counts as the first, as the window opens it.
  const std::size_t active = workbook.active_sheet < workbook.sheets.size() ? workbook.active_sheet : 0;
  block.sheet.reset();
  if (sheet != active && sheet < workbook.sheets.size()) block.sheet = workbook.sheets[sheet].Name();
  return FormatAddress(block);
}

}  // namespace cw::sheet
