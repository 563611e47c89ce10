#include "sheet/view/sheet_window.h"

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QTabBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "sheet/block.h"
#include "sheet/view/qt_text.h"
#include "sheet/view/sheet_table_model.h"
#include "sheet/view/workbook_reading.h"

namespace cw::sheet {
namespace {

// Column widths come from a small sample of rows, never from the whole sheet.
constexpr int kSampleRows = 60;
constexpr int kSampleColumns = 120;
constexpr int kMinColumnWidth = 64;
constexpr int kMaxColumnWidth = 320;
// The window's first size, as a share of the screen's free area when that is smaller.
constexpr QSize kPreferredSize(900, 620);
constexpr double kMaxScreenShare = 0.9;
// How often the window says again how far reading has come.
constexpr int kProgressMs = 100;

}  // namespace

SheetWindow::SheetWindow(const Workbook& workbook, const FormatLocale& locale, QWidget* parent)
    : QDialog(parent), workbook_(&workbook) {
  Build(locale);
}

SheetWindow::SheetWindow(WorkbookReading& reading, const FormatLocale& locale, QWidget* parent)
    : QDialog(parent), workbook_(&no_sheets_), reading_(&reading) {
  if (reading.Book()) {
    workbook_ = reading.Book();
  } else if (reading.First()) {
    workbook_ = &reading.First()->names;
  }
  Build(locale);
  if (reading.First() && !reading.Book()) FirstRowsRead();
  if (!reading.Reading()) {
    // Read before the window opened, or failed: the window takes it as it would at the end.
    if (!reading.Book()) QTimer::singleShot(0, this, [this] { ReadingEnded(); });
    return;
  }
  connect(&reading, &WorkbookReading::FirstRowsRead, this, [this] { FirstRowsRead(); });
  connect(&reading, &WorkbookReading::Ended, this, [this] { ReadingEnded(); });
  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, [this] { ShowProgress(); });
  connect(&reading, &WorkbookReading::Ended, timer, &QTimer::stop);
  timer->start(kProgressMs);
  setCursor(Qt::BusyCursor);  // busy, yet every control answers
  status_->show();
  progress_->show();
  ShowProgress();
}

void SheetWindow::Build(const FormatLocale& locale) {
  setWindowTitle(QStringLiteral("Cardwright"));
  setModal(true);
  const Workbook& workbook = *workbook_;
  active_sheet_ = workbook.active_sheet < workbook.sheets.size() ? workbook.active_sheet : 0;

  prompt_ = new QLabel(QString::fromLatin1(kPrompt), this);
  prompt_->setObjectName(QStringLiteral("prompt"));

  address_box_ = new QLineEdit(this);
  address_box_->setObjectName(QStringLiteral("address"));
  address_box_->setPlaceholderText(QStringLiteral("e.g. A1:C10"));
  address_box_->setAccessibleName(QStringLiteral("Address"));
  auto* address_label = new QLabel(QStringLiteral("&Address:"), this);
  address_label->setBuddy(address_box_);
  // Why a typed address was not taken, in words, under the box.
  address_error_ = new QLabel(this);
  address_error_->setObjectName(QStringLiteral("address_error"));
  address_error_->setWordWrap(true);
  address_error_->setStyleSheet(QStringLiteral("QLabel { color: #b00020; }"));
  address_error_->hide();

  model_ = new SheetTableModel(workbook, locale, this);
  model_->SetSheet(active_sheet_);
  grid_ = new QTableView(this);
  grid_->setObjectName(QStringLiteral("grid"));
  grid_->setModel(model_);
  grid_->setSelectionMode(QAbstractItemView::ContiguousSelection);
  grid_->setSelectionBehavior(QAbstractItemView::SelectItems);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setWordWrap(false);
  grid_->setCornerButtonEnabled(true);
  grid_->setTabKeyNavigation(false);  // Tab leaves the grid for the sheet tabs and the buttons
  grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
  grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  grid_->horizontalHeader()->setDefaultSectionSize(kMinColumnWidth + 16);

  tabs_ = new QTabBar(this);
  tabs_->setObjectName(QStringLiteral("sheets"));
  tabs_->setShape(QTabBar::RoundedSouth);
  tabs_->setExpanding(false);
  tabs_->setUsesScrollButtons(true);
  tabs_->setFocusPolicy(Qt::StrongFocus);
  FillTabs();

  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  // Enter anywhere in the window, the address box included, presses OK.
  buttons_->button(QDialogButtonBox::Ok)->setDefault(true);
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(false);

  // How far reading has come, beside OK and Cancel; shown only while a workbook is read.
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("reading"));
  status_->setWordWrap(true);
  status_->hide();
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("reading_progress"));
  progress_->setRange(0, 0);
  progress_->setTextVisible(true);
  progress_->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 12);
  progress_->setAccessibleName(QStringLiteral("Reading the workbook"));
  progress_->hide();

  auto* top = new QHBoxLayout;
  top->addWidget(address_label);
  top->addWidget(address_box_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(prompt_);
  layout->addLayout(top);
  layout->addWidget(address_error_);
  layout->addWidget(grid_, 1);
  layout->addWidget(tabs_);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(status_, 1);
  bottom->addWidget(progress_);
  bottom->addWidget(buttons_);
  layout->addLayout(bottom);

  connect(buttons_, &QDialogButtonBox::accepted, this, &SheetWindow::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &SheetWindow::reject);
  connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
    if (index >= 0 && static_cast<std::size_t>(index) != model_->SheetIndex())
      ShowSheet(static_cast<std::size_t>(index));
  });
  connect(grid_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { FollowSelection(); });
  const auto step_sheet = [this](int step) {
    const int to = tabs_->currentIndex() + step;
    if (to >= 0 && to < tabs_->count()) ShowSheet(static_cast<std::size_t>(to));
  };
  connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown), this), &QShortcut::activated, this,
          [step_sheet] { step_sheet(1); });
  connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp), this), &QShortcut::activated, this,
          [step_sheet] { step_sheet(-1); });
  connect(address_box_, &QLineEdit::textEdited, this, [this] {
    SetAddressValid(true);
    UpdateOk();
  });

  SizeColumnsToSample();
  FitToScreen();
  grid_->setFocus();
}

