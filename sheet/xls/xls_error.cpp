#include "sheet/xls/xls_error.h"

#include <array>

namespace cw::sheet {
namespace {

struct Message {
  XlsErrorCode code;
  const char* text;
};

constexpr std::array kMessages = {
    Message{XlsErrorCode::kNotXls,
            "Not a workbook: this file is neither an Excel 97-2003 (.xls) workbook nor an older Excel file."},
    Message{XlsErrorCode::kCompoundFileDamaged,
            "This .xls workbook is damaged: its file structure is inconsistent, so it cannot be read."},
    Message{XlsErrorCode::kCompoundFileTruncated,
            "This .xls workbook is incomplete: the file ends before its data does (it may have been cut "
            "short while copying or downloading)."},
    Message{XlsErrorCode::kChainLoops,
            "This .xls workbook is damaged: its file structure points back on itself, so it cannot be read."},
    Message{XlsErrorCode::kNoWorkbookStream,
            "Not a workbook: this file is an Office document of another kind (for example a Word document), "
            "it holds no Excel workbook."},
    Message{XlsErrorCode::kEncryptedPackage,
            "This workbook is password-protected. Save it without a password and try again."},
    Message{XlsErrorCode::kPasswordProtected,
            "This workbook is password-protected. Save it without a password and try again."},
    Message{XlsErrorCode::kBiff2,
            "This workbook is in the Excel 2.1 format (BIFF2), which is too old to be read. Open it in a "
            "spreadsheet application, save it as Excel 97-2003 (.xls) or .xlsx, and try again."},
    Message{XlsErrorCode::kBiff3,
            "This workbook is in the Excel 3.0 format (BIFF3), which is too old to be read. Open it in a "
            "spreadsheet application, save it as Excel 97-2003 (.xls) or .xlsx, and try again."},
    Message{XlsErrorCode::kBiff4,
            "This workbook is in the Excel 4.0 format (BIFF4), which is too old to be read. Open it in a "
            "spreadsheet application, save it as Excel 97-2003 (.xls) or .xlsx, and try again."},
    Message{XlsErrorCode::kUnknownBiffVersion,
            "This .xls workbook was written in a version of the format that cannot be read. Open it in a "
            "spreadsheet application, save it as Excel 97-2003 (.xls) or .xlsx, and try again."},
    Message{XlsErrorCode::kRecordTruncated,
            "This .xls workbook is incomplete: its workbook data ends in the middle (it may have been cut "
            "short while copying or downloading)."},
    Message{XlsErrorCode::kRecordDamaged,
            "This .xls workbook is damaged: a part of its workbook data is inconsistent, so it cannot be read."},
    Message{XlsErrorCode::kNoWorksheets, "This .xls workbook holds no worksheet (only charts or macro sheets)."},
    Message{XlsErrorCode::kSheetNameTwins,
            "This .xls workbook is damaged: two of its sheets have names that differ only in case, which "
            "spreadsheet programs forbid, so a block's address could reach the wrong sheet."},
    Message{XlsErrorCode::kWorkbookStreamTwins,
            "This .xls workbook is damaged or crafted: its file holds two workbook streams whose names differ "
            "only in case, so its content is ambiguous."},
};

}  // namespace

namespace {

[[noreturn]] void Fail(XlsErrorCode code, std::size_t offset, std::string_view part) {
  for (const Message& m : kMessages) {
    if (m.code == code) throw XlsReadError(code, m.text, offset, part);
  }
  throw XlsReadError(code, "This .xls workbook cannot be read.", offset, part);
}

}  // namespace

void FailXls(XlsErrorCode code, std::size_t offset) { Fail(code, offset, {}); }

void FailBiff(XlsErrorCode code, std::size_t offset) { Fail(code, offset, kWorkbookStreamPart); }

}  // namespace cw::sheet
