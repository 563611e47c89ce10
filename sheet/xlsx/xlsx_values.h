// The text forms inside .xlsx parts: counts and numbers as attributes and <v> hold them,
// ISO 8601 dates of t="d" cells, and the "_xHHHH_" escapes of strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sheet/workbook.h"

namespace cw::sheet::xlsx {

// Reservations made from counts and sizes a file declares go no further than this; past it
// the storage grows as the items really come.
inline constexpr std::uint64_t kMaxReserve = 1u << 20;

// A value that is not text (a number, an index, a date, a code) is short; one longer than
// this is damage. Text itself has no cap of its own: spreadsheet programs stop at 32,767
// characters, but libraries write longer strings, and the package's inflation budget
// already bounds how much text a workbook can hold.
inline constexpr std::size_t kMaxValueBytes = 7 * 32'767;

bool EndsWith(std::string_view s, std::string_view tail);
// `s` without the XML blanks (space, tab, CR, LF) around it.
inline std::string_view TrimSpace(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}
// A decimal count such as an index or a row number; nothing when malformed or too large.
// (Inline: read for most cells of a worksheet.)
inline std::optional<std::uint64_t> ParseCount(std::string_view s) {
  s = TrimSpace(s);
  if (s.empty() || s.size() > 18) return std::nullopt;  // 18 digits never overflow
  std::uint64_t value = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value;
}
// A finite number in the xsd:double form <v> holds; nothing otherwise.
std::optional<double> ParseNumber(std::string_view s);
// The value of a hex digit, or -1.
int HexValue(char c);

// Text with its "_xHHHH_" escapes (ECMA-376 Part 1, 22.9.2.19 ST_Xstring) decoded.
std::string DecodeXstring(std::string text);
// The same, in `text` itself (it never grows), so the hot paths keep their buffers.
void DecodeXstringInPlace(std::string& text);
// The serial number of an ISO 8601 date-time (a t="d" cell) in `system`, or nothing.
std::optional<double> IsoDateSerial(std::string_view text, DateSystem system);

}  // namespace cw::sheet::xlsx
