// Reads a workbook in the binary .xls format (a compound file holding a BIFF8 "Workbook"
// stream, or a BIFF5/7 "Book" stream from Excel 95) into the workbook model.
#pragma once

#include <cstddef>
#include <span>

#include "sheet/workbook.h"

namespace cw::sheet {

// Throws a ReadError (or a type derived from it) whose description a person can act on.
Workbook ReadXls(std::span<const std::byte> bytes);

}  // namespace cw::sheet
