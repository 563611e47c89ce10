#include "sheet/xlsx/xlsx_error.h"

namespace cw::sheet {

void FailXlsx(XlsxErrorCode code, std::string_view part, std::string_view detail, std::size_t at) {
  const std::string p(part);
  const std::string d(detail);
  std::string text;
  switch (code) {
    case XlsxErrorCode::kNotZip:
      text = "The workbook is damaged or incomplete: its zip container cannot be read" +
             (d.empty() ? std::string(".") : " (" + d + ").");
      break;
    case XlsxErrorCode::kNotWorkbookPackage:
      text = "Not a workbook: the file is a zip archive, but it holds no Excel workbook.";
      break;
    case XlsxErrorCode::kOpenDocument:
      text =
          "Not an Excel workbook: the file is an OpenDocument spreadsheet (.ods). "
          "Save it in the .xlsx format and try again.";
      break;
    case XlsxErrorCode::kOtherOfficeDocument:
      text = "Not a workbook: the file is " + d + ", not an Excel workbook.";
      break;
    case XlsxErrorCode::kBinaryWorkbook:
      text =
          "This workbook is in the Excel binary format (.xlsb), which this program does not read. "
          "Save it as an Excel workbook (.xlsx) and try again.";
      break;
    case XlsxErrorCode::kEncrypted:
      text = "This workbook is password-protected. Save it without a password and try again.";
      break;
    case XlsxErrorCode::kMissingPart:
      text = "The workbook is damaged: its part " + p + " is missing" + (d.empty() ? "" : " (" + d + ")") + ".";
      break;
    case XlsxErrorCode::kPartDamaged:
      text = "The workbook is damaged: its part " + p + " cannot be unpacked (" + d + ").";
      break;
    case XlsxErrorCode::kPartTooLarge:
      text = "The workbook is too large to read: its part " + p + " unpacks to more than " + d + ".";
      break;
    case XlsxErrorCode::kPartRatioTooHigh:
      text = "The workbook looks hostile: its part " + p + " unpacks to far more than a workbook's data ever does (" +
             d + ").";
      break;
    case XlsxErrorCode::kDoctype:
      text = "The workbook is damaged or hostile: its part " + p +
             " holds a document type declaration, which workbooks never have.";
      break;
    case XlsxErrorCode::kXmlMalformed:
      text = "The workbook is damaged: its part " + p + " is not well-formed XML (" + d + ").";
      break;
    case XlsxErrorCode::kNoSheets:
      text = "The workbook holds no sheets.";
      break;
    case XlsxErrorCode::kBadCellReference:
      text = "The workbook is damaged: the cell reference \"" + d + "\" in " + p +
             " is malformed or lies beyond XFD1048576.";
      break;
    case XlsxErrorCode::kBadRowNumber:
      text =
          "The workbook is damaged: the row number \"" + d + "\" in " + p + " is malformed or lies beyond row 1048576.";
      break;
    case XlsxErrorCode::kBadValue:
      text = "The workbook is damaged: " + d + " in " + p + ".";
      break;
    case XlsxErrorCode::kStringIndex:
      text = "The workbook is damaged: " + d + " in " + p + " refers to a shared string that does not exist.";
      break;
    case XlsxErrorCode::kStyleIndex:
      text = "The workbook is damaged: " + d + " in " + p + " refers to a cell format that does not exist.";
      break;
    case XlsxErrorCode::kTooManyCells:
      text = "The workbook is too large to read: it holds more than " + d + " non-empty cells.";
      break;
    case XlsxErrorCode::kTooManyRows:
      text = "The workbook is too large to read: its sheets together span more than " + d + " rows.";
      break;
    case XlsxErrorCode::kTooManyStrings:
      text = "The workbook is too large to read: it holds more than " + d + " shared strings.";
      break;
    case XlsxErrorCode::kAmbiguousPackage:
      text = "The workbook is damaged or crafted: its zip container holds two entries for one part (\"" + p +
             "\" and \"" + d + "\"), so its content is ambiguous.";
      break;
    case XlsxErrorCode::kPartNamedTwice:
      text = "The workbook is damaged: its part " + p + " is named for more than one purpose" +
             (d.empty() ? "" : " (" + d + ")") + ".";
      break;
    case XlsxErrorCode::kPackageRatioTooHigh:
      text = "The workbook looks hostile: its parts together unpack to far more than a workbook's data ever does (" +
             d + ", stopped in " + p + ").";
      break;
    case XlsxErrorCode::kRowsOutOfOrder:
      text = "The workbook cannot be read row by row: in " + p + " " + d +
             " comes after a later row. Open it in a spreadsheet program, save it again and try again.";
      break;
    case XlsxErrorCode::kXmlTooDeep:
      text = "The workbook is damaged or hostile: its part " + p + " nests its elements more than " + d +
             " levels deep, which workbooks never do.";
      break;
    case XlsxErrorCode::kSheetNameTwins:
      text = "The workbook is damaged: it holds two sheets named \"" + p + "\" and \"" + d +
             "\", names that differ only in case, which spreadsheet programs forbid. Rename one of them in a "
             "spreadsheet program and try again.";
      break;
  }
  throw XlsxError(code, text, at);
}

}  // namespace cw::sheet
