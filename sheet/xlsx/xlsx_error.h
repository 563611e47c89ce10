// The one error type of the .xlsx reader. Every failure names what went wrong in words a
// person can act on, and where: the part of the package and, for cells, the reference.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "sheet/read_error.h"

namespace cw::sheet {

enum class XlsxErrorCode {
  kNotZip,               // the bytes are no readable zip archive (damaged, cut short)
  kNotWorkbookPackage,   // a zip archive, but no spreadsheet in it
  kOpenDocument,         // an OpenDocument spreadsheet (.ods)
  kOtherOfficeDocument,  // a Word or PowerPoint package
  kBinaryWorkbook,       // an Excel binary workbook (.xlsb)
  kEncrypted,            // zip entries with a password
  kMissingPart,          // a part the relationships name is not in the package
  kPartDamaged,          // the zip entry cannot be inflated (bad data, CRC)
  kPartTooLarge,         // inflated size over the cap
  kPartRatioTooHigh,     // inflated size out of proportion to the stored size (zip bomb)
  kDoctype,              // a DOCTYPE in a part
  kXmlMalformed,         // not well-formed XML
  kNoSheets,             // the workbook lists no sheet
  kBadCellReference,     // r="..." malformed or beyond XFD1048576
  kBadRowNumber,         // row r="..." malformed or out of range
  kBadValue,             // a cell value that its type cannot hold
  kStringIndex,          // shared-string index past the table
  kStyleIndex,           // style index past cellXfs
  kTooManyCells,         // over the cell cap of one workbook
  kTooManyStrings,       // over the shared-string cap
  kTooManyRows,          // the sheets together span more rows than the cap
  kAmbiguousPackage,     // two zip entries name one part
  kPartNamedTwice,       // one part named for two purposes (two sheets on one worksheet part)
  kPackageRatioTooHigh,  // the parts together inflate out of proportion to the archive
  kRowsOutOfOrder,       // a streamed sheet's rows go backwards
  kSheetNameTwins,       // two sheets whose names differ only in case
  kXmlTooDeep,           // elements nested deeper than any workbook nests them
};

// Where it stopped: the part, and the line and column in it where the XML parser stopped
// (0 when the fault is not at a place in a part's text).
struct XlsxError : ReadError {
  XlsxError(XlsxErrorCode c, const std::string& description, std::string_view in_part, std::size_t at_line,
            std::size_t at_column)
      : ReadError(description, std::string(in_part), at_line, at_column), code(c) {}
  XlsxErrorCode code;
};

// Builds the description for `code` from one table and throws. `part` is the package part
// (e.g. "xl/worksheets/sheet1.xml"), `detail` the item named (a cell reference, an index,
// the XML parser's message); `line` and `column` the place in the part, or 0.
[[noreturn]] void FailXlsx(XlsxErrorCode code, std::string_view part = {}, std::string_view detail = {},
                           std::size_t line = 0, std::size_t column = 0);

}  // namespace cw::sheet
