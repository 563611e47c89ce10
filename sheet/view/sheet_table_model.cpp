#include "sheet/view/sheet_table_model.h"

#include <QString>
#include <algorithm>

#include "sheet/address.h"
#include "sheet/view/qt_text.h"

namespace cw::sheet {

SheetTableModel::SheetTableModel(const Workbook& workbook, const FormatLocale& locale, QObject* parent)
    : QAbstractTableModel(parent), workbook_(workbook), renderer_(workbook, locale) {
  SetSheet(workbook.active_sheet);
}

void SheetTableModel::SetSheet(std::size_t index) {
  beginResetModel();
  sheet_index_ = index;
  sheet_ = index < workbook_.sheets.size() ? &workbook_.sheets[index] : nullptr;
  rows_ = kMinimumRows;
  columns_ = kMinimumColumns;
  if (sheet_ && sheet_->UsedRange()) {
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
  const Cell* cell = sheet_->Find(static_cast<std::uint32_t>(index.row()), static_cast<std::uint32_t>(index.column()));
  if (!cell) return {};
  if (role == Qt::TextAlignmentRole) {
    // Numbers stand to the right and everything else to the left, as spreadsheets show them.
    const Qt::Alignment horizontal = cell->kind == CellKind::kNumber ? Qt::AlignRight : Qt::AlignLeft;
    return QVariant::fromValue(horizontal | Qt::AlignVCenter);
  }
  return ToQString(renderer_.Text(*cell));
}

QVariant SheetTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
  if (role != Qt::DisplayRole || section < 0) return {};
  if (orientation == Qt::Horizontal) return ToQString(ColumnLetters(static_cast<std::uint32_t>(section) + 1));
  return QString::number(section + 1);
}

}  // namespace cw::sheet
