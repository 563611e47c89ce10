// The cell records of one worksheet substream ([MS-XLS] 2.1.7.20.5), one handler per record
// kind, giving each cell to a sink as it comes: the whole-workbook read puts them in the
// model, the streaming read turns the rows of a block into texts. The sink has
//   void Reserve(std::size_t cells);          // the sheet's used range, a size hint only
//   void Add(const Cell& cell);               // a number, boolean, error or shared string
//   void AddText(Cell cell, std::string_view text);  // an inline string, never empty
// Cells come in the file's order; a later cell at the same place replaces an earlier one.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "sheet/workbook.h"
#include "sheet/xls/biff_globals.h"
#include "sheet/xls/biff_records.h"
#include "sheet/xls/xls_error.h"

namespace cw::sheet {

// Whether records of this type are cells that open with their row (STRING is not: it
// belongs to the FORMULA before it).
inline bool IsCellRecordWithRow(std::uint16_t type) {
  switch (type) {
    case biff::kNumber:
    case biff::kRk:
    case biff::kMulRk:
    case biff::kLabelSst:
    case biff::kLabel:
    case biff::kRString:
    case biff::kBoolErr:
    case biff::kFormula:
      return true;
    default:
      return false;
  }
}

template <class Sink>
class BiffSheetWalker {
 public:
  // Starts at the sheet's BOF record at `offset` (checked by ReadBiffGlobals).
  BiffSheetWalker(std::span<const std::byte> stream, std::size_t offset, BiffGlobals& globals, WalkBudget& budget)
      : cursor_(stream, offset), globals_(globals), budget_(budget) {
    cursor_.Next();
  }

  // Reads the sheet's next record, giving its cells to `sink`; false once the sheet's EOF
  // has been read. Throws XlsReadError for a damaged record.
  bool Step(Sink& sink) {
    if (depth_ == 0) return false;
    record_row_.reset();
    const BiffRecord r = cursor_.Next();
    if (depth_ == 1 && IsCellRecordWithRow(r.type) && r.data.size() >= 2) record_row_ = Le16(r.data, 0);
    if (budget_.bytes < 4 + r.data.size()) FailBiff(XlsErrorCode::kRecordDamaged, r.offset);
    budget_.bytes -= 4 + r.data.size();
    // Charts embedded in a worksheet come as nested BOF ... EOF substreams.
    if (r.type == biff::kBof) {
      ++depth_;
    } else if (r.type == biff::kEof) {
      --depth_;
    } else if (depth_ == 1) {
      Dispatch(r, sink);
    }
    return depth_ > 0;
  }

  // The row of the cell record last read, when its row field could be read: after an
  // error, this says which row the damage lies in.
  std::optional<std::uint32_t> RecordRow() const { return record_row_; }

 private:
  // A FORMULA whose cached string result comes in the STRING record after it.
  struct PendingString {
    bool active = false;
    std::uint32_t row = 0;
    std::uint16_t column = 0;
    std::uint32_t style = 0;
  };

  void Dispatch(const BiffRecord& r, Sink& sink) {
    switch (r.type) {
      case biff::kDimensions:
        return OnDimensions(r, sink);
      case biff::kNumber:
        return OnNumber(r, sink);
      case biff::kRk:
        return OnRk(r, sink);
      case biff::kMulRk:
        return OnMulRk(r, sink);
      case biff::kLabelSst:
        return OnLabelSst(r, sink);
      case biff::kLabel:
      case biff::kRString:
        return OnLabel(r, sink);
      case biff::kBoolErr:
        return OnBoolErr(r, sink);
      case biff::kFormula:
        return OnFormula(r, sink);
      case biff::kString:
        return OnString(r, sink);
      default:
        return;
    }
  }

  static void CheckPlace(const BiffRecord& r, std::uint32_t row, std::uint32_t column) {
    if (row >= kMaxRows || column >= kMaxColumns) FailBiff(XlsErrorCode::kRecordDamaged, r.offset);
  }
  static void Put(Sink& sink, const BiffRecord& r, std::uint32_t row, std::uint32_t column, std::uint32_t style,
                  Cell cell) {
    CheckPlace(r, row, column);
    cell.row = row;
    cell.column = static_cast<std::uint16_t>(column);
    cell.style = style;
    sink.Add(cell);
  }
  static void PutText(Sink& sink, const BiffRecord& r, std::uint32_t row, std::uint32_t column, std::uint32_t style,
                      std::string text) {
    // An empty string shows nothing, the same as an empty cell.
    if (text.empty()) return;
    CheckPlace(r, row, column);
    Cell cell;
    cell.kind = CellKind::kString;
    cell.row = row;
    cell.column = static_cast<std::uint16_t>(column);
    cell.style = style;
    sink.AddText(cell, std::move(text));
  }
  // The row, column and cell format that open every cell record.
  static std::uint32_t Row(const BiffRecord& r) { return Le16(r.data, 0); }
  static std::uint32_t Column(const BiffRecord& r) { return Le16(r.data, 2); }
  static std::uint32_t Style(const BiffRecord& r) { return Le16(r.data, 4); }

