// ListView1's view of the column list: the two columns " Columns" and " Type" over the
// mapping::ColumnList that the window owns. The column list stays the one source of truth;
// this adaptor only tells the view when it changed.
#pragma once

#include <QAbstractTableModel>
#include <cstddef>
#include <string>
#include <vector>

#include "mapping/column_list.h"

namespace cw::app {

class ColumnListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // `list` starts empty; call Reload() after filling or emptying it.
  explicit ColumnListModel(mapping::ColumnList& list, QObject* parent = nullptr);

  // The list was emptied or filled: show it anew.
  void Reload();
  // Line j (from 1) changed its type.
  void LineChanged(std::size_t j);
  // Any line may have changed its type (a label and the column it types are one choice).
  void TypesChanged();
  // The block's first row when it reads as headings, one cell per line (none: empty): each line
  // shows its heading beside its column name, "Column1 (E-mail Address)".
  void SetHeadings(std::vector<std::string> headings);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  mapping::ColumnList& list_;
  int shown_rows_ = 0;  // the rows the view knows of
  std::vector<std::string> headings_;
};

}  // namespace cw::app
