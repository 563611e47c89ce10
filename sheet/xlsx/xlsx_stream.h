// The row stream of an .xlsx workbook (block_rows.h): opening reads the package, the
// workbook part and the styles, and starts reading the shared strings on a thread of their
// own (shared_strings_load.h), so the model's strings stay empty; the rows of a block
// then come out of its worksheet part as it is inflated and parsed chunk by chunk, through
// the same worksheet parser as the object model, so memory holds a window of rows, never
// the sheet. Parsing stops once the block's last row is complete.
//
// A worksheet whose rows go backwards (a row or cell within the block numbered below one
// already met) cannot be streamed in order: NextRow throws XlsxError (kRowsOutOfOrder) when
// that point is reached; the object model reads such a sheet. Rows that come back after the
// block's last row are never reached, so they are neither read nor refused.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>

#include "sheet/block_rows.h"
#include "sheet/xlsx/xlsx_error.h"

namespace cw::sheet {

// A BlockRows may outlive its stream (they share the opened package). NextRow never changes
// the stream's Model(), so another thread may read the model while one thread takes rows.
//
// Opens the workbook held in `bytes`, which the caller keeps alive and unchanged until the
// stream and every BlockRows taken from it are gone. Throws XlsxError as ReadXlsx does for
// the package, the workbook part and the styles; the shared strings' errors come from the
// rows that need them, and from Finish.
std::unique_ptr<WorkbookStream> OpenXlsxStream(std::span<const std::byte> bytes);
// Opens the workbook at `path`, reading the file as needed (libzip keeps it open).
std::unique_ptr<WorkbookStream> OpenXlsxStreamFile(const std::string& path);

}  // namespace cw::sheet
