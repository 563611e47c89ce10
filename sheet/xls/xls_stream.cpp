#include "sheet/xls/xls_stream.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "sheet/cell_text.h"
#include "sheet/xls/biff_globals.h"
#include "sheet/xls/biff_sheet.h"
#include "sheet/xls/xls_container.h"

namespace cw::sheet {
namespace {

// Whether the cell records of the sheet at `offset` never go back to an earlier row once a
// later one has come, counting only rows from the block's first on (all rows past its last
// count as one). Reads only record headers and row fields; a record cut short ends the
// pass, and the walk that follows reports it where it lies.
bool BlockRowsInOrder(std::span<const std::byte> stream, std::size_t offset, const Extent& block) {
  BiffCursor cursor(stream, offset);
  std::uint64_t highest = 0;
  int depth = 0;
  try {
    do {
      const BiffRecord r = cursor.Next();
      if (r.type == biff::kBof) {
        ++depth;
        continue;
      }
      if (r.type == biff::kEof) {
        --depth;
        continue;
      }
      if (depth != 1 || r.data.size() < 2) continue;
      if (!IsCellRecordWithRow(r.type)) continue;
      const std::uint32_t row = Le16(r.data, 0);
      if (row < block.first_row) continue;
      const std::uint64_t key = std::min<std::uint64_t>(row, std::uint64_t{block.last_row} + 1);
      if (key < highest) return false;
      highest = key;
    } while (depth > 0);
  } catch (const XlsReadError&) {
  }
  return true;
}

// A cell of the block with its displayed text and the date it shows, in the order the file
// gives it.
struct ShownCell {
  std::uint32_t row;
  std::uint32_t column;
  std::string text;
  std::optional<CivilDate> date;
};

// Renders each cell of the block as it arrives, with the workbook's formats; inline strings
// are rendered from where they are, so the shared model stays untouched while the export
// reads it from another thread.
class BlockSink {
 public:
  BlockSink(const Workbook& workbook, const Extent& block, std::vector<bool> wanted, const FormatLocale& locale)
      : block_(block), wanted_(std::move(wanted)), renderer_(workbook, locale) {
    wanted_.resize(Width(), false);
  }

  std::size_t Width() const {
    return block_.first_column <= block_.last_column ? block_.last_column - block_.first_column + 1 : 0;
  }
  // The highest row any cell read so far stands in.
  std::uint32_t HighestRow() const { return highest_row_; }
  bool SeenAny() const { return seen_any_; }
  // Cells read and not yet taken, in file order.
  std::vector<ShownCell>& Cells() { return cells_; }

  void Reserve(std::size_t) {}
  void Add(const Cell& cell) {
    if (!Note(cell)) return;
    std::optional<CivilDate> date;
    if (cell.kind == CellKind::kNumber) date = renderer_.DateShown(cell);
    cells_.push_back({cell.row, cell.column, renderer_.Text(cell), date});
  }
  void AddText(Cell cell, std::string_view text) {
    if (!Note(cell)) return;
    std::string shown;
    renderer_.AppendString(text, cell.style, shown);
    cells_.push_back({cell.row, cell.column, std::move(shown), std::nullopt});
  }

 private:
  // Records the cell's row; whether the block wants its text.
  bool Note(const Cell& cell) {
    highest_row_ = seen_any_ ? std::max(highest_row_, cell.row) : cell.row;
    seen_any_ = true;
    return cell.row >= block_.first_row && cell.row <= block_.last_row && cell.column >= block_.first_column &&
           cell.column <= block_.last_column && wanted_[cell.column - block_.first_column];
  }

  Extent block_;
  std::vector<bool> wanted_;
  CellTextRenderer renderer_;
  std::vector<ShownCell> cells_;
  std::uint32_t highest_row_ = 0;
  bool seen_any_ = false;
};

// What a stream and its block rows share, so that either may outlive the other.
struct StreamState {
  std::vector<std::byte> owned;  // the file's bytes when the stream holds them
  XlsWorkbookStream container;
  BiffGlobals globals;
};

class XlsBlockRows : public BlockRows {
 public:
  XlsBlockRows(std::shared_ptr<StreamState> state, std::size_t offset, const Extent& block, std::vector<bool> wanted,
               const FormatLocale& locale)
      : state_(std::move(state)),
        budget_(state_->container.stream.size()),
        walker_(state_->container.stream, offset, state_->globals, budget_),
        sink_(state_->globals.workbook, block, std::move(wanted), locale),
        block_(block),
        next_row_(block.first_row),
        sorted_(!BlockRowsInOrder(state_->container.stream, offset, block)) {}

