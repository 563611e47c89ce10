#include "sheet/ods/ods_error.h"

namespace cw::sheet {

void FailOds(OdsErrorCode code, std::string_view detail, std::size_t at) {
  const std::string d(detail);
  std::string text;
  switch (code) {
    case OdsErrorCode::kNotSpreadsheet:
      text = "Not a spreadsheet: the file is an OpenDocument " + (d.empty() ? std::string("document") : d) +
             ", not a spreadsheet.";
      break;
    case OdsErrorCode::kNoContent:
      text =
          "The spreadsheet is damaged: its content (" + (d.empty() ? std::string("content.xml") : d) + ") is missing.";
      break;
    case OdsErrorCode::kNoSheets:
      text = "The spreadsheet holds no sheets.";
      break;
    case OdsErrorCode::kEncrypted:
      text = "This spreadsheet is password-protected. Save it without a password and try again.";
      break;
    case OdsErrorCode::kTooManyCells:
      text = "The spreadsheet is too large to read: it holds more than " + d + " non-empty cells.";
      break;
    case OdsErrorCode::kTooManyRepeats:
      text = "The spreadsheet is too large to read: its repeated rows and columns make more than " + d +
             " copies of non-empty cells (stopped in row " + std::to_string(at) + ").";
      break;
    case OdsErrorCode::kTooManyStyles:
      text = "The spreadsheet is too large to read: it defines more than " + d + " styles.";
      break;
    case OdsErrorCode::kTextTooLong:
      text = "The spreadsheet is too large to read: " + d + " (row " + std::to_string(at) + ").";
      break;
    case OdsErrorCode::kSheetNamedTwice:
      text = "The spreadsheet cannot be read safely: two of its sheets are named \"" + d +
             "\" (differing at most in case), so an address could reach the wrong one.";
      break;
  }
  throw OdsError(code, text, at);
}

}  // namespace cw::sheet
