// The base of every reader's error: a description a person at the window can act on, and
// where the reader stopped. Each reader derives its own type with its own code enum and builds
// its descriptions in one place, from one table of message forms filled by FillMessage.
//
// Where a reader stopped means one thing per field: `offset` is a byte offset into the bytes
// named by `part` (the file itself when `part` is empty: a compound file's sector, a stream
// record of an .xls), and `line` and `column` (1-based, 0 when unknown) a position in text
// (an XML part of a package, a CSV file), counted in characters.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace cw::sheet {

struct ReadError : std::runtime_error {
  ReadError(const std::string& description, std::size_t at) : std::runtime_error(description), offset(at) {}
  ReadError(const std::string& description, std::string where, std::size_t at_line, std::size_t at_column)
      : std::runtime_error(description), part(std::move(where)), line(at_line), column(at_column) {}
  std::string part;        // the package part or stream the position is in; empty: the file
  std::size_t offset = 0;  // byte offset in `part` (binary data)
  std::size_t line = 0;    // 1-based line in text data, 0 for binary data
  std::size_t column = 0;  // 1-based column on that line, in characters; 0 when unknown
};

// The form a reader's table of messages gives `code` (rows with `code` and `form`), or
// `fallback` for a code the table lacks.
template <typename Table, typename Code>
std::string_view MessageForm(const Table& table, Code code, std::string_view fallback) {
  for (const auto& row : table) {
    if (row.code == code) return row.form;
  }
  return fallback;
}

// `form` with each of its fields ("{part}", "{detail}", ...) replaced by its text.
std::string FillMessage(std::string_view form,
                        std::initializer_list<std::pair<std::string_view, std::string_view>> fields);

}  // namespace cw::sheet
