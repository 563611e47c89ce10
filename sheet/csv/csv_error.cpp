#include "sheet/csv/csv_error.h"

#include <array>
#include <string>

namespace cw::sheet {
namespace {

struct Message {
  CsvErrorCode code;
  std::string_view form;  // {at}: "line 3, column 7"; {detail}
};

constexpr std::array kMessages = {
    Message{CsvErrorCode::kUnreadable, "The text file cannot be read ({detail})."},
    Message{CsvErrorCode::kBadUtf8,
            "The text file is damaged: it is marked as UTF-8, but at {at} it holds bytes that are no UTF-8 text."},
    Message{CsvErrorCode::kBadUtf16,
            "The text file is damaged: its UTF-16 text breaks off in the middle of a character at {at}."},
    Message{CsvErrorCode::kLineTooLong,
            "The text file cannot be read as a table: the record that begins at {at} runs on for more than "
            "{detail}, far more than a row of a table holds (often a quotation mark that is never closed, or a file "
            "that is no text)."},
    Message{CsvErrorCode::kTooManyRows,
            "The text file holds more rows than a sheet does (1,048,576); it goes on at {at}."},
    Message{CsvErrorCode::kTooManyColumns,
            "The text file holds more columns than a sheet does (16,384) in the record at {at}."},
    Message{CsvErrorCode::kUnknownCodePage, "The text file cannot be read in the ANSI code page {detail}."},
    Message{CsvErrorCode::kNotText,
            "This is not a text file: it holds bytes that no text holds (NUL or other control characters), as a "
            "program, a picture or a compressed file does. Choose the workbook, or the text file the table was "
            "saved as."},
    Message{CsvErrorCode::kOutOfMemory,
            "The text file holds more cells than fit in the memory this program may use. Split it into smaller "
            "files and try again."},
};

}  // namespace

void FailCsv(CsvErrorCode code, std::size_t line, std::size_t column, std::string_view detail) {
  const std::string_view form = MessageForm(kMessages, code, "The text file cannot be read.");
  const std::string at =
      line == 0 ? std::string() : "line " + std::to_string(line) + (column ? ", column " + std::to_string(column) : "");
  throw CsvError(code, FillMessage(form, {{"{at}", at}, {"{detail}", detail}}), line, column);
}

}  // namespace cw::sheet
