// One worksheet part of an .xlsx package: the cells of <sheetData>, with and without r
// attributes, of every value type (t="n", "s", "str", "inlineStr", "b", "e", "d"),
// formulas by their cached value, each with its style index. One push parser reads them and
// hands each cell to a sink: the object model's (ReadWorksheet) or the row stream's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "sheet/workbook.h"
#include "sheet/xlsx/string_item.h"
#include "sheet/xlsx/xml_part.h"
#include "sheet/xlsx/zip_package.h"

namespace cw::sheet::xlsx {

// Where the worksheet parser's cells go.
class CellSink {
 public:
  virtual ~CellSink() = default;
  // The used area the part declares (<dimension>), 0-based; a hint, never trusted.
  virtual void Dimension(const Extent& /*area*/) {}
  // A <row> element begins; `row` is 0-based.
  virtual void RowStarted(std::uint32_t /*row*/) {}
  // Whether the cell at (row, column), 0-based, is wanted. An unwanted cell is skipped
  // without reading its value or checking it.
  virtual bool Wants(std::uint32_t /*row*/, std::uint32_t /*column*/) { return true; }
  // A cell with a value. When the parser holds the string itself (an inline string, a
  // formula's string result, an error code newer than the model's), `text` points at it
  // (the sink may take it) and cell.string_index is unset; otherwise `text` is null.
  virtual void Add(const Cell& cell, std::string* text) = 0;
  // A wanted cell whose value cannot be read ("abc" in a number cell), with why. True when
  // the sink takes it and the part goes on; false (the default) refuses the part.
  virtual bool Unreadable(std::uint32_t /*row*/, std::uint32_t /*column*/, const std::exception& /*why*/) {
    return false;
  }
};

// The push parser of a worksheet part: feed it through ParsePart or XmlPartParser.
class WorksheetParser : public XmlHandler {
 public:
  // Shared-string indices must lie below `shared_count`, style indices below
  // book.style_formats.size(); t="d" dates are read in book.date_system.
  WorksheetParser(std::string_view part, const Workbook& book, std::size_t shared_count, CellSink& sink);

  void Start(std::string_view name, const Attributes& a) override;
  void End(std::string_view name) override;
  void Text(std::string_view text) override;

 private:
  enum class ValueType : std::uint8_t { kNumber, kShared, kInline, kFormulaString, kBoolean, kError, kDate };

  void Dimension(const char* ref);
  void StartRow(const Attributes& a);
  void StartCell(const Attributes& a);
  ValueType TypeOf(std::string_view t) const;
  std::string Here() const;
  // A cell whose value is not of its type: refused, unless the sink takes the one cell.
  void BadValue(std::string_view what) const;
  void EndCell();

  std::string part_;
  const Workbook& book_;
  std::size_t shared_count_;
  CellSink& sink_;

  bool in_data_ = false;
  bool row_started_ = false;
  std::uint32_t row_ = 0;
  std::uint32_t next_column_ = 0;

  bool in_cell_ = false;
  bool skip_cell_ = false;
  bool in_inline_ = false;
  bool saw_inline_ = false;
  bool has_value_ = false;
  std::uint32_t cell_row_ = 0;
  std::uint32_t cell_column_ = 0;
  std::uint32_t style_ = 0;
  ValueType type_ = ValueType::kNumber;
  std::string value_;
  StringItem item_;
};

// Adds the cells of `part` to `sheet` (Finish() is the caller's). Shared-string indices must
// lie below `shared_count`, style indices below book.style_formats.size(); inline strings go
// to book.strings. Each cell takes one of `cells_left` (of `max_cells` in all). Returns the
// rows spanned from the first to the last row holding a cell.
std::uint64_t ReadWorksheet(const ZipPackage& package, const std::string& part, Workbook& book, Worksheet& sheet,
                            std::size_t shared_count, std::uint64_t& cells_left, std::uint64_t max_cells);

}  // namespace cw::sheet::xlsx
