// The streaming read of an .xls workbook for the export (sheet/block_rows.h): opening reads
// the workbook globals (sheets, cell formats, number formats, shared strings, date system)
// and no cells; the rows of a block then come out of the sheet's substream in order.
//
// BIFF writers store a sheet's cells row by row within its cell blocks, so rows are read
// as they come and memory holds one row. A sheet whose block rows do come out of order (a
// later record going back to an earlier row of the block) is not refused: a first pass over
// the record headers finds it, and then the block's cells are gathered and sorted before
// the first row is given, so the texts are always those of the workbook model.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include "sheet/block_rows.h"

namespace cw::sheet {

// Opens an .xls workbook (compound file or bare BIFF stream, decrypted when it is protected
// with the default password only). The bytes stay owned by the caller and must outlive the
// stream and every BlockRows it gives; a BlockRows may outlive its stream. Throws
// XlsReadError as ReadXls does.
std::unique_ptr<WorkbookStream> OpenXlsStream(std::span<const std::byte> bytes);
// The same over bytes that the stream takes and holds (a file read whole).
std::unique_ptr<WorkbookStream> OpenXlsStream(std::vector<std::byte> bytes);

}  // namespace cw::sheet
