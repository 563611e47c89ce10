// The one error type of the delimited-text reader: a code for tests and callers, a
// description for the person at the window, and where reading stopped as a line and a column
// of the text (both 1-based, the column counted in characters).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sheet/read_error.h"

namespace cw::sheet {

enum class CsvErrorCode : std::uint8_t {
  kUnreadable,       // the file cannot be read (the system's reason in the detail)
  kBadUtf8,          // marked as UTF-8 by its byte-order mark, yet holds bytes that are no UTF-8
  kBadUtf16,         // half of a UTF-16 surrogate pair, or an odd byte at the end
  kLineTooLong,      // one record over the cap (a quoted field never closed in a large file)
  kTooManyRows,      // more records than a sheet has rows
  kTooManyColumns,   // a record with more fields than a sheet has columns
  kUnknownCodePage,  // the ANSI code page given has no converter
  kOutOfMemory,      // the cells do not fit in the memory the program may take
  kNotText,          // NUL or another control byte but tab, CR and LF: a binary file named as text
};

struct CsvError : ReadError {
  CsvError(CsvErrorCode c, const std::string& description, std::size_t at_line, std::size_t at_column)
      : ReadError(description, {}, at_line, at_column), code(c) {}
  CsvErrorCode code;
};

// Throws the CsvError for `code`, its description from the one message table, with `detail`
// (the system's reason, a code page number) where the message names one.
[[noreturn]] void FailCsv(CsvErrorCode code, std::size_t line, std::size_t column, std::string_view detail = {});

}  // namespace cw::sheet
