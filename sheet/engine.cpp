#include "sheet/engine.h"

#include <algorithm>

#include "sheet/address.h"

namespace cw::sheet {

OpenedWorkbook::OpenedWorkbook(Workbook model, std::string path, FormatLocale locale)
    : model_(std::move(model)), path_(std::move(path)), renderer_(model_, locale) {}

const Workbook& OpenedWorkbook::Model() const { return model_; }

void OpenedWorkbook::CheckOpen() const {
  if (!open_) throw EngineError("The workbook \"" + path_ + "\" is closed.");
}

Range OpenedWorkbook::GetRange(std::string_view address) const {
  CheckOpen();
  const auto block = ParseAddress(address);
  if (!block) throw EngineError("\"" + std::string(address) + "\" is not a valid cell address.");
  std::size_t sheet = model_.active_sheet;
  if (block->sheet) {
    const auto found = model_.FindSheet(*block->sheet);
    if (!found) throw EngineError("The workbook has no sheet named \"" + *block->sheet + "\".");
    sheet = *found;
  }
  if (sheet >= model_.sheets.size()) throw EngineError("The workbook holds no sheets.");
  std::uint32_t first_row = block->first_row;
  std::uint32_t last_row = block->last_row;
  std::uint32_t first_column = block->first_column;
  std::uint32_t last_column = block->last_column;
  // A whole row or column stops at the used range, as a pick of a column header does;
  // the used range of an empty sheet is A1.
  const Extent used = model_.sheets[sheet].UsedRange().value_or(Extent{});
  if (block->whole_columns) {
    first_row = used.first_row + 1;
    last_row = used.last_row + 1;
  }
  if (block->whole_rows) {
    first_column = used.first_column + 1;
    last_column = used.last_column + 1;
  }
  return Range(sheet, first_row, first_column, last_row, last_column);
}

std::string OpenedWorkbook::CellText(const Range& on, std::uint32_t row, std::uint32_t column) {
  CheckOpen();
  if (on.SheetIndex() >= model_.sheets.size())
    throw EngineError("The range lies on a sheet this workbook does not have.");
  if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns) {
    throw EngineError("Cells(" + std::to_string(row) + ", " + std::to_string(column) +
                      ") lies outside the sheet (rows 1 to 1048576, columns 1 to 16384).");
  }
  return renderer_.Text(model_.sheets[on.SheetIndex()], row - 1, column - 1);
}

std::string OpenedWorkbook::Address(const Range& range) const {
  CheckOpen();
  CellBlock block;
  block.first_row = range.Row();
  block.first_column = range.Column();
  block.last_row = range.LastRow();
  block.last_column = range.LastColumn();
  if (range.SheetIndex() != model_.active_sheet && range.SheetIndex() < model_.sheets.size()) {
    block.sheet = model_.sheets[range.SheetIndex()].Name();
  }
  return FormatAddress(block);
}

void OpenedWorkbook::Close() {
  if (!open_) return;
  open_ = false;
  // The cells go at once; the object stays so that references to it stay valid.
  model_.sheets.clear();
  model_.sheets.shrink_to_fit();
  model_.strings.clear();
  model_.strings.shrink_to_fit();
}

Application::Application(FormatLocale locale) : locale_(locale) {}

OpenedWorkbook& Application::Open(const std::string& path) {
  if (quit_) throw EngineError("The spreadsheet engine has quit; no workbook can be opened in it.");
  Workbook model = ReadWorkbookFile(path);
  books_.push_back(std::make_unique<OpenedWorkbook>(std::move(model), path, locale_));
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