void SheetWindow::FillTabs() {
  const QSignalBlocker quiet(tabs_);
  while (tabs_->count() > 0) tabs_->removeTab(tabs_->count() - 1);
  scrolled_.assign(workbook_->sheets.size(), QPoint());
  for (const Worksheet& sheet : workbook_->sheets) tabs_->addTab(ToQString(sheet.Name()));
  if (!workbook_->sheets.empty()) tabs_->setCurrentIndex(static_cast<int>(active_sheet_));
}

bool SheetWindow::Reading() const { return reading_ && reading_->Reading(); }

void SheetWindow::FirstRowsRead() {
  const FirstRows* first = reading_->First();
  if (!first || reading_->Book()) return;
  workbook_ = &first->names;
  active_sheet_ = first->sheet;
  model_->SetWorkbook(*workbook_, first);
  model_->SetSheet(active_sheet_);
  FillTabs();
  SizeColumnsToSample();
  ShowProgress();
}

void SheetWindow::ShowProgress() {
  if (!Reading()) return;
  const std::optional<double> share = reading_->Progress();
  if (share) {
    progress_->setRange(0, 100);
    progress_->setValue(static_cast<int>(*share * 100));
  } else {
    progress_->setRange(0, 0);  // how far is not known: the bar only moves
  }
  QString text = QStringLiteral("Reading the workbook...");
  if (accept_when_read_) {
    text += QStringLiteral(" The block is taken as soon as it is read.");
  } else if (const FirstRows* first = reading_->First(); first && model_->SheetIndex() != first->sheet) {
    text += QStringLiteral(" This sheet shows once it is read.");
  } else if (first && !first->texts.empty()) {
    text += QStringLiteral(" Rows 1 to %1 can be marked now.").arg(first->texts.size());
  }
  status_->setText(text);
}

void SheetWindow::ReadingEnded() {
  unsetCursor();
  status_->hide();
  progress_->hide();
  const Workbook* book = reading_->Book();
  if (!book) {
    // Failed: the window closes as Cancel closes it, and the caller says why.
    accept_when_read_ = false;
    QDialog::reject();
    return;
  }
  const QPoint scrolled(grid_->horizontalScrollBar()->value(), grid_->verticalScrollBar()->value());
  const bool same_sheets = book->sheets.size() == workbook_->sheets.size();
  workbook_ = book;
  selecting_ = true;
  model_->SetWorkbook(*book);
  if (!same_sheets) {
    active_sheet_ = book->active_sheet < book->sheets.size() ? book->active_sheet : 0;
    model_->SetSheet(active_sheet_);
    FillTabs();
    block_.reset();
  } else {
    grid_->doItemsLayout();
    grid_->horizontalScrollBar()->setValue(scrolled.x());
    grid_->verticalScrollBar()->setValue(scrolled.y());
  }
  selecting_ = false;
  SizeColumnsToSample();
  if (block_) {
    // A whole row or column marked while reading now stops at the used range.
    block_ = ClipToUsedRange(*block_);
    SelectInGrid(*block_, false);
  }
  ShowBlock();
  if (accept_when_read_) {
    accept_when_read_ = false;
    accept();
  }
}

