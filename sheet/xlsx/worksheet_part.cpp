#include "sheet/xlsx/worksheet_part.h"

#include <algorithm>

#include "sheet/address.h"
#include "sheet/xlsx/xlsx_error.h"
#include "sheet/xlsx/xlsx_values.h"

namespace cw::sheet::xlsx {

WorksheetParser::WorksheetParser(std::string_view part, const Workbook& book, std::size_t shared_count, CellSink& sink)
    : part_(part), book_(book), shared_count_(shared_count), sink_(sink) {}

void WorksheetParser::Start(std::string_view name, const Attributes& a) {
  if (!in_data_) {
    if (name == "sheetData") {
      in_data_ = true;
    } else if (name == "dimension") {
      Dimension(a.Get("ref"));
    }
    return;
  }
  if (in_cell_) {
    if (skip_cell_) return;
    if (name == "v") {
      capturing_ = true;
      has_value_ = true;
    } else if (name == "is") {
      in_inline_ = true;
      has_value_ = true;
      saw_inline_ = true;
      item_.Reset();
    } else if (in_inline_) {
      capturing_ = item_.Start(name);
    }
    return;
  }
  if (name == "c") {
    StartCell(a);
  } else if (name == "row") {
    StartRow(a);
  }
}

void WorksheetParser::End(std::string_view name) {
  if (!in_data_) return;
  if (in_cell_) {
    if (name == "c") {
      EndCell();
    } else if (skip_cell_) {
      return;
    } else if (name == "v") {
      capturing_ = false;
    } else if (name == "is") {
      in_inline_ = false;
      capturing_ = false;
    } else if (in_inline_) {
      if (name == "t") capturing_ = false;
      item_.End(name);
    }
    return;
  }
  if (name == "sheetData") in_data_ = false;
}

void WorksheetParser::Text(std::string_view text) {
  // Text is read whole, however long; any other value is short.
  const bool is_text = saw_inline_ || type_ == ValueType::kInline || type_ == ValueType::kFormulaString;
  if (!is_text && value_.size() + text.size() > kMaxValueBytes) {
    FailXlsx(XlsxErrorCode::kBadValue, part_, "the cell " + Here() + " holds more text than a cell can");
  }
  value_.append(text);
}

void WorksheetParser::Dimension(const char* ref) {
  if (!ref) return;
  const std::string_view r(ref);
  const std::size_t colon = r.find(':');
  if (colon == std::string_view::npos) return;
  const auto first = ParseCellReference(r.substr(0, colon));
  const auto last = ParseCellReference(r.substr(colon + 1));
  if (!first || !last || last->row < first->row || last->column < first->column) return;
  sink_.Dimension(Extent{first->row - 1, first->column - 1, last->row - 1, last->column - 1});
}

void WorksheetParser::StartRow(const Attributes& a) {
  if (const char* r = a.Get("r")) {
    const auto n = ParseCount(r);
    if (!n || *n < 1 || *n > kMaxRows) FailXlsx(XlsxErrorCode::kBadRowNumber, part_, r);
    row_ = static_cast<std::uint32_t>(*n - 1);
  } else {
    // A row without a number follows the previous one.
    row_ = row_started_ ? row_ + 1 : 0;
    if (row_ >= kMaxRows) FailXlsx(XlsxErrorCode::kBadRowNumber, part_, std::to_string(std::uint64_t{row_} + 1));
  }
  row_started_ = true;
  next_column_ = 0;
  sink_.RowStarted(row_);
}

void WorksheetParser::StartCell(const Attributes& a) {
  in_cell_ = true;
  has_value_ = false;
  in_inline_ = false;
  saw_inline_ = false;
  value_.clear();
  type_ = ValueType::kNumber;
  style_ = 0;
  const char* ref = nullptr;
  const char* type = nullptr;
  const char* style = nullptr;
  for (const char** p = a.Raw(); p && *p; p += 2) {
    // The names are nearly always a single letter without a prefix.
    const char* name = p[0];
    const std::string_view n = name[0] != '\0' && name[1] == '\0' ? std::string_view(name, 1) : LocalName(name);
    if (n.size() != 1) continue;
    switch (n[0]) {
      case 'r':
        ref = p[1];
        break;
      case 't':
        type = p[1];
        break;
      case 's':
        style = p[1];
        break;
      default:
        break;
    }
  }
  if (ref) {
    const auto at = ParseCellReference(ref);
    if (!at) FailXlsx(XlsxErrorCode::kBadCellReference, part_, ref);
    cell_row_ = at->row - 1;
    cell_column_ = at->column - 1;
    // The reference wins over the row's number; cells and rows without one follow it.
    row_ = cell_row_;
    row_started_ = true;
  } else {
    // A cell without a reference takes the place after the previous cell of its row.
    if (next_column_ >= kMaxColumns) {
      FailXlsx(XlsxErrorCode::kBadCellReference, part_,
               "(the cell after XFD" + std::to_string(std::uint64_t{row_} + 1) + ")");
    }
    cell_row_ = row_;
    cell_column_ = next_column_;
  }
  next_column_ = cell_column_ + 1;
  skip_cell_ = !sink_.Wants(cell_row_, cell_column_);
  if (skip_cell_) return;
  if (style) {
    const auto s = ParseCount(style);
    if (!s) FailXlsx(XlsxErrorCode::kStyleIndex, part_, "the format index \"" + std::string(style) + "\" of " + Here());
    if (*s != 0 && *s >= book_.style_formats.size()) {
      FailXlsx(XlsxErrorCode::kStyleIndex, part_, "the format index " + std::to_string(*s) + " of " + Here());
    }
    style_ = static_cast<std::uint32_t>(*s);
  }
  if (type) type_ = TypeOf(type);
}

WorksheetParser::ValueType WorksheetParser::TypeOf(std::string_view t) const {
  if (t == "s") return ValueType::kShared;
  if (t == "n") return ValueType::kNumber;
  if (t == "str") return ValueType::kFormulaString;
  if (t == "inlineStr") return ValueType::kInline;
  if (t == "b") return ValueType::kBoolean;
  if (t == "e") return ValueType::kError;
  if (t == "d") return ValueType::kDate;
  FailXlsx(XlsxErrorCode::kBadValue, part_, "the cell " + Here() + " has the unknown type \"" + std::string(t) + "\"");
}

std::string WorksheetParser::Here() const { return CellName(cell_row_ + 1, cell_column_ + 1); }

void WorksheetParser::BadValue(std::string_view what) const {
  try {
    FailXlsx(XlsxErrorCode::kBadValue, part_,
             "the cell " + Here() + " holds \"" + std::string(value_.substr(0, 40)) + "\", which is not " +
                 std::string(what));
  } catch (const XlsxError& e) {
    // A sink that reads cell by cell takes the one cell and goes on; the others refuse the part.
    if (!sink_.Unreadable(cell_row_, cell_column_, e)) throw;
  }
}

void WorksheetParser::EndCell() {
  in_cell_ = false;
  capturing_ = false;
  // A cell with only a format, or a formula without a cached result, stays empty.
  if (skip_cell_ || !has_value_) return;
  Cell cell;
  cell.row = cell_row_;
  cell.column = static_cast<std::uint16_t>(cell_column_);
  cell.style = style_;
  std::string* text = nullptr;
  std::string own;  // an error code newer than the model's, as its text
  // Text in <is> is an inline string even where the writer left out t="inlineStr".
  if (saw_inline_) type_ = ValueType::kInline;
  switch (type_) {
    case ValueType::kNumber: {
      if (TrimSpace(value_).empty()) return;
      const auto number = ParseNumber(value_);
      if (!number) return BadValue("a number");
      cell.kind = CellKind::kNumber;
      cell.number = *number;
      break;
    }
    case ValueType::kShared: {
      const auto index = ParseCount(value_);
      if (!index) return BadValue("a shared-string index");
      if (*index >= shared_count_) {
        FailXlsx(XlsxErrorCode::kStringIndex, part_, "the cell " + Here() + " (string " + std::to_string(*index) + ")");
      }
      cell.kind = CellKind::kString;
      cell.string_index = static_cast<std::uint32_t>(*index);
      break;
    }
    case ValueType::kInline:
    case ValueType::kFormulaString:
      cell.kind = CellKind::kString;
      if (type_ == ValueType::kInline) DecodeXstringInPlace(value_);
      text = &value_;
      break;
    case ValueType::kBoolean: {
      const std::string_view v = TrimSpace(value_);
      if (v == "1" || v == "true") {
        cell.boolean = true;
      } else if (v == "0" || v == "false") {
        cell.boolean = false;
      } else {
        return BadValue("TRUE or FALSE");
      }
      cell.kind = CellKind::kBoolean;
      break;
    }
    case ValueType::kError: {
      const std::string_view v = TrimSpace(value_);
      if (const auto error = ErrorFromText(v)) {
        cell.kind = CellKind::kError;
        cell.error = *error;
      } else {
        // Error codes newer than the model's (#SPILL!, #CALC!, ...) show as their text.
        cell.kind = CellKind::kString;
        own = std::string(v);
        text = &own;
      }
      break;
    }
    case ValueType::kDate: {
      if (TrimSpace(value_).empty()) return;
      const auto serial = IsoDateSerial(value_, book_.date_system);
      if (!serial) return BadValue("a date");
      cell.kind = CellKind::kNumber;
      cell.number = *serial;
      break;
    }
  }
  sink_.Add(cell, text);
}

namespace {

// The object model's sink: cells into the sheet, strings into the book's pool.
class ModelSink : public CellSink {
 public:
  ModelSink(std::string_view part, Workbook& book, Worksheet& sheet, std::uint64_t& cells_left, std::uint64_t max_cells,
            std::uint64_t size_bound)
      : part_(part),
        book_(book),
        sheet_(sheet),
        cells_left_(cells_left),
        max_cells_(max_cells),
        size_bound_(size_bound) {}

