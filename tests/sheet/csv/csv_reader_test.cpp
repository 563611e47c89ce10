// Delimited text as a user's files hold it: every encoding and delimiter rule through the
// model, the stream and sheetdump alike, and damaged files refused at their line and column.
// (Hostile files are read within their budgets by tests/fixtures/hostile/hostile_budgets.sh.)
#include "sheet/csv/csv_reader.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "sheet/cell_text.h"
#include "sheet/workbook_file.h"
#include "tests/sheet/xlsx/test_package.h"

namespace cw::sheet {
namespace {

using Rows = std::vector<std::vector<std::string>>;

std::vector<std::byte> Bytes(std::string_view text) {
  std::vector<std::byte> bytes(text.size());
  if (!text.empty()) std::memcpy(bytes.data(), text.data(), text.size());
  return bytes;
}

void TrimRow(std::vector<std::string>& row) {
  while (!row.empty() && row.back().empty()) row.pop_back();
}

// The first sheet's texts from A1 to its last used cell, each row without its empty end.
Rows ModelRows(const Workbook& book) {
  Rows rows;
  const auto used = book.sheets.at(0).UsedRange();
  if (!used) return rows;
  CellTextRenderer renderer(book);
  for (std::uint32_t r = 0; r <= used->last_row; ++r) {
    rows.emplace_back();
    for (std::uint32_t c = 0; c <= used->last_column; ++c) rows.back().push_back(renderer.Text(book.sheets[0], r, c));
    TrimRow(rows.back());
  }
  return rows;
}

// The same block streamed, as the export takes it.
Rows StreamRows(WorkbookStream& stream, const Workbook& model) {
  Rows rows;
  const auto used = model.sheets.at(0).UsedRange();
  if (!used) return rows;
  const auto block =
      stream.Rows(0, {0, 0, used->last_row, used->last_column}, std::vector<bool>(used->last_column + 1, true), {});
  std::vector<std::string> texts;
  while (block->NextRow(texts)) {
    TrimRow(texts);
    rows.push_back(texts);
  }
  return rows;
}

std::string RunSheetdump(const std::string& path, const std::string& locale = "C") {
  const std::string command = "LC_ALL=" + locale + " " + CW_SHEETDUMP + " '" + path + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  std::array<char, 4096> buffer;
  std::size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), got);
  pclose(pipe);
  return out;
}

// What tests/fixtures/csv/make_csv_fixtures.py writes into every fixture.
const Rows kFixtureRows = {
    {"Name", "Phone", "Zip", "Birthday", "Notes"},
    {"Müller, Jörg", "+49 170 1234567", "00123", "1/2/2024", "Says \"hi\""},
    {"Ann Lee", "0049 30 12", "01099", "2024-02-01", "first line\r\nsecond line"},
    {"  Zoë  ", "", "007", "", "5 € | 3; 2"},
    {"Short"},
};

TEST(CsvFixtures, EveryEncodingAndDelimiterShowsTheTextAsWritten) {
  const std::filesystem::path folder = std::filesystem::path(CW_FIXTURES_DIR) / "csv";
  for (const char* name : {"utf8_comma.csv", "utf8_bom_semicolon.csv", "utf16le_tab.txt", "utf16be_comma.csv",
                           "cp1252_comma.csv", "pipe.txt", "tab_forced.tsv"}) {
    SCOPED_TRACE(name);
    const std::string path = (folder / name).string();
    const Workbook model = ReadWorkbookFile(path);
    const std::string sheet = std::filesystem::path(name).stem().string();
    ASSERT_EQ(model.sheets.size(), 1u);
    EXPECT_EQ(model.sheets[0].Name(), sheet);
    EXPECT_EQ(ModelRows(model), kFixtureRows);
    EXPECT_EQ(StreamRows(*OpenWorkbookStreamFile(path), model), kFixtureRows);

    std::string dump = "#active\t" + sheet + "\n";
    for (std::size_t r = 0; r < kFixtureRows.size(); ++r) {
      for (std::size_t c = 0; c < kFixtureRows[r].size(); ++c) {
        std::string text = kFixtureRows[r][c];
        if (text.empty()) continue;
        for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n")) {
          text.replace(at, 2, "\\r\\n");
        }
        dump += sheet + "\t" + static_cast<char>('A' + c) + std::to_string(r + 1) + "\t" + text + "\n";
      }
    }
    EXPECT_EQ(RunSheetdump(path), dump);
  }
}

