// The benchmark workbook: a contacts list written with libxlsxwriter, shared by the reading
// and the export benchmarks. One sheet "Contacts"; row 1 holds the headings, rows 2 to
// rows + 1 one contact each (so the data block is A2:L<rows + 1>). Columns:
//   A First Name   string; every 7th row a non-ASCII name (Zoë, Łukasz, 山田, Σοφία, ...)
//   B Last Name    string
//   C Email        string, unique per row
//   D Home Voice   number 10 digits, custom format "(###) ###-####"  -> "(555) 010-1234"
//   E Cellular     string "+49 170 1234567"
//   F Home Address string, unique per row
//   G Home City    string from a short list
//   H Home Zip     number, custom format "00000" (leading zeros)         -> "02134"
//   I Home Country string from a short list
//   J Birthday     date serial, custom format "yyyy-mm-dd"                -> "1984-07-21"
//   K Title        string from a short list
//   L Notes        string of two lines joined by "\n"
// The content is a fixed function of the row number, the same on every run.
#pragma once

#include <string>
#include <vector>

namespace cw::bench {

inline constexpr int kContactColumns = 12;

// The field kind of each column, A to L, in the exact texts of the column list (the
// headings of row 1 are the same texts).
std::vector<std::string> ContactsColumnKinds();
// The letters of the last column, "L".
std::string ContactsLastColumnLetters();

// Writes the workbook at `path` with `rows` contacts. Throws std::runtime_error on failure.
void WriteContactsWorkbook(const std::string& path, int rows);

}  // namespace cw::bench
