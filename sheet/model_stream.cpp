#include "sheet/model_stream.h"

#include <stdexcept>

#include "sheet/cell_text.h"
#include "sheet/workbook_file.h"

namespace cw::sheet {
namespace {

class LoadedRows : public BlockRows {
 public:
  LoadedRows(const Workbook& model, const Worksheet& sheet, const Extent& block, std::vector<bool> wanted,
             const FormatLocale& locale)
      : sheet_(sheet), block_(block), wanted_(std::move(wanted)), renderer_(model, locale) {
    wanted_.resize(static_cast<std::size_t>(block.last_column - block.first_column) + 1, false);
    rows_left_ = static_cast<std::size_t>(block.last_row - block.first_row) + 1;
    row_ = block.first_row;
  }

  bool NextRow(std::vector<std::string>& texts) override {
    RowDates& dates = GivenDates();
    dates.clear();
    if (rows_left_ == 0) return false;
    texts.resize(wanted_.size());
    for (std::string& text : texts) text.clear();
    for (const Cell& cell : sheet_.RowCells(row_)) {
      if (cell.column < block_.first_column) continue;
      if (cell.column > block_.last_column) break;
      const std::size_t at = cell.column - block_.first_column;
      if (!wanted_[at]) continue;
      texts[at] = renderer_.Text(cell);
      if (cell.kind == CellKind::kNumber) {
        if (const auto date = renderer_.DateShown(cell)) dates.emplace_back(at, *date);
      }
    }
    --rows_left_;
    ++row_;
    return true;
  }

 private:
  const Worksheet& sheet_;
  const Extent block_;
  std::vector<bool> wanted_;
  CellTextRenderer renderer_;
  std::size_t rows_left_ = 0;
  std::uint32_t row_ = 0;
};

}  // namespace

std::unique_ptr<BlockRows> ModelRows(const Workbook& model, std::size_t sheet, const Extent& block,
                                     std::vector<bool> wanted, const FormatLocale& locale) {
  if (sheet >= model.sheets.size()) throw std::out_of_range("The block lies on a sheet the workbook does not have.");
  if (block.first_row > block.last_row || block.first_column > block.last_column || block.last_row >= kMaxRows ||
      block.last_column >= kMaxColumns) {
    throw std::out_of_range("The block lies outside the sheet.");
  }
  return std::make_unique<LoadedRows>(model, model.sheets[sheet], block, std::move(wanted), locale);
}

}  // namespace cw::sheet
