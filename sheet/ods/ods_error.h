// The one error type of the OpenDocument spreadsheet reader. The zip container and the XML
// layer are the .xlsx reader's and raise its errors (a damaged zip entry, malformed XML, a
// deflate bomb); what is particular to OpenDocument is named here, in words a person can act on.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "sheet/read_error.h"

namespace cw::sheet {

enum class OdsErrorCode {
  kNotSpreadsheet,   // an OpenDocument package, but a text document, a drawing, ...
  kNoContent,        // no content.xml, or a flat file without a body
  kNoSheets,         // the spreadsheet holds no table
  kEncrypted,        // the package is saved with a password
  kTooManyCells,     // over the cell cap of one workbook
  kTooManyRepeats,   // repeated rows and columns make more cells than a workbook may hold
  kTooManyStyles,    // over the style cap
  kTextTooLong,      // a cell's text, with its runs of spaces, over the cap
  kSheetNamedTwice,  // two sheets whose names differ at most in case
  kTooManySheets,    // over the sheet cap
};

// The part is "content.xml" (or the flat file) for what the body holds, empty for the
// package itself; the message names the sheet row where one is at fault. No line is given.
struct OdsError : ReadError {
  OdsError(OdsErrorCode c, const std::string& description, std::string_view in_part)
      : ReadError(description, std::string(in_part), 0, 0), code(c) {}
  OdsErrorCode code;
};

// Builds the description for `code` from one table of forms and throws. `detail` is the item
// named (a media type, a count, a sheet name); `row` the sheet's row (1-based), or 0.
[[noreturn]] void FailOds(OdsErrorCode code, std::string_view detail = {}, std::size_t row = 0,
                          std::string_view part = {});

}  // namespace cw::sheet