// The ANSI code page comes from the locale of whoever reads the file.
TEST(CsvFixtures, SheetdumpReadsAnsiTextInTheLocalesCodePage) {
  testing::TempDir dir;
  const std::string path = dir.File("kontakty.csv");
  testing::WriteFile(path, std::string("\xC8\xE2\xE0\xED,\xCF\xE5\xF2\xF0\xEE\xE2\n"));  // "Иван,Петров" in 1251
  EXPECT_EQ(RunSheetdump(path, "ru_RU.UTF-8"), "#active\tkontakty\nkontakty\tA1\tИван\nkontakty\tB1\tПетров\n");
  EXPECT_EQ(RunSheetdump(path, "de_DE.UTF-8"), "#active\tkontakty\nkontakty\tA1\tÈâàí\nkontakty\tB1\tÏåòðîâ\n");
}

struct RuleCase {
  std::string_view label;
  std::string_view file_name;
  std::string content;
  Rows rows;
  int code_page = 1252;
};

TEST(CsvRules, QuotingDelimitersAndEncodingsGiveTheseCells) {
  const RuleCase cases[] = {
      // Quoting.
      {"quoted delimiters and line breaks", "a.csv", "a,\"b,c\",\"d\ne\"\n", {{"a", "b,c", "d\ne"}}},
      {"doubled quote", "a.csv", "\"say \"\"hi\"\"\",x\n", {{"say \"hi\"", "x"}}},
      {"unquoted quotes and spaces as written", "a.csv", "ab\"c, \"x\" , y \n", {{"ab\"c", " \"x\" ", " y "}}},
      {"text after a closing mark kept", "a.csv", "\"ab\"cd,e\n", {{"abcd", "e"}}},
      {"never closed: as written", "a.csv", "a,\"b\nc,d\n", {{"a", "\"b"}, {"c", "d"}}},
      {"CR, LF and CR LF end records",
       "a.csv",
       "a,1\rb,2\nc,3\r\nd,4\r\n",
       {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}}},
      {"empty lines are empty rows", "a.csv", "a,b\n\n\nc,d", {{"a", "b"}, {}, {}, {"c", "d"}}},
      {"short rows and empty fields", "a.csv", "a,b,c\n,,d\ne\n", {{"a", "b", "c"}, {"", "", "d"}, {"e"}}},
      {"never converted",
       "a.csv",
       "00123;+49 170 1234567;1/2/2024;1E5;TRUE;=1+1;12.50\n",
       {{"00123", "+49 170 1234567", "1/2/2024", "1E5", "TRUE", "=1+1", "12.50"}}},
      // Delimiters.
      {"semicolon on most lines", "a.csv", "a;b;c\nd;e;f\ng,h\n", {{"a", "b", "c"}, {"d", "e", "f"}, {"g,h"}}},
      {"tie: comma before semicolon", "a.csv", "a,b;c\n", {{"a", "b;c"}}},
      {"tie: semicolon before tab", "a.txt", "a;b\tc\n", {{"a", "b\tc"}}},
      {"tie: tab before bar", "a.txt", "a\tb|c\n", {{"a", "b|c"}}},
      {"bar", "a.txt", "a|b\nc|d\n", {{"a", "b"}, {"c", "d"}}},
      {"delimiters inside quotes do not count", "a.csv", "\"a,b,c\";d\n\"e,f\";g\n", {{"a,b,c", "d"}, {"e,f", "g"}}},
      {".tsv takes a tab", "a.tsv", "a,b\tc\nd,e\tf\n", {{"a,b", "c"}, {"d,e", "f"}}},
      {"one column", "a.csv", "Ann\nBo\n", {{"Ann"}, {"Bo"}}},
      // Encodings.
      {"UTF-8 mark", "a.csv", "\xEF\xBB\xBFJörg,\xE2\x82\xAC\n", {{"Jörg", "€"}}},
      {"UTF-16 LE mark, a pair of halves",
       "a.csv",
       std::string("\xFF\xFE"
                   "a\0,\0\x3D\xD8\x00\xDE\n\0",
                   12),
       {{"a", "\xF0\x9F\x98\x80"}}},
      {"UTF-16 BE mark", "a.csv", std::string("\xFE\xFF\0a\0;\0\xE9", 8), {{"a", "é"}}},
      {"valid UTF-8 without a mark", "a.csv", "Zoë,Ж\n", {{"Zoë", "Ж"}}},
      {"no UTF-8: code page 1251", "a.csv", "\xC8\xE2\xE0\xED,1\n", {{"Иван", "1"}}, 1251},
      {"no UTF-8: code page 932", "a.csv", "\x82\xA0,\x93\xFA\x96\x7B\n", {{"あ", "日本"}}, 932},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const auto bytes = Bytes(c.content);
    const ReadOptions options{c.code_page};
    const Workbook model = ReadWorkbook(bytes, c.file_name, options);
    EXPECT_EQ(ModelRows(model), c.rows);
    EXPECT_EQ(StreamRows(*OpenWorkbookStream(bytes, c.file_name, options), model), c.rows);
  }
}

