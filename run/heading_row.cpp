#include "run/heading_row.h"

namespace cw::run {

BlockHeadings ReadBlockHeadings(sheet::OpenedWorkbook& workbook, std::string_view address) {
  const sheet::Range range = workbook.GetRange(address);
  BlockHeadings headings;
  headings.first_row.reserve(range.ColumnsCount());
  for (std::uint32_t column = range.Column(); column <= range.LastColumn(); ++column) {
    headings.first_row.push_back(workbook.CellText(range, range.Row(), column));
  }
  headings.proposal = mapping::ProposeKinds(headings.first_row);
  // A one-row block keeps its row: moving it would leave nothing to export.
  if (headings.proposal.reads_as_headings && range.RowsCount() > 1) {
    headings.address_below = workbook.Address(
        sheet::Range(range.SheetIndex(), range.Row() + 1, range.Column(), range.LastRow(), range.LastColumn()));
  }
  return headings;
}

}  // namespace cw::run
