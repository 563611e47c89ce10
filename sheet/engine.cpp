#include "sheet/engine.h"

#include <algorithm>

#include "sheet/address.h"
#include "sheet/block.h"
#include "sheet/model_stream.h"
#include "sheet/read_ahead_rows.h"

namespace cw::sheet {

OpenedWorkbook::OpenedWorkbook(Workbook model, std::string path, FormatLocale locale, ReadOptions read)
    : model_(std::move(model)), whole_(&model_), path_(std::move(path)), locale_(std::move(locale)), read_(read) {}

OpenedWorkbook::OpenedWorkbook(std::unique_ptr<WorkbookStream> stream, std::string path, FormatLocale locale,
                               ReadOptions read)
    : stream_(std::move(stream)), path_(std::move(path)), locale_(std::move(locale)), read_(read) {}

const Workbook& OpenedWorkbook::Model() const {
  if (whole_) return *whole_;
  return stream_ ? stream_->Model() : model_;
}

const Workbook& OpenedWorkbook::Whole() {
  if (!whole_) {
    model_ = ReadWorkbookFile(path_, read_);
    whole_ = &model_;
  }
  return *whole_;
}

void OpenedWorkbook::CheckOpen() const {
  if (!open_) throw EngineError("The workbook \"" + path_ + "\" is closed.");
}

Range OpenedWorkbook::GetRange(std::string_view address) {
  CheckOpen();
  const auto block = ParseAddress(address);
  if (!block) throw EngineError("\"" + std::string(address) + "\" is not a valid cell address.");
  const Workbook& model = Model();
  std::size_t sheet = model.active_sheet;
  if (block->sheet) {
    const auto found = model.FindSheet(*block->sheet);
    if (!found) throw EngineError("The workbook has no sheet named \"" + *block->sheet + "\".");
    sheet = *found;
  }
  if (sheet >= model.sheets.size()) throw EngineError("The workbook holds no sheets.");
  // A whole row or column stops at the used range, as a pick of a column header does; on a
  // workbook opened for streaming the used range needs the cells, so it is loaded whole.
  std::optional<Extent> used;
  if (SpansWholeLines(*block)) used = Whole().sheets[sheet].UsedRange();
  const CellBlock placed = ClipToUsedRange(*block, used);
  return Range(sheet, placed.first_row, placed.first_column, placed.last_row, placed.last_column);
}

const Cell* OpenedWorkbook::FindCell(const Range& on, std::uint32_t row, std::uint32_t column) {
  CheckOpen();
  if (on.SheetIndex() >= Model().sheets.size())
    throw EngineError("The range lies on a sheet this workbook does not have.");
  if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns) {
    throw EngineError("Cells(" + std::to_string(row) + ", " + std::to_string(column) +
                      ") lies outside the sheet (rows 1 to 1048576, columns 1 to 16384).");
  }
  if (!renderer_) renderer_.emplace(Whole(), locale_);
  return whole_->sheets[on.SheetIndex()].Find(row - 1, column - 1);
}

std::string OpenedWorkbook::CellText(const Range& on, std::uint32_t row, std::uint32_t column) {
  const Cell* cell = FindCell(on, row, column);
  return cell ? renderer_->Text(*cell) : std::string();
}

std::optional<CivilDate> OpenedWorkbook::CellDate(const Range& on, std::uint32_t row, std::uint32_t column) {
  const Cell* cell = FindCell(on, row, column);
  return cell ? renderer_->DateShown(*cell) : std::nullopt;
}

std::unique_ptr<BlockRows> OpenedWorkbook::Rows(const Range& range, std::vector<bool> wanted) {
  CheckOpen();
  if (range.SheetIndex() >= Model().sheets.size())
    throw EngineError("The range lies on a sheet this workbook does not have.");
  const Extent block{range.Row() - 1, range.Column() - 1, range.LastRow() - 1, range.LastColumn() - 1};
  if (stream_ && !stream_taken_) {
    stream_taken_ = true;
    // Parsed a window of rows ahead, on a thread of its own, while the caller uses each row.
    return ReadAhead(stream_->Rows(range.SheetIndex(), block, std::move(wanted), locale_));
  }
  return ModelRows(Whole(), range.SheetIndex(), block, std::move(wanted), locale_);
}

std::string OpenedWorkbook::Address(const Range& range) const {
  CheckOpen();
  CellBlock block;
  block.first_row = range.Row();
  block.first_column = range.Column();
  block.last_row = range.LastRow();
  block.last_column = range.LastColumn();
  return BlockAddress(Model(), range.SheetIndex(), block);
}

void OpenedWorkbook::Close() {
  if (!open_) return;
  open_ = false;
  // The cells go at once; the object stays so that references to it stay valid.
  renderer_.reset();
  stream_.reset();
  whole_ = &model_;
  model_.sheets.clear();
  model_.sheets.shrink_to_fit();
  model_.strings.Release();
}

Application::Application(FormatLocale locale, ReadOptions read) : locale_(std::move(locale)), read_(read) {}

OpenedWorkbook& Application::Open(const std::string& path) {
  if (quit_) throw EngineError("The spreadsheet engine has quit; no workbook can be opened in it.");
  Workbook model = ReadWorkbookFile(path, read_);
  books_.push_back(std::make_unique<OpenedWorkbook>(std::move(model), path, locale_, read_));
  return *books_.back();
}

OpenedWorkbook& Application::OpenForStreaming(const std::string& path) {
  if (quit_) throw EngineError("The spreadsheet engine has quit; no workbook can be opened in it.");
  books_.push_back(std::make_unique<OpenedWorkbook>(OpenWorkbookStreamFile(path, read_), path, locale_, read_));
  return *books_.back();
}

int Application::WorkbooksCount() const {
  return static_cast<int>(std::count_if(books_.begin(), books_.end(), [](const auto& b) { return b->IsOpen(); }));
}

OpenedWorkbook& Application::Workbooks(int index) {
  int seen = 0;
  for (auto& book : books_) {
    if (book->IsOpen() && ++seen == index) return *book;
  }
  throw EngineError("There is no workbook number " + std::to_string(index) + " (" + std::to_string(WorkbooksCount()) +
                    " open).");
}

void Application::Quit() {
  for (auto& book : books_) book->Close();
  quit_ = true;
}

}  // namespace cw::sheet
