#include "sheet/view/sheet_table_model.h"

#include <QString>
#include <algorithm>

#include "sheet/address.h"
#include "sheet/view/qt_text.h"

namespace cw::sheet {

SheetTableModel::SheetTableModel(const Workbook& workbook, const FormatLocale& locale, QObject* parent)
    : QAbstractTableModel(parent), workbook_(&workbook), locale_(locale) {
  renderer_.emplace(workbook, locale_);
  SetSheet(workbook.active_sheet);
}

void SheetTableModel::SetWorkbook(const Workbook& workbook, const FirstRows* first) {
  workbook_ = &workbook;
  first_ = first;
  renderer_.reset();
  if (!first) renderer_.emplace(workbook, locale_);
  SetSheet(sheet_index_);
}

void SheetTableModel::SetSheet(std::size_t index) {
  beginResetModel();
  sheet_index_ = index;
  sheet_ = index < workbook_->sheets.size() ? &workbook_->sheets[index] : nullptr;
  rows_ = kMinimumRows;
  columns_ = kMinimumColumns;
  if (first_) {
    // Only the rows read so far: all of them when fewer than the first rows' cap came, else
    // exactly those, as more may follow. A sheet not read yet shows no rows.
    const auto read = static_cast<std::uint32_t>(first_->texts.size());
    rows_ = index != first_->sheet ? 0 : read < FirstRows::kRows ? std::max(read + kMarginRows, kMinimumRows) : read;
    columns_ = std::clamp(first_->columns + kMarginColumns, kMinimumColumns, FirstRows::kColumns);
  } else if (sheet_ && sheet_->UsedRange()) {
    const Extent used = *sheet_->UsedRange();
    rows_ = std::clamp(used.last_row + 1 + kMarginRows, kMinimumRows, kMaxRows);
    columns_ = std::clamp(used.last_column + 1 + kMarginColumns, kMinimumColumns, kMaxColumns);
  }
  endResetModel();
}

void SheetTableModel::EnsureExtent(std::uint32_t rows, std::uint32_t columns) {
  rows = std::min(rows, kMaxRows);
  columns = std::min(columns, kMaxColumns);
  if (rows > rows_) {
    beginInsertRows(QModelIndex(), static_cast<int>(rows_), static_cast<int>(rows - 1));
    rows_ = rows;
    endInsertRows();
  }
  if (columns > columns_) {
    beginInsertColumns(QModelIndex(), static_cast<int>(columns_), static_cast<int>(columns - 1));
    columns_ = columns;
    endInsertColumns();
  }
}

int SheetTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_);
}

int SheetTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_);
}

QVariant SheetTableModel::data(const QModelIndex& index, int role) const {
  if (!sheet_ || !index.isValid()) return {};
  if (role != Qt::DisplayRole && role != Qt::TextAlignmentRole && role != Qt::ToolTipRole) return {};
  if (first_) {
    const auto row = static_cast<std::size_t>(index.row()), column = static_cast<std::size_t>(index.column());
    if (sheet_index_ != first_->sheet || row >= first_->texts.size() || column >= first_->texts[row].size()) return {};
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return ToQString(first_->texts[row][column]);
  }
  const Cell* cell = sheet_->Find(static_cast<std::uint32_t>(index.row()), static_cast<std::uint32_t>(index.column()));
  if (!cell) return {};
  if (role == Qt::TextAlignmentRole) {
    // Numbers stand to the right and everything else to the left, as spreadsheets show them.
    const Qt::Alignment horizontal = cell->kind == CellKind::kNumber ? Qt::AlignRight : Qt::AlignLeft;
    return QVariant::fromValue(horizontal | Qt::AlignVCenter);
  }
  return ToQString(renderer_->Text(*cell));
}

QVariant SheetTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
  if (role != Qt::DisplayRole || section < 0) return {};
  if (orientation == Qt::Horizontal) return ToQString(ColumnLetters(static_cast<std::uint32_t>(section) + 1));
  return QString::number(section + 1);
}

}  // namespace cw::sheet