void SheetWindow::reject() {
  accept_when_read_ = false;
  if (reading_) reading_->Cancel();  // nothing happens once it has ended
  QDialog::reject();
}

void SheetWindow::FitToScreen() {
  // The screen the window opens on: its parent's, else the primary one. At 192 dpi a fixed
  // size would push OK, Cancel and the tabs off a small screen.
  const QScreen* on = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
  QSize size = kPreferredSize;
  if (on) {
    const QSize free = on->availableGeometry().size();
    size = size.boundedTo(
        QSize(static_cast<int>(free.width() * kMaxScreenShare), static_cast<int>(free.height() * kMaxScreenShare)));
    setMaximumSize(free);
  }
  resize(size.expandedTo(minimumSizeHint()));
}

SheetWindow::~SheetWindow() = default;

std::optional<std::string> SheetWindow::Address() const {
  if (!block_) return std::nullopt;
  return BlockAddress(*workbook_, model_->SheetIndex(), *block_);
}

void SheetWindow::ShowSheet(std::size_t index) {
  if (index >= workbook_->sheets.size()) return;
  selecting_ = true;
  if (model_->SheetIndex() < scrolled_.size()) {
    scrolled_[model_->SheetIndex()] = {grid_->horizontalScrollBar()->value(), grid_->verticalScrollBar()->value()};
  }
  model_->SetSheet(index);
  grid_->doItemsLayout();  // the scroll ranges of the new sheet, before its place is set
  grid_->horizontalScrollBar()->setValue(scrolled_[index].x());
  grid_->verticalScrollBar()->setValue(scrolled_[index].y());
  if (tabs_->currentIndex() != static_cast<int>(index)) tabs_->setCurrentIndex(static_cast<int>(index));
  selecting_ = false;
  block_.reset();
  ShowBlock();
  SizeColumnsToSample();
  ShowProgress();
}

CellBlock SheetWindow::ClipToUsedRange(CellBlock block) const {
  if (model_->Partial()) {
    // The used range is known once the sheet is read: until then a whole row or column
    // reaches the sheet's edge, and is cut when reading is done.
    if (block.whole_columns) {
      block.first_row = 1;
      block.last_row = kMaxRows;
    }
    if (block.whole_rows) {
      block.first_column = 1;
      block.last_column = kMaxColumns;
    }
    block.whole_columns = block.whole_rows = false;
    block.sheet.reset();
    return block;
  }
  const Worksheet* sheet = model_->Sheet();
  block = sheet::ClipToUsedRange(std::move(block), sheet ? sheet->UsedRange() : std::nullopt);
  block.sheet.reset();
  return block;
}

void SheetWindow::FollowSelection() {
  if (selecting_) return;
  const QItemSelection selection = grid_->selectionModel()->selection();
  if (selection.isEmpty()) {
    block_.reset();
    ShowBlock();
    return;
  }
  int top = selection.front().top(), bottom = selection.front().bottom();
  int left = selection.front().left(), right = selection.front().right();
  for (const QItemSelectionRange& range : selection) {
    top = std::min(top, range.top());
    bottom = std::max(bottom, range.bottom());
    left = std::min(left, range.left());
    right = std::max(right, range.right());
  }
  CellBlock block;
  block.first_row = static_cast<std::uint32_t>(top) + 1;
  block.last_row = static_cast<std::uint32_t>(bottom) + 1;
  block.first_column = static_cast<std::uint32_t>(left) + 1;
  block.last_column = static_cast<std::uint32_t>(right) + 1;
  // A selection from the first to the last row of the grid came from a column header (or the
  // corner button): it stands for whole columns.
  block.whole_columns = top == 0 && bottom == model_->rowCount() - 1;
  block.whole_rows = left == 0 && right == model_->columnCount() - 1;
  const bool whole = block.whole_columns || block.whole_rows;
  block_ = ClipToUsedRange(block);
  // The grid shows what OK will give: a whole row or column shrinks to the used range.
  if (whole) SelectInGrid(*block_, false);
  ShowBlock();
}

