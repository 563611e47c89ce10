#include "sheet/ods/ods_error.h"

#include <array>

namespace cw::sheet {
namespace {

struct Message {
  OdsErrorCode code;
  // {detail}: the item named; {row}: the sheet's row.
  std::string_view form;
};

constexpr std::array kMessages = {
    Message{OdsErrorCode::kNotSpreadsheet,
            "Not a spreadsheet: the file is an OpenDocument {detail}, not a spreadsheet."},
    Message{OdsErrorCode::kNoContent, "The spreadsheet is damaged: its content ({detail}) is missing."},
    Message{OdsErrorCode::kNoSheets, "The spreadsheet holds no sheets."},
    Message{OdsErrorCode::kEncrypted,
            "This spreadsheet is password-protected. Save it without a password and try again."},
    Message{OdsErrorCode::kTooManyCells,
            "The spreadsheet is too large to read: it holds more than {detail} non-empty cells."},
    Message{OdsErrorCode::kTooManyRepeats,
            "The spreadsheet is too large to read: its repeated rows and columns make more than {detail} copies of "
            "non-empty cells (stopped in row {row})."},
    Message{OdsErrorCode::kTooManyStyles,
            "The spreadsheet is too large to read: it defines more than {detail} styles."},
    Message{OdsErrorCode::kTextTooLong, "The spreadsheet is too large to read: {detail} (row {row})."},
    Message{OdsErrorCode::kTooManySheets,
            "The spreadsheet is too large to read: it holds more than {detail} sheets, the most a workbook may hold."},
    Message{OdsErrorCode::kSheetNamedTwice,
            "The spreadsheet cannot be read safely: two of its sheets are named \"{detail}\" (differing at most in "
            "case), so an address could reach the wrong one."},
};

}  // namespace

void FailOds(OdsErrorCode code, std::string_view detail, std::size_t row, std::string_view part) {
  const std::string_view form = MessageForm(kMessages, code, "The spreadsheet cannot be read.");
  const std::string row_text = std::to_string(row);
  throw OdsError(code, FillMessage(form, {{"{detail}", detail}, {"{row}", row_text}}), part);
}

}  // namespace cw::sheet