TEST(CsvErrors, DamagedTextIsRefusedAtItsLineAndColumn) {
  struct Case {
    std::string_view label;
    std::string content;
    CsvErrorCode code;
    std::size_t line;
    std::size_t column;
  };
  const Case cases[] = {
      {"UTF-8 mark, then no UTF-8", "\xEF\xBB\xBFJörg\nab\xFF", CsvErrorCode::kBadUtf8, 2, 3},
      {"UTF-8 mark, a sequence cut at the end", "\xEF\xBB\xBF\xC3", CsvErrorCode::kBadUtf8, 1, 1},
      {"UTF-16 trail half alone",
       std::string("\xFF\xFE"
                   "a\0\x00\xDC",
                   6),
       CsvErrorCode::kBadUtf16, 1, 2},
      {"UTF-16 lead half at the end",
       std::string("\xFF\xFE"
                   "a\0\n\0b\0\x3D\xD8",
                   10),
       CsvErrorCode::kBadUtf16, 2, 2},
      {"UTF-16 lead half before a letter", std::string("\xFE\xFF\0a\xD8\x3D\0b", 8), CsvErrorCode::kBadUtf16, 1, 2},
      {"UTF-16 odd byte at the end",
       std::string("\xFF\xFE"
                   "a\0b",
                   5),
       CsvErrorCode::kBadUtf16, 1, 2},
      {"more columns than a sheet", "a\n" + std::string(kMaxColumns, ',') + "\n", CsvErrorCode::kTooManyColumns, 2, 0},
      // Binary files named as text: no position, as they have no lines.
      {"a NUL byte", std::string("a\0b,c\n", 6), CsvErrorCode::kNotText, 0, 0},
      {"an ELF program",
       std::string("\x7F"
                   "ELF\2\1\1\0\0\0",
                   10),
       CsvErrorCode::kNotText, 0, 0},
      {"gzip data", std::string("\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\x03", 10), CsvErrorCode::kNotText, 0, 0},
      {"UTF-16 without a mark", std::string("F\0i\0r\0s\0t\0,\0N\0", 14), CsvErrorCode::kNotText, 0, 0},
      {"an escape in ANSI text", "Jos\xE9\x1B[0m,b\n", CsvErrorCode::kNotText, 0, 0},
      {"a control character in marked UTF-16",
       std::string("\xFF\xFE"
                   "a\0\x01\0",
                   6),
       CsvErrorCode::kNotText, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const auto bytes = Bytes(c.content);
    for (const bool streamed : {false, true}) {
      try {
        if (streamed) {
          const auto stream = OpenWorkbookStream(bytes, "a.csv");
          std::vector<std::string> texts;
          const auto rows = stream->Rows(0, {0, 0, 3, 0}, {true}, {});
          while (rows->NextRow(texts)) {
          }
        } else {
          ReadWorkbook(bytes, "a.csv");
        }
        ADD_FAILURE() << "read succeeded";
      } catch (const CsvError& e) {
        EXPECT_EQ(e.code, c.code) << e.what();
        EXPECT_EQ(e.line, c.line) << e.what();
        EXPECT_EQ(e.column, c.column) << e.what();
        if (c.line != 0) {
          EXPECT_NE(std::string(e.what()).find("line " + std::to_string(c.line)), std::string::npos) << e.what();
        }
      }
    }
  }
}

}  // namespace
}  // namespace cw::sheet
