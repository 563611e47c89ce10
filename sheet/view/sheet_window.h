// The modal window in which the user marks a block of cells: the workbook's sheets as tabs,
// opening on the active sheet; a grid of displayed texts with column letters and row numbers;
// the prompt; an address box that follows the selection and can be typed into; OK and Cancel.
// One rectangular block only. A whole row or column (header click, or "A:C" typed) is clipped
// to the sheet's used range, so a column pick never stands for a million empty rows. As in
// spreadsheet programs, Ctrl+PgUp and Ctrl+PgDn switch sheets, and Tab reaches the tabs.
// A window over a workbook still being read (WorkbookReading) opens at once: it shows the
// first rows of the active sheet as soon as they are read, says under the grid how far
// reading has come, and takes the whole workbook when it is there, keeping the marked block
// and the place scrolled to. Cells can be marked once they are shown; OK pressed meanwhile
// takes the block when reading is done. Cancel also stops the reading; a reading that fails
// closes the window as Cancel does, and the caller reports why.
#pragma once

#include <QDialog>
#include <QPoint>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "sheet/address.h"
#include "sheet/number_format.h"
#include "sheet/workbook.h"

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QTabBar;
class QTableView;

namespace cw::sheet {

class SheetTableModel;
class WorkbookReading;

class SheetWindow : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kPrompt = "Highlight a block of cells with mouse";

  SheetWindow(const Workbook& workbook, const FormatLocale& locale, QWidget* parent = nullptr);
  // A window over a workbook being read; `reading` outlives the window.
  SheetWindow(WorkbookReading& reading, const FormatLocale& locale, QWidget* parent = nullptr);
  ~SheetWindow() override;

  // The workbook is still being read: the grid holds only the rows read so far.
  bool Reading() const;

  // The marked block in the absolute form the block pick reports: "$A$1:$C$10", with the
  // sheet name in front only when the block is not on the sheet active at open. Nothing when
  // no block is marked.
  std::optional<std::string> Address() const;
  // Shows sheet `index` (as a click on its tab does).
  void ShowSheet(std::size_t index);
  // Marks the block an address names, as typing it into the address box and pressing Enter
  // does. False when the text names no block of this workbook; the reason then shows under
  // the box (AddressError) until the text is edited.
  bool ApplyAddress(const QString& text);
  // Why the last typed address was not taken; empty when it was.
  QString AddressError() const;

  QTableView* Grid() const { return grid_; }
  QTabBar* Tabs() const { return tabs_; }
  QLineEdit* AddressBox() const { return address_box_; }
  QDialogButtonBox* Buttons() const { return buttons_; }
  // What the window says about the reading ("Reading the workbook: ..."); hidden once read.
  QLabel* ReadingStatus() const { return status_; }
  QProgressBar* ReadingProgress() const { return progress_; }

  void accept() override;
  void reject() override;

 private:
  void Build(const FormatLocale& locale);
  void FillTabs();
  void FirstRowsRead();
  void ReadingEnded();
  void ShowProgress();
  void FollowSelection();
  void ShowBlock();
  void SelectInGrid(const CellBlock& block, bool scroll);
  void SetAddressValid(bool valid, const QString& why = QString());
  void UpdateOk();
  void FitToScreen();
  void SizeColumnsToSample();
  CellBlock ClipToUsedRange(CellBlock block) const;

  const Workbook* workbook_;
  WorkbookReading* reading_ = nullptr;
  Workbook no_sheets_;  // shown until the sheet names are read
  bool accept_when_read_ = false;
  std::size_t active_sheet_ = 0;
  SheetTableModel* model_ = nullptr;
  QLabel* prompt_ = nullptr;
  QLineEdit* address_box_ = nullptr;
  QLabel* address_error_ = nullptr;
  QTableView* grid_ = nullptr;
  QTabBar* tabs_ = nullptr;
  QDialogButtonBox* buttons_ = nullptr;
  QLabel* status_ = nullptr;
  QProgressBar* progress_ = nullptr;
  std::optional<CellBlock> block_;
  bool selecting_ = false;  // the window itself is changing the selection
  // Per sheet, where the user left the grid scrolled: each sheet shows from there, or from
  // its top-left when first shown.
  std::vector<QPoint> scrolled_;
};

}  // namespace cw::sheet
