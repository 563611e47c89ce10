// The heading row of a picked block: the texts of its first row, the kinds they propose for the
// block's columns, and, when that row reads as headings, the block's address without it, so
// that the headings are not exported as a contact. The window's block pick and vcfexport
// --propose both read a block this way.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mapping/headings.h"
#include "sheet/engine.h"

namespace cw::run {

struct BlockHeadings {
  std::vector<std::string> first_row;  // the displayed texts, one per block column
  mapping::HeadingProposal proposal;
  // The block one row lower, in the form the engine reports addresses; set only when the
  // first row reads as headings and the block has rows below it.
  std::optional<std::string> address_below;
};

// Reads the first row of the block `address` names. Throws as the engine does for a bad
// address or a cell it cannot read.
BlockHeadings ReadBlockHeadings(sheet::OpenedWorkbook& workbook, std::string_view address);

}  // namespace cw::run
