// Opening a workbook by its bytes or its path: the first bytes decide the reader (a zip
// package goes to the .xlsx reader, a compound file to the .xls reader), whatever the file's
// extension says, so a .xls that is really an .xlsx opens. Anything else gets an error that
// says what the file looks like instead (text or CSV, a web page, XML, an empty file, a folder).
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>

#include "sheet/block_rows.h"
#include "sheet/read_error.h"
#include "sheet/workbook.h"

namespace cw::sheet {

enum class WorkbookFileErrorCode {
  kNotFound,
  kFolder,
  kUnreadable,
  kEmpty,
  kTooLarge,
  kText,            // plain text or CSV
  kHtml,            // a web page saved under a workbook name
  kSpreadsheetXml,  // Excel 2003 XML Spreadsheet
  kXml,             // other XML
  kPdf,
  kOldExcel,  // a bare BIFF2-4 worksheet stream
  kUnknown,
};

struct WorkbookFileError : ReadError {
  WorkbookFileError(WorkbookFileErrorCode c, const std::string& description) : ReadError(description, 0), code(c) {}
  WorkbookFileErrorCode code;
};

// What the first bytes of a file say it is, when that is no workbook format we read;
// nothing for a zip package or a compound file.
std::optional<WorkbookFileErrorCode> SniffNonWorkbook(std::span<const std::byte> head);

// Reads any supported workbook. Throws ReadError (or a type derived from it).
Workbook ReadWorkbook(std::span<const std::byte> bytes);
// Reads the workbook at `path`. Throws ReadError (or a type derived from it).
Workbook ReadWorkbookFile(const std::string& path);
// Opens the workbook at `path` for streaming a block's rows, by its first bytes as
// ReadWorkbookFile does: only the shared parts are read now (an .xls file's bytes are held by
// the stream, an .xlsx package is read from the file as needed). Throws ReadError (or a type
// derived from it) as ReadWorkbookFile does.
std::unique_ptr<WorkbookStream> OpenWorkbookStreamFile(const std::string& path);

}  // namespace cw::sheet
