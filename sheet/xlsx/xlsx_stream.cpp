#include "sheet/xlsx/xlsx_stream.h"

#include <deque>
#include <exception>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "sheet/address.h"
#include "sheet/cell_text.h"
#include "sheet/xlsx/shared_strings_load.h"
#include "sheet/xlsx/worksheet_part.h"
#include "sheet/xlsx/xlsx_reader.h"
#include "sheet/xlsx/xml_part.h"
#include "sheet/xlsx/zip_package.h"

namespace cw::sheet {
namespace {

using xlsx::OpenedPackage;
using xlsx::ZipPackage;

// What a stream and the rows taken from it share, so that either may go first. The shared
// strings are read from the open on, beside whatever comes next.
struct Opened {
  explicit Opened(ZipPackage p)
      : package(std::move(p)), parts(xlsx::OpenPackage(package, {}, xlsx::SharedStrings::kLeft)) {
    if (!parts.shared_part.empty()) {
      strings = std::make_unique<xlsx::SharedStringsLoad>(package, parts.shared_part, parts.max_strings);
    }
  }
  ZipPackage package;
  OpenedPackage parts;
  std::unique_ptr<xlsx::SharedStringsLoad> strings;  // none when the workbook has no shared strings
};

class XlsxBlockRows : public BlockRows, public xlsx::CellSink {
 public:
  XlsxBlockRows(std::shared_ptr<Opened> opened, std::size_t sheet, const Extent& block, std::vector<bool> wanted,
                const FormatLocale& locale)
      : opened_(std::move(opened)),
        block_(block),
        wanted_(std::move(wanted)),
        width_(block.last_column - block.first_column + 1),
        renderer_(opened_->parts.book, locale),
        next_(block.first_row),
        pending_(width_) {
    wanted_.resize(width_, false);
    const std::string& part = opened_->parts.sheet_parts.at(sheet);
    if (part.empty()) {
      complete_below_ = kEnd;  // a chart sheet: every row is empty
      return;
    }
    // An index at or past the most strings the part may hold is refused as the cell is
    // parsed; one below it, once the strings are read (SharedString).
    parser_ = std::make_unique<xlsx::WorksheetParser>(part, opened_->parts.book,
                                                      static_cast<std::size_t>(opened_->parts.max_strings), *this);
    xml_ = std::make_unique<xlsx::XmlPartParser>(opened_->package, part, *parser_);
    xml_->ReadAhead();
    part_ = part;
  }

  void Finish() override {
    if (failure_) std::rethrow_exception(failure_);
    if (xml_) xml_->Drain();
    if (opened_->strings) opened_->strings->Finish();
  }

  bool NextRow(std::vector<std::string>& texts) override {
    GivenDates().clear();
    GivenErrors().clear();
    if (next_ > block_.last_row) return false;
    // Feed the parser until the next row is complete: a later row has begun, or the part ended.
    while (ready_.empty() && complete_below_ <= next_) {
      if (failure_) std::rethrow_exception(failure_);
      try {
        if (!xml_->Feed()) Advance(kEnd);
      } catch (...) {
        failure_ = std::current_exception();
      }
    }
    if (!ready_.empty() && ready_.front().row == next_) {
      // The caller's last row goes back to the spares, so rows reuse their storage.
      ReadyRow& given = ready_.front();
      texts.swap(given.texts);
      GivenDates().swap(given.dates);
      GivenErrors().swap(given.errors);
      spares_.push_back(std::move(given));
      ready_.pop_front();
    } else {
      texts.assign(width_, std::string());  // a row the file does not hold
    }
    ++next_;
    return true;
  }

 private:
  static constexpr std::uint64_t kEnd = std::uint64_t{kMaxRows} + 1;

  // A complete row waiting for NextRow.
  struct ReadyRow {
    std::uint32_t row;
    std::vector<std::string> texts;
    RowDates dates;
    RowErrors errors;
  };

  // A row or cell of row `row` has begun: the rows before it are complete.
  void Advance(std::uint64_t row) {
    if (row == current_) return;
    if (row < current_) {
      // Rows before the block hold nothing wanted; going back into the block cannot be streamed.
      if (row < block_.first_row) return;
      // Rows from this one on are not what the file holds: none of them is given.
      while (!ready_.empty() && ready_.back().row >= row) ready_.pop_back();
      complete_below_ = row;
      FailXlsx(XlsxErrorCode::kRowsOutOfOrder, part_, "row " + std::to_string(row + 1) + " (or a cell of it)");
    }
    if (has_pending_) {
      ready_.push_back({static_cast<std::uint32_t>(current_), std::move(pending_), std::move(pending_dates_),
                        std::move(pending_errors_)});
      pending_errors_.clear();
      TakeSpare();
      has_pending_ = false;
    }
    current_ = row;
    complete_below_ = row;
  }

