// The parts of an OpenDocument spreadsheet read as one document: number styles and cell
// styles (styles.xml, then content.xml's automatic styles), the settings that name the active
// sheet (settings.xml), and the body (content.xml), whose rows go to a sink as they are read.
// A flat .fods file holds all of these in one XML document and goes through the same handler.
//
// Rows and columns repeated by number-rows-repeated and number-columns-repeated are handed on
// once with their count, never copied here: the thousands of empty rows and the sixteen
// thousand empty columns that LibreOffice writes at the ends of a sheet cost one step each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sheet/ods/number_styles.h"
#include "sheet/workbook.h"
#include "sheet/xlsx/xml_part.h"

namespace cw::sheet::ods {

// One cell of a row, standing for `count` equal cells from `column` on.
struct RowCell {
  std::uint32_t column = 0;
  std::uint32_t count = 1;
  CellKind kind = CellKind::kNumber;
  std::uint32_t style = 0;  // index into Workbook::style_formats
  double number = 0;
  bool boolean = false;
  CellError error = CellError::kNull;
  std::string text;  // kString
};

class RowSink {
 public:
  virtual ~RowSink() = default;
  // A sheet begins; sheets are numbered from 0 in the order of the file.
  virtual void SheetStarted(std::size_t /*sheet*/) {}
  // Rows [first, first + count) of the sheet begun last each hold `cells` (non-empty, by
  // column), all within the sheet's bounds. Rows without a cell are never handed on.
  virtual void Rows(std::uint32_t first, std::uint32_t count, std::span<const RowCell> cells) = 0;
  // Whether cells are wanted at all: the sheet names alone are read faster without them.
  virtual bool WantsCells() const { return true; }
  // Whether the cells of sheet `sheet` are wanted.
  virtual bool WantsSheet(std::size_t /*sheet*/) const { return true; }
};

// Caps on what one spreadsheet may hold, beyond the caps on each part.
struct OdsLimits {
  std::uint64_t max_cells = 100'000'000;
  // Copies of non-empty cells that repeats make beyond the cells the file writes: a repeat
  // count of 2^31 on a non-empty row of a few bytes would otherwise fill the memory.
  std::uint64_t max_repeated_copies = 2'000'000;  // 48 MB of cell records
  std::uint64_t max_styles = 1'048'576;
  std::uint64_t max_sheets = 65'536;
  // Text that runs of spaces (text:s text:c="...") add, over the whole document.
  std::uint64_t max_space_run_bytes = std::uint64_t{64} << 20;
  // Text that repeats copy beyond the first, over the whole document: the cap on copies
  // counts cells, and one cell of 100,000 spaces repeated a million times is 100 GB of cards.
  std::uint64_t max_repeated_text_bytes = std::uint64_t{64} << 20;
};

class DocumentHandler : public xlsx::XmlHandler {
 public:
  // Fills `book` (sheet names, active sheet, date system, styles and formats) and hands the
  // rows to `sink`.
  DocumentHandler(Workbook& book, RowSink& sink, const OdsLimits& limits = {});

  // The part (or file) parsed next, for the errors it raises.
  void SetPart(std::string part) { part_ = std::move(part); }

  void Start(std::string_view name, const xlsx::Attributes& attributes) override;
  void End(std::string_view name) override;
  void Text(std::string_view text) override;

  // After the last part: the active sheet by the name the settings gave (the first sheet
  // when none or an unknown one). Throws OdsError when no sheet was found.
  void Finish();
  bool BodySeen() const { return body_seen_; }
  // What the body holds when it is no spreadsheet ("text document"), else empty.
  const std::string& OtherBody() const { return other_body_; }

 private:
  void ResolveCellStyles();
  std::uint32_t StyleIndex(const char* name) const;
  std::uint32_t ColumnDefault(std::uint64_t column) const;
  void StartCell(bool covered, const xlsx::Attributes& attributes);
  void EndCell();
  void EndRow();
  void AddSpaces(std::uint64_t count);

  Workbook& book_;
  RowSink& sink_;
  OdsLimits limits_;
  NumberStyles numbers_;
  std::string part_;
  std::uint64_t depth_ = 0;

  // Cell styles by name: parent and data style, then the model's style index.
  struct CellStyle {
    std::string parent;
    std::string data_style;
  };
  std::map<std::string, CellStyle, std::less<>> cell_styles_;
  std::map<std::string, std::uint32_t, std::less<>> style_index_;
  std::vector<bool> exact_;  // by style index: the code shows what the style shows

  // The document's language: its default cell style's, read from styles.xml.
  bool in_default_cell_style_ = false;
  std::string language_, country_, asian_language_, asian_country_;

  // Settings.
  std::uint64_t config_item_depth_ = 0;
  std::string active_name_;
  bool active_named_ = false;

  // Body.
  bool body_seen_ = false;
  std::uint64_t body_depth_ = 0;
  std::uint32_t default_style_ = 0;  // the style "Default", which a cell without one takes
  bool in_spreadsheet_ = false;
  std::string other_body_;
  std::uint64_t sheet_depth_ = 0;  // depth of the sheet's table:table, 0 outside one
  bool sheet_wanted_ = false;
  std::size_t sheet_count_ = 0;
  std::set<std::string> folded_names_;
  struct ColumnDefaultRun {
    std::uint64_t first;
    std::uint32_t style;
  };
  std::vector<ColumnDefaultRun> column_defaults_;
  std::uint64_t column_cursor_ = 0;
  std::uint64_t row_ = 0;
  std::uint64_t row_repeat_ = 1;
  std::uint32_t row_style_ = 0;
  bool row_has_style_ = false;
  std::uint64_t column_ = 0;
  std::vector<RowCell> cells_;
  std::uint64_t cells_read_ = 0;
  std::uint64_t copies_ = 0;
  std::uint64_t repeated_text_ = 0;  // bytes of text the repeats copy, beyond each first
  std::uint64_t spaces_ = 0;

  // The cell being read.
  std::uint64_t cell_depth_ = 0;  // 0 outside a cell
  std::uint64_t cell_repeat_ = 1;
  bool cell_covered_ = false;
  RowCell cell_;
  bool cell_has_value_ = false;
  bool cell_wants_text_ = false;
  bool cell_text_is_value_ = false;  // an error or a string: the text is the value
  std::uint64_t paragraph_depth_ = 0;
  std::size_t paragraphs_ = 0;
  std::uint64_t ignore_depth_ = 0;  // an annotation, a shape, a nested table: never shown
  std::string text_;
};

}  // namespace cw::sheet::ods
