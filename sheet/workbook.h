// The workbook model that every reader fills and everything above the readers uses:
// sheets in workbook order, the active sheet, the date system, the string pool, the
// cell formats, and per sheet its cells in compact row-major storage (one small record
// per non-empty cell, no heap object per cell).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cw::sheet {

// k1900 and k1904 are the spreadsheet's two systems; kLibreOffice counts from 30 Dec 1899
// without the 1900 system's 29 Feb 1900, and shows days before 15 Oct 1582 in the Julian
// calendar, as LibreOffice does.
enum class DateSystem : std::uint8_t { k1900, k1904, kLibreOffice };

enum class CellKind : std::uint8_t { kNumber, kString, kBoolean, kError };

// The error values a cell can hold, shown as spreadsheets show them.
enum class CellError : std::uint8_t { kNull, kDiv0, kValue, kRef, kName, kNum, kNA, kGettingData };

// "#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#N/A", "#GETTING_DATA".
std::string_view ErrorText(CellError error);
// The error whose text is `text`, or nothing.
std::optional<CellError> ErrorFromText(std::string_view text);
// The error for a BIFF error code (0x00, 0x07, 0x0F, 0x17, 0x1D, 0x24, 0x2A, 0x2B), or nothing.
std::optional<CellError> ErrorFromBiffCode(std::uint8_t code);

// One non-empty cell. Rows and columns are 0-based here; the engine speaks 1-based.
struct Cell {
  std::uint32_t row = 0;
  std::uint16_t column = 0;
  CellKind kind = CellKind::kNumber;
  std::uint32_t style = 0;  // index into Workbook::style_formats
  union {
    double number = 0;           // kNumber
    std::uint32_t string_index;  // kString: index into Workbook::strings
    bool boolean;                // kBoolean
    CellError error;             // kError
  };
};

inline constexpr std::uint32_t kMaxRows = 1048576;   // rows 1..1048576
inline constexpr std::uint32_t kMaxColumns = 16384;  // columns A..XFD

// The used range of a sheet, 0-based and inclusive.
struct Extent {
  std::uint32_t first_row = 0;
  std::uint32_t first_column = 0;
  std::uint32_t last_row = 0;
  std::uint32_t last_column = 0;
};

class Worksheet {
 public:
  explicit Worksheet(std::string name = {}) : name_(std::move(name)) {}

  const std::string& Name() const { return name_; }

  // Reader side: cells may come in any order; a later cell at the same place replaces
  // an earlier one. Call Finish() once all cells are in.
  void Add(const Cell& cell) { cells_.push_back(cell); }
  void Reserve(std::size_t count) { cells_.reserve(count); }
  void Finish();

  // The cell at (row, column), 0-based, or nullptr when that cell is empty.
  const Cell* Find(std::uint32_t row, std::uint32_t column) const;
  // All cells, row-major. Valid after Finish().
  std::span<const Cell> Cells() const { return cells_; }
  // The cells of one row, by column. Valid after Finish().
  std::span<const Cell> RowCells(std::uint32_t row) const;
  // The smallest block holding every non-empty cell; nothing for an empty sheet.
  std::optional<Extent> UsedRange() const { return used_; }

 private:
  std::string name_;
  std::vector<Cell> cells_;
  // Row-major index: for rows first_row..last_row, the position of the row's first cell.
  std::vector<std::uint32_t> row_starts_;
  std::optional<Extent> used_;
};

// The workbook's strings, packed into one buffer with where each begins: a contacts sheet
// holds millions of short strings, and a std::string apiece would cost twice their text.
// A view it gives stays valid until the next string is added.
class StringPool {
 public:
  std::size_t size() const { return starts_.size(); }
  bool empty() const { return starts_.empty(); }
  std::string_view operator[](std::size_t index) const {
    const std::size_t end = index + 1 < starts_.size() ? starts_[index + 1] : text_.size();
    return std::string_view(text_).substr(starts_[index], end - starts_[index]);
  }
  // Adds a string. Throws ReadError past 4 GiB of text in all.
  void push_back(std::string_view text);
  // Room for `count` more strings and `bytes` more text, as a file declares them.
  void reserve(std::size_t count, std::size_t bytes = 0);
  // Empties the pool, keeping its room for the next strings.
  void clear() {
    starts_.clear();
    text_.clear();
  }
  // Empties the pool and gives its memory back.
  void Release();
  // The memory the pool holds: its text and where each string begins.
  std::size_t MemoryBytes() const { return text_.capacity() + starts_.capacity() * sizeof(std::uint32_t); }

 private:
  std::vector<std::uint32_t> starts_;
  std::string text_;
};

class Workbook {
 public:
  std::vector<Worksheet> sheets;
  std::size_t active_sheet = 0;  // index into sheets
  DateSystem date_system = DateSystem::k1900;
  StringPool strings;                                   // shared strings, then inline strings
  std::vector<std::uint32_t> style_formats;             // cell style index -> number format id
  std::map<std::uint32_t, std::string> custom_formats;  // number format id -> format code
  // Whether a format code's own locale tag ("[$-407]") decides its decimal and grouping
  // separators: so in OpenDocument files, whose number styles each carry their language.
  bool code_locale_separators = false;
  // Whether cells show by LibreOffice's rules rather than Excel's (an OpenDocument
  // spreadsheet): see NumberFormatter::UseLibreOfficeRules.
  bool libreoffice_display = false;

  // Adds a string to the pool and returns its index.
  std::uint32_t AddString(std::string_view text);
  // The number format id of a cell style (0, General, for an unknown style).
  std::uint32_t FormatIdOf(std::uint32_t style) const;
  // The format code stored for a custom id; empty for built-in ids.
  std::string_view CustomCode(std::uint32_t format_id) const;
  // The index of the sheet named `name` (case-insensitive, as spreadsheets match), or nothing.
  std::optional<std::size_t> FindSheet(std::string_view name) const;
};

// `name` case-folded as spreadsheets compare sheet names ("Straße" and "STRASSE" fold alike).
std::string FoldSheetName(std::string_view name);
// The first two of `names` that differ only in case, or nothing. Spreadsheets forbid such
// twins; a workbook holding them is refused, so that an address never reaches the wrong one.
std::optional<std::pair<std::size_t, std::size_t>> CaseTwins(const std::vector<std::string>& names);

}  // namespace cw::sheet