  // Makes the pending row empty again (all "", no dates), in the storage of a row the caller
  // gave back when there is one.
  void TakeSpare() {
    if (spares_.empty()) {
      pending_.assign(width_, std::string());
      pending_dates_.clear();
      return;
    }
    pending_ = std::move(spares_.back().texts);
    pending_dates_ = std::move(spares_.back().dates);
    spares_.pop_back();
    for (std::string& text : pending_) text.clear();
    pending_.resize(width_);
    pending_dates_.clear();
  }

  void RowStarted(std::uint32_t row) override { Advance(row); }

  bool Wants(std::uint32_t row, std::uint32_t column) override {
    Advance(row);
    return row >= block_.first_row && row <= block_.last_row && column >= block_.first_column &&
           column <= block_.last_column && wanted_[column - block_.first_column];
  }

  void Add(const Cell& cell, std::string* text) override {
    const std::size_t at = cell.column - block_.first_column;
    std::string& out = pending_[at];
    out.clear();  // a later cell at the same place replaces an earlier one
    std::optional<CivilDate> date;
    if (!text && cell.kind == CellKind::kString) {
      renderer_.AppendString(SharedString(cell), cell.style, out);
    } else if (!text) {
      renderer_.AppendText(cell, out);
      if (cell.kind == CellKind::kNumber) date = renderer_.DateShown(cell);
    } else {
      // A string the sheet holds itself is rendered from where it is, so the shared model
      // is never changed (another thread may read it meanwhile).
      renderer_.AppendString(*text, cell.style, out);
    }
    SetDate(pending_dates_, at, date);
    has_pending_ = true;
  }

  // The shared string a cell shows, once it has been read.
  std::string_view SharedString(const Cell& cell) {
    const auto text = opened_->strings ? opened_->strings->Get(cell.string_index) : std::nullopt;
    if (!text) {
      FailXlsx(XlsxErrorCode::kStringIndex, part_,
               "the cell " + CellName(cell.row + 1, cell.column + 1u) + " (string " +
                   std::to_string(cell.string_index) + ")");
    }
    return *text;
  }

  // The cell shows nothing and its row says why; the rows go on.
  bool Unreadable(std::uint32_t /*row*/, std::uint32_t column, const std::exception& why) override {
    const std::size_t at = column - block_.first_column;
    pending_[at].clear();
    SetDate(pending_dates_, at, std::nullopt);
    pending_errors_.emplace_back(at, why.what());
    has_pending_ = true;
    return true;
  }

  std::shared_ptr<Opened> opened_;
  Extent block_;
  std::vector<bool> wanted_;
  std::uint32_t width_;
  CellTextRenderer renderer_;
  std::string part_;
  std::unique_ptr<xlsx::WorksheetParser> parser_;
  std::unique_ptr<xlsx::XmlPartParser> xml_;

  std::uint64_t next_;                // the row NextRow gives next
  std::uint64_t current_ = 0;         // the row the parser is in
  std::uint64_t complete_below_ = 0;  // rows below this are complete
  std::vector<std::string> pending_;  // the texts of row current_ so far
  RowDates pending_dates_;            // and the dates its cells show
  RowErrors pending_errors_;          // and its cells that could not be read
  bool has_pending_ = false;
  std::deque<ReadyRow> ready_;
  std::vector<ReadyRow> spares_;  // the storage of rows the caller gave back
  std::exception_ptr failure_;
};

class XlsxStream : public WorkbookStream {
 public:
  explicit XlsxStream(ZipPackage package) : opened_(std::make_shared<Opened>(std::move(package))) {}

  const Workbook& Model() const override { return opened_->parts.book; }

  std::unique_ptr<BlockRows> Rows(std::size_t sheet, const Extent& block, std::vector<bool> wanted,
                                  FormatLocale locale) override {
    if (sheet >= opened_->parts.sheet_parts.size()) throw std::out_of_range("no such sheet");
    if (block.first_row > block.last_row || block.first_column > block.last_column ||
        block.last_column >= kMaxColumns) {
      throw std::invalid_argument("not a block of a sheet");
    }
    return std::make_unique<XlsxBlockRows>(opened_, sheet, block, std::move(wanted), locale);
  }

 private:
  std::shared_ptr<Opened> opened_;
};

}  // namespace

std::unique_ptr<WorkbookStream> OpenXlsxStream(std::span<const std::byte> bytes) {
  return std::make_unique<XlsxStream>(ZipPackage(bytes));
}

std::unique_ptr<WorkbookStream> OpenXlsxStreamFile(const std::string& path) {
  return std::make_unique<XlsxStream>(ZipPackage::OpenFile(path));
}

}  // namespace cw::sheet
