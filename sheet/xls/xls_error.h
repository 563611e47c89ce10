// The one error type of the .xls reader (compound file and BIFF layers alike): a code for
// tests and callers, a description for the person at the window, and the byte offset in
// the file (compound-file layer) or in the workbook stream (BIFF layer) where reading stopped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sheet/read_error.h"

namespace cw::sheet {

enum class XlsErrorCode : std::uint8_t {
  kNotXls,                 // neither a compound file nor a bare BIFF stream
  kCompoundFileDamaged,    // bad header field, sector number, directory link or size
  kCompoundFileTruncated,  // a sector or chain runs past the end of the file
  kChainLoops,             // a sector chain or directory tree comes back on itself
  kNoWorkbookStream,       // a compound file without "Workbook" or "Book" (a Word document, ...)
  kEncryptedPackage,       // an encrypted .xlsx package ("EncryptionInfo" + "EncryptedPackage")
  kPasswordProtected,      // FILEPASS in the workbook globals
  kBiff2,                  // Excel 2.1 worksheet
  kBiff3,                  // Excel 3.0 worksheet
  kBiff4,                  // Excel 4.0 worksheet or workbook
  kUnknownBiffVersion,     // a BOF record with a version we do not know
  kRecordTruncated,        // a record or the stream ends before its data does
  kRecordDamaged,          // a record's fields contradict each other or the file
  kNoWorksheets,           // the workbook has sheets, but none of them is a worksheet
  kSheetNameTwins,         // two sheets whose names differ only in case
  kWorkbookStreamTwins,    // two root streams "Workbook" (or "Book") differing only in case
};

struct XlsReadError : ReadError {
  XlsReadError(XlsErrorCode error_code, const char* description, std::size_t at, std::string_view in_part = {})
      : ReadError(description, at), code(error_code) {
    part = in_part;
  }
  XlsErrorCode code;
};

// The part that a BIFF-layer offset counts in.
inline constexpr std::string_view kWorkbookStreamPart = "workbook stream";

// Throws the XlsReadError for `code`, with its description from the one message table:
// `offset` in the file (the compound-file layer).
[[noreturn]] void FailXls(XlsErrorCode code, std::size_t offset);
// The same with `offset` in the workbook stream (the BIFF layer).
[[noreturn]] void FailBiff(XlsErrorCode code, std::size_t offset);

}  // namespace cw::sheet