  void OnDimensions(const BiffRecord& r, Sink& sink) {
    // The used range as the writer saw it: only a hint to size the cell store.
    const auto& d = r.data;
    const bool wide = globals_.strings.version == BiffVersion::kBiff8;
    if (d.size() < (wide ? 12u : 8u)) return;
    const std::uint64_t rows = wide ? std::uint64_t{Le32(d, 4)} - std::min(Le32(d, 0), Le32(d, 4))
                                    : std::uint64_t{Le16(d, 2)} - std::min(Le16(d, 0), Le16(d, 2));
    const std::size_t c = wide ? 8 : 4;
    const std::uint64_t columns = Le16(d, c + 2) - std::min(Le16(d, c), Le16(d, c + 2));
    const std::size_t reserve = static_cast<std::size_t>(std::min<std::uint64_t>(rows * columns, budget_.cells));
    budget_.cells -= reserve;
    sink.Reserve(reserve);
  }

  void OnNumber(const BiffRecord& r, Sink& sink) {
    NeedData(r, 14);
    pending_.active = false;
    Cell cell;
    cell.number = LeDouble(r.data, 6);
    Put(sink, r, Row(r), Column(r), Style(r), cell);
  }

  void OnRk(const BiffRecord& r, Sink& sink) {
    NeedData(r, 10);
    pending_.active = false;
    Cell cell;
    cell.number = DecodeRk(Le32(r.data, 6));
    Put(sink, r, Row(r), Column(r), Style(r), cell);
  }

  void OnMulRk(const BiffRecord& r, Sink& sink) {
    // rw, colFirst, then (ixfe, rk) per cell, then colLast.
    NeedData(r, 6);
    pending_.active = false;
    const auto& d = r.data;
    const std::uint32_t row = Row(r);
    const std::uint32_t first = Column(r);
    const std::size_t count = (d.size() - 6) / 6;
    for (std::size_t i = 0; i < count; ++i) {
      Cell cell;
      cell.number = DecodeRk(Le32(d, 4 + 6 * i + 2));
      Put(sink, r, row, first + static_cast<std::uint32_t>(i), Le16(d, 4 + 6 * i), cell);
    }
  }

  void OnLabelSst(const BiffRecord& r, Sink& sink) {
    NeedData(r, 10);
    pending_.active = false;
    const std::uint32_t index = Le32(r.data, 6);
    if (index >= globals_.shared_string_count) FailBiff(XlsErrorCode::kRecordDamaged, r.offset);
    if (globals_.workbook.strings[index].empty()) return;
    Cell cell;
    cell.kind = CellKind::kString;
    cell.string_index = index;
    Put(sink, r, Row(r), Column(r), Style(r), cell);
  }

  void OnLabel(const BiffRecord& r, Sink& sink) {
    NeedData(r, 8);
    pending_.active = false;
    std::size_t at = 6;
    std::string text = globals_.strings.RecordString(r, at, false);
    PutText(sink, r, Row(r), Column(r), Style(r), std::move(text));
  }

  void OnBoolErr(const BiffRecord& r, Sink& sink) {
    NeedData(r, 8);
    pending_.active = false;
    Cell cell;
    const std::uint8_t value = std::to_integer<std::uint8_t>(r.data[6]);
    if (std::to_integer<unsigned>(r.data[7]) != 0) {
      const auto error = ErrorFromBiffCode(value);
      if (!error) return;  // an error code no spreadsheet writes
      cell.kind = CellKind::kError;
      cell.error = *error;
    } else {
      cell.kind = CellKind::kBoolean;
      cell.boolean = value != 0;
    }
    Put(sink, r, Row(r), Column(r), Style(r), cell);
  }

  void OnFormula(const BiffRecord& r, Sink& sink) {
    // rw, col, ixfe, then the cached result (8 bytes): a double, or when its last two
    // bytes are FFFF a type byte at +0: 0 string (in the STRING record that follows),
    // 1 boolean, 2 error (value at +2), 3 empty string.
    NeedData(r, 14);
    pending_.active = false;
    const auto& d = r.data;
    const std::uint32_t row = Row(r), column = Column(r), style = Style(r);
    Cell cell;
    if (Le16(d, 12) != 0xFFFF) {
      cell.number = LeDouble(d, 6);
      return Put(sink, r, row, column, style, cell);
    }
    const unsigned type = std::to_integer<unsigned>(d[6]);
    const std::uint8_t value = std::to_integer<std::uint8_t>(d[8]);
    if (type == 0) {
      CheckPlace(r, row, column);
      pending_ = PendingString{true, row, static_cast<std::uint16_t>(column), style};
    } else if (type == 1) {
      cell.kind = CellKind::kBoolean;
      cell.boolean = value != 0;
      Put(sink, r, row, column, style, cell);
    } else if (type == 2) {
      if (const auto error = ErrorFromBiffCode(value)) {
        cell.kind = CellKind::kError;
        cell.error = *error;
        Put(sink, r, row, column, style, cell);
      }
    }
  }

  void OnString(const BiffRecord& r, Sink& sink) {
    if (!pending_.active) return;  // a STRING without its FORMULA holds nothing we show
    std::string text;
    if (globals_.strings.version == BiffVersion::kBiff5) {
      std::size_t at = 0;
      text = globals_.strings.RecordString(r, at, false);
    } else {
      ContinuedReader in(r, cursor_);
      const std::uint16_t count = in.U16();
      const std::uint8_t flags = in.U8();
      in.Chars(count, (flags & 0x01) != 0, text);
    }
    pending_.active = false;
    PutText(sink, r, pending_.row, pending_.column, pending_.style, std::move(text));
  }

  BiffCursor cursor_;
  BiffGlobals& globals_;
  WalkBudget& budget_;
  int depth_ = 1;
  PendingString pending_;
  std::optional<std::uint32_t> record_row_;
};

}  // namespace cw::sheet