  // The rows from the first to the last that hold a cell; the sheet's row index takes one
  // entry for each.
  std::uint64_t RowSpan() const { return last_row_ >= first_row_ ? std::uint64_t{last_row_ - first_row_} + 1 : 0; }

  void Dimension(const Extent& area) override {
    const std::uint64_t cells =
        std::uint64_t{area.last_row - area.first_row + 1} * (area.last_column - area.first_column + 1);
    // A stored cell takes at least "<c><v>0</v></c>" of the sheet's XML.
    const std::uint64_t fits = std::min<std::uint64_t>({cells, size_bound_ / 15 + 1, cells_left_, kMaxReserve});
    sheet_.Reserve(static_cast<std::size_t>(fits));
  }

  void Add(const Cell& cell, std::string* text) override {
    if (cells_left_ == 0) FailXlsx(XlsxErrorCode::kTooManyCells, part_, std::to_string(max_cells_));
    --cells_left_;
    first_row_ = std::min(first_row_, cell.row);
    last_row_ = std::max(last_row_, cell.row);
    if (!text) {
      sheet_.Add(cell);
      return;
    }
    Cell with_string = cell;
    with_string.string_index = book_.AddString(*text);
    sheet_.Add(with_string);
  }

 private:
  std::string part_;
  Workbook& book_;
  Worksheet& sheet_;
  std::uint64_t& cells_left_;
  std::uint64_t max_cells_;
  std::uint64_t size_bound_;
  std::uint32_t first_row_ = kMaxRows;
  std::uint32_t last_row_ = 0;
};

}  // namespace

std::uint64_t ReadWorksheet(const ZipPackage& package, const std::string& part, Workbook& book, Worksheet& sheet,
                            std::size_t shared_count, std::uint64_t& cells_left, std::uint64_t max_cells) {
  ModelSink sink(part, book, sheet, cells_left, max_cells, package.SizeBound(part));
  WorksheetParser parser(part, book, shared_count, sink);
  ParsePart(package, part, parser);
  return sink.RowSpan();
}

}  // namespace cw::sheet::xlsx
