#include "sheet/view/sheet_window.h"

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "sheet/block.h"
#include "sheet/view/sheet_table_model.h"

namespace cw::sheet {
namespace {

QString ToQString(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Column widths come from a small sample of rows, never from the whole sheet.
constexpr int kSampleRows = 60;
constexpr int kSampleColumns = 120;
constexpr int kMinColumnWidth = 64;
constexpr int kMaxColumnWidth = 320;

}  // namespace

SheetWindow::SheetWindow(const Workbook& workbook, FormatLocale locale, QWidget* parent)
    : QDialog(parent), workbook_(workbook) {
  setWindowTitle(QStringLiteral("Cardwright"));
  setModal(true);
  active_sheet_ = workbook.active_sheet < workbook.sheets.size() ? workbook.active_sheet : 0;

  prompt_ = new QLabel(QString::fromLatin1(kPrompt), this);
  prompt_->setObjectName(QStringLiteral("prompt"));

  address_box_ = new QLineEdit(this);
  address_box_->setObjectName(QStringLiteral("address"));
  address_box_->setPlaceholderText(QStringLiteral("e.g. A1:C10"));
  address_box_->setAccessibleName(QStringLiteral("Address"));
  auto* address_label = new QLabel(QStringLiteral("&Address:"), this);
  address_label->setBuddy(address_box_);

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
  grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
  grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  grid_->horizontalHeader()->setDefaultSectionSize(kMinColumnWidth + 16);

  tabs_ = new QTabBar(this);
  tabs_->setObjectName(QStringLiteral("sheets"));
  tabs_->setShape(QTabBar::RoundedSouth);
  tabs_->setExpanding(false);
  tabs_->setUsesScrollButtons(true);
  for (const Worksheet& sheet : workbook.sheets) tabs_->addTab(ToQString(sheet.Name()));
  if (!workbook.sheets.empty()) tabs_->setCurrentIndex(static_cast<int>(active_sheet_));

  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(false);

  auto* top = new QHBoxLayout;
  top->addWidget(address_label);
  top->addWidget(address_box_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(prompt_);
  layout->addLayout(top);
  layout->addWidget(grid_, 1);
  layout->addWidget(tabs_);
  layout->addWidget(buttons_);

  connect(buttons_, &QDialogButtonBox::accepted, this, &SheetWindow::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &SheetWindow::reject);
  connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
    if (index >= 0 && static_cast<std::size_t>(index) != model_->SheetIndex())
      ShowSheet(static_cast<std::size_t>(index));
  });
  connect(grid_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { FollowSelection(); });
  connect(address_box_, &QLineEdit::textEdited, this, [this] { SetAddressValid(true); });

  SizeColumnsToSample();
  resize(900, 620);
  grid_->setFocus();
}

SheetWindow::~SheetWindow() = default;

std::optional<std::string> SheetWindow::Address() const {
  if (!block_) return std::nullopt;
  return BlockAddress(workbook_, model_->SheetIndex(), *block_);
}

void SheetWindow::ShowSheet(std::size_t index) {
  if (index >= workbook_.sheets.size()) return;
  selecting_ = true;
  model_->SetSheet(index);
  if (tabs_->currentIndex() != static_cast<int>(index)) tabs_->setCurrentIndex(static_cast<int>(index));
  selecting_ = false;
  block_.reset();
  ShowBlock();
  SizeColumnsToSample();
}

CellBlock SheetWindow::ClipToUsedRange(CellBlock block) const {
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
  const QModelIndex top_left =
      model_->index(static_cast<int>(block.first_row) - 1, static_cast<int>(block.first_column) - 1);
  const QModelIndex bottom_right =
      model_->index(static_cast<int>(block.last_row) - 1, static_cast<int>(block.last_column) - 1);
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
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(block_.has_value());
}

bool SheetWindow::ApplyAddress(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  std::optional<CellBlock> parsed =
      ParseAddress(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
  std::optional<std::size_t> sheet_index = model_->SheetIndex();
  if (parsed && parsed->sheet) sheet_index = workbook_.FindSheet(*parsed->sheet);
  if (!parsed || !sheet_index || *sheet_index >= workbook_.sheets.size()) {
    SetAddressValid(false);
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(false);
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
  // Enter in the address box confirms what was typed there.
  const std::optional<std::string> shown = Address();
  const QString typed = address_box_->text().trimmed();
  if (!typed.isEmpty() && (!shown || typed != ToQString(*shown)) && !ApplyAddress(typed)) {
    address_box_->setFocus();
    return;
  }
  if (!block_) return;
  QDialog::accept();
}

void SheetWindow::SetAddressValid(bool valid) {
  address_box_->setStyleSheet(valid ? QString() : QStringLiteral("QLineEdit { background: #ffe4e1; }"));
  address_box_->setToolTip(valid ? QString() : QStringLiteral("Not a block of cells of this workbook"));
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
