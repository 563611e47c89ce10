// Reads an OpenDocument spreadsheet: a zip package (.ods, .ots) whose content.xml holds the
// sheets and whose styles.xml and settings.xml hold the number styles and the active sheet,
// or the same in one flat XML file (.fods). Cells show what LibreOffice shows for them (see
// number_styles.h); the zip and XML layers, with their caps on deflate bombs and malformed
// XML, are the .xlsx reader's.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>

#include "sheet/block_rows.h"
#include "sheet/ods/ods_error.h"
#include "sheet/workbook.h"

namespace cw::sheet {

// Whether the first bytes of a file are an OpenDocument package (its "mimetype" entry first,
// as the format asks) or a flat OpenDocument XML file.
bool LooksLikeOdsPackage(std::span<const std::byte> head);
bool LooksLikeFlatOds(std::span<const std::byte> head);

// Reads an .ods package or a flat .fods file from its bytes. Throws OdsError, or XlsxError
// for a damaged container or malformed XML.
Workbook ReadOds(std::span<const std::byte> bytes);
// Reads the .ods package or .fods file at `path` (a package is read from the file as needed).
Workbook ReadOdsFile(const std::string& path);

// Opens a spreadsheet for streaming a block's rows: the sheets, styles and active sheet are
// read now; the rows of a block then come out of content.xml as it is inflated and parsed,
// so memory holds a window of rows. The bytes must outlive the stream and its rows.
std::unique_ptr<WorkbookStream> OpenOdsStream(std::span<const std::byte> bytes);
std::unique_ptr<WorkbookStream> OpenOdsStreamFile(const std::string& path);

}  // namespace cw::sheet