  bool NextRow(std::vector<std::string>& texts) override {
    RowDates& dates = GivenDates();
    dates.clear();
    if (failure_ && next_row_ >= failure_row_) std::rethrow_exception(failure_);
    if (block_.first_row > block_.last_row || next_row_ > block_.last_row) return false;
    if (!failure_) {
      try {
        if (sorted_) {
          GatherAndSort();
        } else {
          ReadThrough(next_row_);
        }
      } catch (const ReadError&) {
        failure_ = std::current_exception();
        // Damage in a later row's cell record leaves the rows before that one whole.
        const auto row = walker_.RecordRow();
        failure_row_ = !sorted_ && row && *row > next_row_ ? *row : next_row_;
        if (next_row_ >= failure_row_) throw;
      }
    }
    texts.assign(sink_.Width(), std::string());
    // The cells read and not yet given that belong to this row lead the list (rows come in
    // order).
    std::vector<ShownCell>& cells = sink_.Cells();
    while (taken_ < cells.size() && cells[taken_].row == next_row_) {
      const std::size_t at = cells[taken_].column - block_.first_column;
      texts[at] = std::move(cells[taken_].text);  // the later cell wins
      SetDate(dates, at, cells[taken_].date);
      ++taken_;
    }
    // Given cells go once they are half the list: a sorted sheet holds the whole block, and
    // moving the rest forward for every row would take time growing with the square of it.
    if (taken_ * 2 >= cells.size()) {
      cells.erase(cells.begin(), cells.begin() + static_cast<std::ptrdiff_t>(taken_));
      taken_ = 0;
    }
    ++next_row_;
    return true;
  }

 private:
  // Reads records until a cell past `row` has come or the sheet ends.
  void ReadThrough(std::uint64_t row) {
    while (!sheet_done_ && !(sink_.SeenAny() && sink_.HighestRow() > row)) {
      sheet_done_ = !walker_.Step(sink_);
    }
  }

  // Out of order: reads the whole sheet once, then orders the block's cells by place,
  // keeping the file's order among cells at one place.
  void GatherAndSort() {
    if (sheet_done_) return;
    while (walker_.Step(sink_)) {
    }
    sheet_done_ = true;
    std::stable_sort(sink_.Cells().begin(), sink_.Cells().end(), [](const ShownCell& a, const ShownCell& b) {
      return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
  }

  std::shared_ptr<StreamState> state_;
  WalkBudget budget_;
  BiffSheetWalker<BlockSink> walker_;
  BlockSink sink_;
  Extent block_;
  std::uint64_t next_row_;  // wide, so a block that ends on the last row number ends
  bool sorted_;
  bool sheet_done_ = false;
  std::exception_ptr failure_;
  std::uint64_t failure_row_ = 0;  // the first row that throws failure_
  std::size_t taken_ = 0;          // the cells at the head of the sink's list already given
};

class XlsWorkbookStreamImpl : public WorkbookStream {
 public:
  explicit XlsWorkbookStreamImpl(std::shared_ptr<StreamState> state) : state_(std::move(state)) {
    state_->globals = ReadBiffGlobals(state_->container.stream, state_->container.decrypted);
  }

  const Workbook& Model() const override { return state_->globals.workbook; }

  std::unique_ptr<BlockRows> Rows(std::size_t sheet, const Extent& block, std::vector<bool> wanted,
                                  FormatLocale locale) override {
    if (sheet >= state_->globals.sheet_offsets.size()) throw std::out_of_range("no such sheet in the workbook");
    return std::make_unique<XlsBlockRows>(state_, state_->globals.sheet_offsets[sheet], block, std::move(wanted),
                                          locale);
  }

 private:
  std::shared_ptr<StreamState> state_;
};

}  // namespace

std::unique_ptr<WorkbookStream> OpenXlsStream(std::span<const std::byte> bytes) {
  auto state = std::make_shared<StreamState>();
  state->container = OpenXlsContainer(bytes);
  return std::make_unique<XlsWorkbookStreamImpl>(std::move(state));
}

std::unique_ptr<WorkbookStream> OpenXlsStream(std::vector<std::byte> bytes) {
  auto state = std::make_shared<StreamState>();
  state->owned = std::move(bytes);
  state->container = OpenXlsContainer(state->owned);
  return std::make_unique<XlsWorkbookStreamImpl>(std::move(state));
}

}  // namespace cw::sheet
