// Opening a workbook by its bytes or its path through the table of readers (readers.h): the
// first bytes, and for text files the extension, decide the reader (a zip package goes to the
// .xlsx reader, a compound file to the .xls reader, whatever the file's extension says, so a
// .xls that is really an .xlsx opens). Anything no reader takes gets an error that says what
// the file looks like instead (text under a workbook's name, a web page, XML, an empty file,
// a folder).
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "sheet/block_rows.h"
#include "sheet/read_error.h"
#include "sheet/readers.h"
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

// Throws the WorkbookFileError for `code`, its description built from one table; `path`
// names the file (empty: "the file"), `detail` the system's reason where there is one.
[[noreturn]] void FailFile(WorkbookFileErrorCode code, const std::string& path = {}, const std::string& detail = {});

// What the first bytes of a file say it is, when that is no workbook format we read;
// nothing when a reader of the table takes those bytes whatever the file's name.
std::optional<WorkbookFileErrorCode> SniffNonWorkbook(std::span<const std::byte> head);

// Reads any supported workbook held in `bytes`; `file_name` (may be empty) gives the
// extension that text formats are known by and the name of a text file's one sheet. Throws
// ReadError (or a type derived from it).
Workbook ReadWorkbook(std::span<const std::byte> bytes, std::string_view file_name = {},
                      const ReadOptions& options = {});
// Reads the workbook at `path`. Throws ReadError (or a type derived from it).
Workbook ReadWorkbookFile(const std::string& path, const ReadOptions& options = {});
// Opens the workbook in `bytes` for streaming a block's rows, as ReadWorkbook picks its
// reader; the caller keeps the bytes alive until the stream and its rows are gone.
std::unique_ptr<WorkbookStream> OpenWorkbookStream(std::span<const std::byte> bytes, std::string_view file_name = {},
                                                   const ReadOptions& options = {});
// Opens the workbook at `path` for streaming a block's rows, picking the reader as
// ReadWorkbookFile does: only the shared parts are read now (an .xls file's bytes are held by
// the stream, an .xlsx package is read from the file as needed). Throws ReadError (or a type
// derived from it) as ReadWorkbookFile does.
std::unique_ptr<WorkbookStream> OpenWorkbookStreamFile(const std::string& path, const ReadOptions& options = {});

}  // namespace cw::sheet
