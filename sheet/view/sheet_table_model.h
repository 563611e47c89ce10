// The grid of one worksheet as a Qt table model: column letters and row numbers as headers,
// each cell's displayed text rendered only when the view asks for it, so a sheet of a million
// cells opens at once and scrolling never waits on the whole sheet. While a workbook is still
// being read, the grid shows the first rows of its active sheet as read, and no rows of the
// other sheets, so that no cell is marked before it is there.
#pragma once

#include <QAbstractTableModel>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "sheet/cell_text.h"
#include "sheet/view/workbook_reading.h"
#include "sheet/workbook.h"

namespace cw::sheet {

class SheetTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // Empty rows and columns shown past the used range, so the user sees where the data ends.
  static constexpr std::uint32_t kMarginRows = 20;
  static constexpr std::uint32_t kMarginColumns = 3;
  // The grid is never smaller than this, so an almost empty sheet still looks like a sheet.
  static constexpr std::uint32_t kMinimumRows = 100;
  static constexpr std::uint32_t kMinimumColumns = 26;

  SheetTableModel(const Workbook& workbook, const FormatLocale& locale, QObject* parent = nullptr);

  // Shows `workbook` from now on, on the same sheet. With `first`, the workbook holds the sheet
  // names only, and the grid shows the first rows read; without, it is the whole workbook.
  void SetWorkbook(const Workbook& workbook, const FirstRows* first = nullptr);
  // Whether the grid shows only the rows read so far.
  bool Partial() const { return first_ != nullptr; }

  // Shows sheet `index` of the workbook (an index past the last sheet shows an empty grid).
  void SetSheet(std::size_t index);
  std::size_t SheetIndex() const { return sheet_index_; }
  // The sheet shown, or nullptr when the workbook has none.
  const Worksheet* Sheet() const { return sheet_; }
  // Grows the grid so that it holds `rows` rows and `columns` columns (capped at the sheet's
  // limits); never shrinks it.
  void EnsureExtent(std::uint32_t rows, std::uint32_t columns);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  const Workbook* workbook_;
  FormatLocale locale_;
  mutable std::optional<CellTextRenderer> renderer_;
  const FirstRows* first_ = nullptr;
  std::size_t sheet_index_ = 0;
  const Worksheet* sheet_ = nullptr;
  std::uint32_t rows_ = kMinimumRows;
  std::uint32_t columns_ = kMinimumColumns;
};

}  // namespace cw::sheet
