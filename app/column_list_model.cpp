#include "app/column_list_model.h"

#include <utility>

#include "sheet/view/qt_text.h"

namespace cw::app {

ColumnListModel::ColumnListModel(mapping::ColumnList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {}

void ColumnListModel::Reload() {
  // Rows out and rows in rather than a reset, so the list keeps its column widths.
  if (shown_rows_ > 0) {
    beginRemoveRows(QModelIndex(), 0, shown_rows_ - 1);
    shown_rows_ = 0;
    endRemoveRows();
  }
  const int rows = static_cast<int>(list_.Count());
  if (rows > 0) {
    beginInsertRows(QModelIndex(), 0, rows - 1);
    shown_rows_ = rows;
    endInsertRows();
  }
}

void ColumnListModel::LineChanged(std::size_t j) {
  if (j < 1 || j > list_.Count()) return;
  const int row = static_cast<int>(j - 1);
  emit dataChanged(index(row, 1), index(row, 1), {Qt::DisplayRole});
}

void ColumnListModel::TypesChanged() {
  if (shown_rows_ == 0) return;
  emit dataChanged(index(0, 1), index(shown_rows_ - 1, 1), {Qt::DisplayRole});
}

void ColumnListModel::SetHeadings(std::vector<std::string> headings) {
  headings_ = std::move(headings);
  if (shown_rows_ == 0) return;
  emit dataChanged(index(0, 0), index(shown_rows_ - 1, 0), {Qt::DisplayRole});
}

int ColumnListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shown_rows_; }

int ColumnListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant ColumnListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() < 0 || index.row() >= shown_rows_ ||
      static_cast<std::size_t>(index.row()) >= list_.Count()) {
    return {};
  }
  const mapping::ColumnLine& line = list_.Line(static_cast<std::size_t>(index.row()) + 1);
  if (index.column() != 0) return ToQString(line.type);
  const auto row = static_cast<std::size_t>(index.row());
  // A heading of blanks says nothing and is left out.
  if (row >= headings_.size() || ToQString(headings_[row]).trimmed().isEmpty()) return ToQString(line.caption);
  return ToQString(line.caption) + QStringLiteral(" (") + ToQString(headings_[row]).simplified() + QLatin1Char(')');
}

QVariant ColumnListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section == 0) return ToQString(mapping::ColumnList::kColumnsHeader);
  if (section == 1) return ToQString(mapping::ColumnList::kTypeHeader);
  return {};
}

}  // namespace cw::app