void SheetWindow::SelectInGrid(const CellBlock& block, bool scroll) {
  selecting_ = true;
  // While reading, a whole row or column reaches past the rows shown: the grid marks those.
  const auto last_row = std::min(static_cast<int>(block.last_row), model_->rowCount());
  const auto last_column = std::min(static_cast<int>(block.last_column), model_->columnCount());
  const QModelIndex top_left =
      model_->index(static_cast<int>(block.first_row) - 1, static_cast<int>(block.first_column) - 1);
  const QModelIndex bottom_right = model_->index(last_row - 1, last_column - 1);
  grid_->selectionModel()->select(QItemSelection(top_left, bottom_right), QItemSelectionModel::ClearAndSelect);
  if (scroll) {
    grid_->selectionModel()->setCurrentIndex(top_left, QItemSelectionModel::NoUpdate);
    grid_->scrollTo(top_left);
  }
  selecting_ = false;
}

void SheetWindow::ShowBlock() {
  SetAddressValid(true);
  const std::optional<std::string> address = Address();
  address_box_->setText(address ? ToQString(*address) : QString());
  UpdateOk();
}

void SheetWindow::UpdateOk() {
  // A typed address is confirmed by OK (or Enter) without marking cells first.
  buttons_->button(QDialogButtonBox::Ok)
      ->setEnabled(!accept_when_read_ && (block_.has_value() || !address_box_->text().trimmed().isEmpty()));
}

bool SheetWindow::ApplyAddress(const QString& text) {
  const QString typed = text.trimmed();
  std::optional<CellBlock> parsed = ParseAddress(ToUtf8(typed));
  std::optional<std::size_t> sheet_index = model_->SheetIndex();
  if (parsed && parsed->sheet) sheet_index = workbook_->FindSheet(*parsed->sheet);
  if (!parsed) {
    SetAddressValid(false, typed.isEmpty() ? QStringLiteral("Type a block of cells, such as A1:C10.")
                                           : QStringLiteral("\"%1\" is not a block of cells. Write it like A1:C10, "
                                                            "$B$2 or 'My Sheet'!A1:C9.")
                                                 .arg(typed));
    return false;
  }
  if (!sheet_index || *sheet_index >= workbook_->sheets.size()) {
    SetAddressValid(
        false, parsed->sheet ? QStringLiteral("This workbook has no sheet named \"%1\".").arg(ToQString(*parsed->sheet))
                             : QStringLiteral("This workbook has no sheets."));
    return false;
  }
  if (*sheet_index != model_->SheetIndex()) ShowSheet(*sheet_index);
  const CellBlock block = ClipToUsedRange(*parsed);
  model_->EnsureExtent(block.last_row, block.last_column);

  SelectInGrid(block, true);
  block_ = block;
  ShowBlock();
  return true;
}

void SheetWindow::accept() {
  // OK, or Enter in the address box, confirms what was typed there; a text that names no
  // block keeps the window open with the reason under the box, ready to be corrected.
  const std::optional<std::string> shown = Address();
  const QString typed = address_box_->text().trimmed();
  if ((!shown || typed != ToQString(*shown)) && !ApplyAddress(typed)) {
    address_box_->setFocus();
    address_box_->selectAll();
    return;
  }
  if (!block_) return;
  if (Reading()) {
    // The block is placed on the sheet as read: OK waits for the rest, Cancel still works.
    accept_when_read_ = true;
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(false);
    ShowProgress();
    return;
  }
  QDialog::accept();
}

QString SheetWindow::AddressError() const { return address_error_->text(); }

void SheetWindow::SetAddressValid(bool valid, const QString& why) {
  address_box_->setStyleSheet(valid ? QString() : QStringLiteral("QLineEdit { background: #ffe4e1; }"));
  address_error_->setText(valid ? QString() : why);
  address_error_->setVisible(!valid);
}

void SheetWindow::SizeColumnsToSample() {
  const QFontMetrics metrics(grid_->font());
  const int columns = std::min(model_->columnCount(), kSampleColumns);
  const int rows = std::min(model_->rowCount(), kSampleRows);
  for (int c = 0; c < columns; ++c) {
    int width = kMinColumnWidth;
    for (int r = 0; r < rows; ++r) {
      const QString text = model_->data(model_->index(r, c)).toString();
      if (!text.isEmpty()) width = std::max(width, metrics.horizontalAdvance(text) + 16);
    }
    grid_->setColumnWidth(c, std::min(width, kMaxColumnWidth));
  }
}

}  // namespace cw::sheet
