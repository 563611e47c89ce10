#include "sheet/xlsx/xlsx_error.h"

#include <array>

namespace cw::sheet {
namespace {

struct Message {
  XlsxErrorCode code;
  // {part}: the package part; {detail}: the item named; {(detail)}: " (detail)" when there
  // is one.
  std::string_view form;
};

constexpr std::array kMessages = {
    Message{XlsxErrorCode::kNotZip,
            "The workbook is damaged or incomplete: its zip container cannot be read{(detail)}."},
    Message{XlsxErrorCode::kNotWorkbookPackage,
            "Not a workbook: the file is a zip archive, but it holds no Excel workbook."},
    Message{XlsxErrorCode::kOpenDocument,
            "Not an Excel workbook: the file is an OpenDocument spreadsheet (.ods). "
            "Save it in the .xlsx format and try again."},
    Message{XlsxErrorCode::kOtherOfficeDocument, "Not a workbook: the file is {detail}, not an Excel workbook."},
    Message{XlsxErrorCode::kBinaryWorkbook,
            "This workbook is in the Excel binary format (.xlsb), which this program does not read. "
            "Save it as an Excel workbook (.xlsx) and try again."},
    Message{XlsxErrorCode::kEncrypted,
            "This workbook is password-protected. Save it without a password and try again."},
    Message{XlsxErrorCode::kMissingPart, "The workbook is damaged: its part {part} is missing{(detail)}."},
    Message{XlsxErrorCode::kPartDamaged, "The workbook is damaged: its part {part} cannot be unpacked ({detail})."},
    Message{XlsxErrorCode::kPartTooLarge,
            "The workbook is too large to read: its part {part} unpacks to more than {detail}."},
    Message{XlsxErrorCode::kPartRatioTooHigh,
            "The workbook looks hostile: its part {part} unpacks to far more than a workbook's data ever does "
            "({detail})."},
    Message{XlsxErrorCode::kDoctype,
            "The workbook is damaged or hostile: its part {part} holds a document type declaration, which workbooks "
            "never have."},
    Message{XlsxErrorCode::kXmlMalformed,
            "The workbook is damaged: its part {part} is not well-formed XML ({detail})."},
    Message{XlsxErrorCode::kNoSheets, "The workbook holds no sheets."},
    Message{XlsxErrorCode::kBadCellReference,
            "The workbook is damaged: the cell reference \"{detail}\" in {part} is malformed or lies beyond "
            "XFD1048576."},
    Message{XlsxErrorCode::kBadRowNumber,
            "The workbook is damaged: the row number \"{detail}\" in {part} is malformed or lies beyond row 1048576."},
    Message{XlsxErrorCode::kBadValue, "The workbook is damaged: {detail} in {part}."},
    Message{XlsxErrorCode::kStringIndex,
            "The workbook is damaged: {detail} in {part} refers to a shared string that does not exist."},
    Message{XlsxErrorCode::kStyleIndex,
            "The workbook is damaged: {detail} in {part} refers to a cell format that does not exist."},
    Message{XlsxErrorCode::kTooManyCells,
            "The workbook is too large to read: it holds more than {detail} non-empty cells."},
    Message{XlsxErrorCode::kTooManyRows,
            "The workbook is too large to read: its sheets together span more than {detail} rows."},
    Message{XlsxErrorCode::kTooManyStrings,
            "The workbook is too large to read: it holds more than {detail} shared strings."},
    Message{XlsxErrorCode::kAmbiguousPackage,
            "The workbook is damaged or crafted: its zip container holds two entries for one part (\"{part}\" and "
            "\"{detail}\"), so its content is ambiguous."},
    Message{XlsxErrorCode::kPartNamedTwice,
            "The workbook is damaged: its part {part} is named for more than one purpose{(detail)}."},
    Message{XlsxErrorCode::kPackageRatioTooHigh,
            "The workbook looks hostile: its parts together unpack to far more than a workbook's data ever does "
            "({detail}, stopped in {part})."},
    Message{XlsxErrorCode::kRowsOutOfOrder,
            "The workbook cannot be read row by row: in {part} {detail} comes after a later row. Open it in a "
            "spreadsheet program, save it again and try again."},
    Message{XlsxErrorCode::kXmlTooDeep,
            "The workbook is damaged or hostile: its part {part} nests its elements more than {detail} levels deep, "
            "which workbooks never do."},
    Message{XlsxErrorCode::kSheetNameTwins,
            "The workbook is damaged: it holds two sheets named \"{part}\" and \"{detail}\", names that differ only "
            "in case, which spreadsheet programs forbid. Rename one of them in a spreadsheet program and try again."},
};

}  // namespace

void FailXlsx(XlsxErrorCode code, std::string_view part, std::string_view detail, std::size_t line,
              std::size_t column) {
  std::string_view form = "The workbook cannot be read.";
  for (const Message& m : kMessages) {
    if (m.code == code) form = m.form;
  }
  const std::string in_brackets = detail.empty() ? std::string() : " (" + std::string(detail) + ")";
  throw XlsxError(code, FillMessage(form, {{"{part}", part}, {"{detail}", detail}, {"{(detail)}", in_brackets}}), part,
                  line, column);
}

}  // namespace cw::sheet
