#include "app/form1.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>
#include <algorithm>
#include <exception>
#include <memory>

#include "app/app_icon.h"
#include "app/column_list_model.h"
#include "app/main0.h"
#include "commands/encoding_help.h"
#include "commands/heading_memory.h"
#include "commands/output_folder.h"
#include "run/heading_row.h"
#include "run/statements.h"
#include "sheet/address.h"
#include "sheet/view/qt_text.h"
#include "sheet/view/workbook_reading.h"

namespace cw::app {
namespace {

QFont ArialBold(double points) {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(points);
  font.setBold(true);
  return font;
}

// The window and its frames are white; with the skin they take the button face.
void PaintBackground(QWidget& widget, const QColor& colour) {
  QPalette palette = widget.palette();
  palette.setColor(QPalette::Window, colour);
  widget.setPalette(palette);
  widget.setAutoFillBackground(true);
}

// The command buttons: white, bold, the system button-text colour, one shared look.
const QString kButtonStyle = QStringLiteral(
    "QPushButton { background: #ffffff; color: palette(button-text); border: 1px solid #9aa6b2;"
    " border-radius: 3px; padding: 1px 4px; }"
    "QPushButton:hover { background: #eef4fb; border-color: #5b8bc6; }"
    "QPushButton:pressed { background: #d8e6f6; }"
    "QPushButton:disabled { background: #f2f2f2; color: #8a8f96; border-color: #c9ced4; }"
    "QPushButton:focus { border: 2px solid #3a78c2; }");

// A tool tip as a paragraph, which Qt wraps; plain text would stay on one line wider than the screen.
QString WrappedToolTip(const QString& text) {
  return text.isEmpty() ? text : QStringLiteral("<p>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

// A command button's tool tip: what it says about the button (may be empty), then its shortcut.
QString ToolTipWithShortcut(const QString& text, const QString& keys) {
  return WrappedToolTip(text) + WrappedToolTip(QStringLiteral("Shortcut: ") + keys);
}

const QString kAnsiKeys = QStringLiteral("Ctrl+S");

// How long to wait for the window manager's frame after the window is shown.
constexpr int kFramePollMs = 25;
constexpr int kFramePollTries = 40;

}  // namespace

Form1::Form1(Form1Environment environment, QWidget* parent) : QWidget(parent), env_(std::move(environment)) {
  setObjectName(QStringLiteral("Form1"));
  // Fixed size: minimize and close only.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setAttribute(Qt::WA_DeleteOnClose, false);
  export_ = std::make_unique<BackgroundExport>(this, env_.dialogs, env_.dialogs, *this);
  BuildControls();
}

Form1::~Form1() { export_->Abandon(); }

int Form1::Px(int twips) const {
  const int dpi = logicalDpiY() > 0 ? logicalDpiY() : 96;
  return (twips * dpi + 720) / 1440;
}

void Form1::Place(QWidget* widget, int left, int top, int width, int height) const {
  widget->setGeometry(Px(left), Px(top), Px(width), Px(height));
}

QPushButton* Form1::MakeButton(const char* name, const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setFont(ArialBold(11.25));
  button->setStyleSheet(kButtonStyle);
  button->setAutoDefault(false);
  buttons_.push_back(button);
  return button;
}

QGroupBox* Form1::MakeFrame(const char* name, const QString& caption) {
  auto* frame = new QGroupBox(caption, this);
  frame->setObjectName(QString::fromLatin1(name));
  frame->setFocusPolicy(Qt::NoFocus);
  PaintBackground(*frame, Qt::white);
  return frame;
}

QLineEdit* Form1::MakeText(const char* name, QWidget* parent) {
  auto* text = new QLineEdit(parent);
  text->setObjectName(QString::fromLatin1(name));
  return text;
}

void Form1::BuildControls() {
  setFont(ArialBold(9));
  setFixedSize(Px(kClientWidthTwips), Px(kClientHeightTwips));
  PaintBackground(*this, Qt::white);
  BuildTopButtons();
  BuildFrame4();
  BuildFrame3();
  BuildListView1();
  BuildFrame2();
  BuildFrame1();
  BuildSaveButtons();
  BuildFrame5();
  SetFocusOrder();
  ConnectHandlers();
  WireHoverRules();
  WireKeyboard();
  BuildHeadingNote();
}

void Form1::BuildTopButtons() {
  PushButton4 = MakeButton("PushButton4", QStringLiteral("Help"), this);
  Place(PushButton4, 120, 120, 3840, 405);
  PushButton6 = MakeButton("PushButton6", QStringLiteral("Load Sample/Example File"), this);
  Place(PushButton6, 4080, 120, 3840, 405);
}

// The workbook path, filled by the program.
void Form1::BuildFrame4() {
  Frame4 = MakeFrame("Frame4", QStringLiteral("Excel File (XLS or XLSX are valid)"));
  Place(Frame4, 120, 585, 7800, 800);
  Text1 = MakeText("Text1", Frame4);
  Place(Text1, 240, 300, 6495, 345);
  Text1->setReadOnly(true);
  Text1->setAccessibleName(Frame4->title());
  PushButton2 = MakeButton("PushButton2", QStringLiteral("..."), Frame4);
  Place(PushButton2, 6840, 300, 720, 345);
  PushButton2->setAccessibleName(QStringLiteral("Choose a workbook"));
}

// The block's address, filled by the program.
void Form1::BuildFrame3() {
  Frame3 = MakeFrame("Frame3", QStringLiteral("Range Address"));
  Place(Frame3, 120, 1440, 7800, 800);
  Text2 = MakeText("Text2", Frame3);
  Place(Text2, 240, 300, 7335, 345);
  Text2->setReadOnly(true);
  Text2->setAccessibleName(Frame3->title());
}

void Form1::BuildListView1() {
  list_model_ = new ColumnListModel(columns_, this);
  ListView1 = new QTreeView(this);
  ListView1->setObjectName(QStringLiteral("ListView1"));
  Place(ListView1, 120, 2340, 7800, 2415);
  ListView1->setFont(ArialBold(9));
  ListView1->setRootIsDecorated(false);
  ListView1->setItemsExpandable(false);
  ListView1->setUniformRowHeights(true);
  ListView1->setAlternatingRowColors(true);
  ListView1->setAllColumnsShowFocus(true);
  ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
  ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListView1->setSortingEnabled(false);
  ListView1->header()->setSectionsMovable(false);
  ListView1->header()->setStretchLastSection(false);
  ListView1->setToolTip(QString::fromLatin1(kListToolTip));
  ListView1->setAccessibleName(QStringLiteral("Columns of the block"));
  ListView1->setModel(list_model_);
}

// The field-kind chooser.
void Form1::BuildFrame2() {
  Frame2 = MakeFrame("Frame2", QStringLiteral("Change Type"));
  Place(Frame2, 120, 4815, 7800, 810);
  Combo1 = new QComboBox(Frame2);
  Combo1->setObjectName(QStringLiteral("Combo1"));
  Combo1->setEditable(false);
  Combo1->setMaxVisibleItems(26);
  Combo1->setAccessibleName(Frame2->title());
  Place(Combo1, 240, 300, 7335, 345);
}

// The output folder, typed or browsed.
void Form1::BuildFrame1() {
  Frame1 = MakeFrame("Frame1", QStringLiteral("Output Folder"));
  Place(Frame1, 120, 5670, 7800, 800);
  Text3 = MakeText("Text3", Frame1);
  Place(Text3, 240, 300, 6495, 345);
  Text3->setAccessibleName(Frame1->title());
  PushButton5 = MakeButton("PushButton5", QStringLiteral("..."), Frame1);
  Place(PushButton5, 6840, 300, 720, 345);
  PushButton5->setAccessibleName(QStringLiteral("Choose the output folder"));
}

void Form1::BuildSaveButtons() {
  PushButton1 = MakeButton("PushButton1", QStringLiteral("Save As VCF (ANSI Format)"), this);
  Place(PushButton1, 120, 6570, 3840, 405);
  PushButton3 = MakeButton("PushButton3", QStringLiteral("Save As VCF (UTF8 Format)"), this);
  Place(PushButton3, 4080, 6570, 3840, 405);
}

// --- the keyboard: shortcuts for the main commands, letters in the chooser -----------------

namespace {

// Type-ahead in the closed chooser, as Qt's item views do it: letters typed in quick
// succession (within the platform's keyboard input interval) make one prefix, and the chooser
// shows the first kind, from the one shown on, that begins with it: "pa" reaches "Pager". One
// letter typed again and again steps to the next kind that begins with it, round to the first
// again: "H" again and again walks the seven "Home" kinds.
class LetterSteps : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* combo = qobject_cast<QComboBox*>(watched);
    if (!combo || event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    if (key->modifiers() & ~Qt::ShiftModifier) return false;
    const bool continues = typed_since_.isValid() && typed_since_.elapsed() < QApplication::keyboardInputInterval();
    const bool letter = text.size() == 1 && (text[0].isLetterOrNumber() || (continues && text[0] == QLatin1Char(' ')));
    if (!letter) return false;
    typed_ = continues ? typed_ + text : text;
    typed_since_.start();
    // The same letter again steps on; a longer prefix may stay on the kind shown.
    const bool one_letter_again = typed_.count(typed_[0], Qt::CaseInsensitive) == typed_.size();
    if (one_letter_again ? !Step(combo, typed_.left(1), 1) : !Step(combo, typed_, 0)) {
      typed_ = text;  // no kind begins with the prefix: start again from this letter
      Step(combo, typed_, 1);
    }
    return true;
  }

 private:
  static bool Step(QComboBox* combo, const QString& prefix, int first_step) {
    const int count = combo->count();
    for (int step = first_step; step < first_step + count; ++step) {
      const int at = (std::max(combo->currentIndex(), 0) + step) % count;
      if (combo->itemText(at).startsWith(prefix, Qt::CaseInsensitive)) {
        if (at != combo->currentIndex() || step != 0) {
          combo->setCurrentIndex(at);
          emit combo->activated(at);  // as a pick from the list: the line takes the kind
        }
        return true;
      }
    }
    return false;
  }

  QString typed_;
  QElapsedTimer typed_since_;
};

}  // namespace

// Shortcuts leave every caption as it is: Ctrl+O opens a workbook, Ctrl+S saves the ANSI
// file, Ctrl+Shift+S the UTF-8 file, F1 shows the help.
void Form1::WireKeyboard() {
  const std::pair<QKeySequence, QPushButton*> shortcuts[] = {
      {QKeySequence(Qt::CTRL | Qt::Key_O), PushButton2},
      {QKeySequence(Qt::CTRL | Qt::Key_S), PushButton1},
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), PushButton3},
      {QKeySequence(Qt::Key_F1), PushButton4},
  };
  for (const auto& [keys, button] : shortcuts) {
    if (button != PushButton1) button->setToolTip(ToolTipWithShortcut({}, keys.toString(QKeySequence::PortableText)));
    connect(new QShortcut(keys, this), &QShortcut::activated, button, [this, button] {
      // Under 3.0 and 4.0 the ANSI button is off: its key says why, where the button is, rather
      // than doing nothing.
      if (!button->isEnabled()) {
        QToolTip::showText(button->mapToGlobal(button->rect().center()), button->toolTip(), button);
        return;
      }
      button->click();
    });
  }
  Combo1->installEventFilter(new LetterSteps(this));
}

// The output choice, in a frame of its own below the save buttons: which address book the files
// are for (the vCard version) and whether all rows go into one file.
void Form1::BuildFrame5() {
  Frame5 = MakeFrame("Frame5", QStringLiteral("Address Book to Import Into"));
  Place(Frame5, 120, 7035, 7800, 1200);
  Combo2 = new QComboBox(Frame5);
  Combo2->setObjectName(QStringLiteral("Combo2"));
  Combo2->setEditable(false);
  for (const commands::AddressBookEntry& entry : commands::kAddressBooks) {
    Combo2->addItem(QString::fromLatin1(entry.caption));
  }
  Combo2->setAccessibleName(Frame5->title());
  Place(Combo2, 240, 300, 7335, 345);
  Check1 = new QCheckBox(QString::fromLatin1(commands::kOneFileCaption), Frame5);
  Check1->setObjectName(QStringLiteral("Check1"));
  Check1->setToolTip(
      WrappedToolTip(QStringLiteral("One .vcf file, named after the workbook, that holds every row: one import for a "
                                    "phone, Google or iCloud. Unticked: one file per row, as Outlook takes them.")));
  Place(Check1, 240, 735, 7335, 330);
  ShowOutputChoice({});
  connect(Combo2, &QComboBox::currentIndexChanged, this, [this] { Combo2_Change(); });
  connect(Check1, &QCheckBox::toggled, this, [this] { Check1_Click(); });
}

void Form1::SetFocusOrder() {
  // The output choice follows the save buttons it sets.
  QWidget* const order[] = {Text1,       PushButton2, ListView1, Combo1,      Text3, PushButton5, PushButton1,
                            PushButton3, Combo2,      Check1,    PushButton4, Text2, PushButton6};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void Form1::ConnectHandlers() {
  connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
  connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
  connect(PushButton3, &QPushButton::clicked, this, [this] { PushButton3_Click(); });
  connect(PushButton4, &QPushButton::clicked, this, [this] { PushButton4_Click(); });
  connect(PushButton5, &QPushButton::clicked, this, [this] { PushButton5_Click(); });
  connect(PushButton6, &QPushButton::clicked, this, [this] { PushButton6_Click(); });
  connect(Text3, &QLineEdit::textChanged, this, [this] { Text3_Change(); });
  connect(ListView1, &QTreeView::clicked, this, [this] { ListView1_Click(); });
  connect(ListView1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            columns_.Select(current.isValid() ? std::optional<std::size_t>(static_cast<std::size_t>(current.row()) + 1)
                                              : std::nullopt);
            ListView1_Click();  // keyboard moves show the line's kind as a click does
          });
  connect(Combo1, &QComboBox::activated, this, [this] { Combo1_Click(); });
  connect(Combo1, &QComboBox::currentIndexChanged, this, [this] { Combo1_Change(); });
}

void Form1::WireHoverRules() {
  // Mouse-move notifications of the buttons, the frames, the text boxes and the list (its
  // lines, its column header and its scroll bars) feed the hover rules; the window's own moves
  // arrive in mouseMoveEvent. Combo1 has no rule.
  setMouseTracking(true);
  std::vector<QWidget*> watched = {PushButton1,
                                   PushButton2,
                                   PushButton3,
                                   PushButton4,
                                   PushButton5,
                                   PushButton6,
                                   Frame1,
                                   Frame2,
                                   Frame3,
                                   Frame4,
                                   Frame5,
                                   Check1,
                                   Text1,
                                   Text2,
                                   Text3,
                                   ListView1,
                                   ListView1->viewport(),
                                   ListView1->header(),
                                   ListView1->header()->viewport()};
  for (QScrollBar* bar : {ListView1->verticalScrollBar(), ListView1->horizontalScrollBar()}) {
    watched.push_back(bar);
    if (bar->parentWidget() && bar->parentWidget() != ListView1) watched.push_back(bar->parentWidget());
  }
  for (QWidget* widget : watched) {
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
    // Each move reaches one rule: a button that ignores a move must not pass it on to the
    // frame or the window behind it.
    widget->setAttribute(Qt::WA_NoMousePropagation);
  }
  Combo1->setAttribute(Qt::WA_NoMousePropagation);
  Combo2->setAttribute(Qt::WA_NoMousePropagation);  // no rule, as for Combo1
  // The pointer setting covers the whole window, the chooser included: the controls take the
  // window's shape, except the text boxes, which have a shape of their own to override.
  for (QWidget* widget : std::initializer_list<QWidget*>{this, Text1, Text2, Text3}) {
    pointer_targets_.push_back({widget, widget->testAttribute(Qt::WA_SetCursor), widget->cursor()});
  }
}

void Form1::Form_Load() {
  CenterForm(*this);                                  // 1
  ApplySkin();                                        // 2
  setWindowTitle(ToQString(run::kApplicationTitle));  // 3
  setWindowIcon(AppIcon());                           // 4
  const QString cursor_file = env_.application_folder + QStringLiteral("/HAND-M.CUR");
  if (FileExists(cursor_file)) custom_pointer_ = LoadCursorFile(cursor_file);                // 5: unreadable: no image
  InitFieldMapping();                                                                        // 6
  Text3->setText(GetSetting(env_.settings, QString::fromLatin1(commands::kSettingsSection),  // 7
                            QString::fromLatin1(commands::kOutputFolderKey), env_.desktop_folder));
  // Beside the output folder: the output choice.
  ShowOutputChoice(commands::ReadOutputChoice(env_.settings));
  CheckExcelInstalled(env_.make_engine, env_.dialogs);  // 8
  Text1->setFocus();                                    // the first control of the focus order
}

void Form1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Step 1 centred the window by its inner size: its frame is known only once the window
  // manager has framed the shown window, a little later. Centre it again by its outer size
  // then, so the title bar does not push it below the middle; without a frame, nothing moves.
  if (centred_with_frame_) return;
  centred_with_frame_ = true;
  auto* poll = new QTimer(this);
  auto tries = std::make_shared<int>(0);
  connect(poll, &QTimer::timeout, this, [this, poll, tries] {
    const bool framed = frameGeometry().size() != size();
    if (framed) CenterForm(*this);
    if (framed || ++*tries >= kFramePollTries) poll->deleteLater();
  });
  poll->start(kFramePollMs);
}

void Form1::closeEvent(QCloseEvent* event) {
  // Form_Unload: the program ends at once, whatever is open. A running export stops before
  // its next row and shows nothing more; a sheet window that is up closes with the program.
  export_->Abandon();
  QWidget::closeEvent(event);
  emit Closed();
  QCoreApplication::exit(0);
}

void Form1::ApplySkin() {
  if (!FileExists(env_.application_folder + QStringLiteral("/x/o.cjs"))) return;
  // The skin component itself is not part of this build; its file only turns the window
  // and the frames to the button face.
  const QColor face = palette().color(QPalette::Button);
  PaintBackground(*this, face);
  for (QGroupBox* frame : {Frame1, Frame2, Frame3, Frame4, Frame5}) PaintBackground(*frame, face);
  skin_applied_ = true;
}

void Form1::InitFieldMapping() {
  ListView1->header()->resizeSection(0, Px(mapping::ColumnList::kColumnsHeaderWidthTwips));
  ListView1->header()->resizeSection(1, Px(mapping::ColumnList::kTypeHeaderWidthTwips));
  Combo1->blockSignals(true);
  Combo1->clear();
  for (std::string_view kind : mapping::kFieldKindTexts) Combo1->addItem(ToQString(kind));
  Combo1->setCurrentIndex(-1);
  Combo1->blockSignals(false);
}

// --- pointer -----------------------------------------------------------------------------

void Form1::SetPointer(run::PointerSetting setting) {
  pointer_ = setting;
  // Only a change reaches the widgets, so the many moves of the hover rules cost nothing.
  if (setting != applied_pointer_) ApplyPointer();
}

void Form1::ApplyPointer() {
  applied_pointer_ = pointer_;
  for (PointerTarget& target : pointer_targets_) {
    switch (pointer_) {
      case run::PointerSetting::kDefault:
        if (target.own_cursor) {
          target.widget->setCursor(target.own);
        } else {
          target.widget->unsetCursor();
        }
        break;
      case run::PointerSetting::kBusy:
        target.widget->setCursor(Qt::WaitCursor);
        break;
      case run::PointerSetting::kCustom:
        target.widget->setCursor(custom_pointer_.value_or(QCursor(Qt::PointingHandCursor)));
        break;
    }
  }
}

Qt::CursorShape Form1::PointerShape() const { return PushButton1->cursor().shape(); }

void Form1::ButtonHover() {
  if (Pointer() == run::PointerSetting::kBusy) return;  // a running operation keeps its hourglass
  SetPointer(run::PointerSetting::kCustom);
}

void Form1::PlainAreaHover() {
  if (Pointer() == run::PointerSetting::kBusy) return;
  SetPointer(run::PointerSetting::kDefault);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove) {
    if (std::find(buttons_.begin(), buttons_.end(), watched) != buttons_.end()) {
      ButtonHover();
    } else {
      PlainAreaHover();
    }
  }
  return QWidget::eventFilter(watched, event);
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
  PlainAreaHover();
  QWidget::mouseMoveEvent(event);
}

// --- the list and the chooser --------------------------------------------------------------

std::optional<std::size_t> Form1::SelectedLine() const { return columns_.Selected(); }

void Form1::ListView1_Click() {
  if (columns_.Empty()) return;
  const std::optional<std::size_t> line = SelectedLine();
  if (!line) return;
  Combo1->setCurrentText(ToQString(columns_.TypeOf(*line)));
}

void Form1::Combo1_Click() {
  if (columns_.Empty() || Combo1->currentIndex() < 0) return;
  const std::optional<std::size_t> line = SelectedLine();
  if (!line) return;
  columns_.SetSelectedType(ToUtf8(Combo1->currentText()));
  list_model_->TypesChanged();
  RememberHeadingKinds();
}

void Form1::Combo1_Change() { Combo1_Click(); }

// --- the workbook and the block ------------------------------------------------------------

void Form1::PushButton2_Click() {
  // Any failure ends the command without a message, as a cancelled dialog does.
  try {
    const QString path =
        env_.dialogs.OpenFile(QString::fromLatin1(kOpenDialogTitle), QString::fromLatin1(kOpenDialogFilter));
    if (path.isEmpty()) return;
    if (WarnIfExcelOpen(path, env_.dialogs)) return;
    Text2->clear();
    Text1->setText(path);
    PickCellBlock(Text1->text());
  } catch (const std::exception&) {
  }
}

void Form1::PickCellBlock(const QString& path) {
  SetPointer(run::PointerSetting::kBusy);
  // OpenWorkbook: read on a worker thread, while the sheet window shows what is read.
  sheet::WorkbookSource source{ToUtf8(path), {}, {}};
  source.load = [open = env_.open_workbook, file = source.path] { return open(file); };
  if (env_.open_stream) source.stream = [open = env_.open_stream, file = source.path] { return open(file); };
  sheet::WorkbookReading reading(std::move(source), env_.format);
  std::optional<std::string> address;
  try {
    address = env_.dialogs.PickBlock(reading, env_.format);
  } catch (const std::exception&) {
    address.reset();  // a pick that fails is a cancelled pick
  }
  try {
    reading.RethrowFailure();
  } catch (const std::exception& e) {
    // A workbook that cannot be read says why, and leaves no block and no stale column list.
    Text2->clear();
    columns_.Clear();
    list_model_->Reload();
    SetPointer(run::PointerSetting::kDefault);
    env_.dialogs.Show(ToUtf8(path) + "\r\n\r\n" + run::FailureInWords(e), run::kApplicationTitle,
                      run::MessageIcon::kExclamation, run::MessageButtons::kOk);
    return;
  }
  try {
    const std::optional<sheet::CellBlock> block = address ? sheet::ParseAddress(*address) : std::nullopt;
    if (block && reading.Book()) {
      Text2->setText(ToQString(*address));
      // A new block replaces the lines of the previous one, so the list always matches Text2.
      columns_.Clear();
      columns_.FillColumnList(static_cast<int>(block->last_column - block->first_column + 1));
      ProposeFromHeadings(reading.TakeBook(), path, *address);
      list_model_->Reload();
      if (!columns_.Empty()) ListView1->setCurrentIndex(list_model_->index(0, 0));
    }
  } catch (const std::exception&) {
    // A cancelled pick leaves everything as it was.
  }
  SetPointer(run::PointerSetting::kDefault);  // closing steps
}

void Form1::PushButton6_Click() {
  run::Statements s(env_.dialogs, kPushButton6Location);
  s.Step(100, [&] { Text1->setText(env_.application_folder + QStringLiteral("/Samples/sample.xls")); });
  s.Step(102, [&] { Text2->setText(QStringLiteral("A1:B3")); });
  // The sample's block holds first and last names in its two columns: the list gets those two
  // lines with their kinds, as a pick of the block would, so a save right after it exports the
  // sample instead of answering that the list is empty.
  s.Step(104, [&] {
    columns_.Clear();
    columns_.FillColumnList(2);
    columns_.SetType(1, "First Name");
    columns_.SetType(2, "Last Name");
    list_model_->Reload();
    ListView1->setCurrentIndex(list_model_->index(0, 0));
  });
}

// --- the heading row ------------------------------------------------------------------------
// A block whose first row names its columns ("First Name", "E-Mail-Adresse", ...) gets the
// kinds those headings propose, or the kinds the user chose before under the same headings,
// and its address moves one row down so the headings are not exported as a contact. Frame3
// says so, and Label1 beside Text2 takes the move back (or makes it again).

namespace {

const QString kHeadingsLeftOutTitle = QStringLiteral("Range Address: the first row holds headings and is left out");
const QString kHeadingsExportedTitle = QStringLiteral("Range Address: the first row holds headings and is exported");

QString Link(const QString& text) { return QStringLiteral("<a href=\"row\">") + text + QStringLiteral("</a>"); }

}  // namespace

void Form1::BuildHeadingNote() {
  Label1 = new QLabel(Frame3);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setTextFormat(Qt::RichText);
  Label1->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Label1->setToolTip(WrappedToolTip(
      QStringLiteral("The kinds in the list were proposed from the headings in the block's first row; change any of "
                     "them as usual. Your choices are remembered for the next block with the same headings.")));
  Place(Label1, 4395, 300, 3180, 345);
  Label1->hide();
  setTabOrder(Text2, Label1);
  setTabOrder(Label1, PushButton6);
  connect(Label1, &QLabel::linkActivated, this, [this] { Label1_LinkActivated(); });
  // Any other address in Text2 (a new pick, the sample) ends the heading row's note.
  connect(Text2, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (text != address_below_ && text != address_with_headings_) ForgetHeadingRow();
  });
}

void Form1::ProposeFromHeadings(sheet::Workbook workbook, const QString& path, const std::string& address) {
  ForgetHeadingRow();
  run::BlockHeadings headings;
  try {
    sheet::OpenedWorkbook opened(std::move(workbook), ToUtf8(path), env_.format);
    headings = run::ReadBlockHeadings(opened, address);
  } catch (const std::exception&) {
    return;  // a first row that cannot be read proposes nothing; the block stays as marked
  }
  if (!headings.proposal.reads_as_headings || headings.first_row.size() != columns_.Count()) return;
  std::vector<std::string> kinds = std::move(headings.proposal.kinds);
  // The user's own choices under these headings win over the table's proposals.
  if (auto remembered = commands::RememberedKinds(env_.settings, headings.first_row)) kinds = std::move(*remembered);
  for (std::size_t j = 1; j <= kinds.size(); ++j) columns_.SetType(j, kinds[j - 1]);
  heading_row_ = std::move(headings.first_row);
  list_model_->SetHeadings(heading_row_);
  remembered_kinds_ = std::move(kinds);
  address_with_headings_ = ToQString(address);
  if (!headings.address_below) return;  // a block of one row keeps it
  address_below_ = ToQString(*headings.address_below);
  Text2->setText(address_below_);
  ShowHeadingNote();
}

void Form1::ShowHeadingNote() {
  const bool left_out = Text2->text() == address_below_;
  Frame3->setTitle(left_out ? kHeadingsLeftOutTitle : kHeadingsExportedTitle);
  Label1->setText(Link(left_out ? QStringLiteral("Export the first row too") : QStringLiteral("Leave it out")));
  Place(Text2, 240, 300, 4035, 345);
  Label1->show();
}

void Form1::ForgetHeadingRow() {
  heading_row_.clear();
  remembered_kinds_.clear();
  address_with_headings_.clear();
  address_below_.clear();
  if (list_model_) list_model_->SetHeadings({});
  if (Label1->isHidden()) return;
  Label1->hide();
  Frame3->setTitle(QStringLiteral("Range Address"));
  Place(Text2, 240, 300, 7335, 345);
}

void Form1::Label1_LinkActivated() {
  if (address_below_.isEmpty()) return;
  Text2->setText(Text2->text() == address_below_ ? address_with_headings_ : address_below_);
  ShowHeadingNote();
}

void Form1::RememberHeadingKinds() {
  if (heading_row_.empty() || heading_row_.size() != columns_.Count()) return;
  std::vector<std::string> kinds;
  for (std::size_t j = 1; j <= columns_.Count(); ++j) kinds.push_back(columns_.TypeOf(j));
  if (kinds == remembered_kinds_) return;  // showing a line's kind in the chooser changes nothing
  remembered_kinds_ = kinds;
  // A store that cannot be written stops nothing: the list keeps the kinds for this block.
  commands::RememberKinds(env_.settings, heading_row_, kinds);
}

// --- output folder, help, save -------------------------------------------------------------

void Form1::Text3_Change() {
  // A setting that cannot be stored (a read-only config folder) must not stop the program: the
  // box keeps the text and the export uses it.
  env_.settings.Write(QString::fromLatin1(commands::kSettingsSection), QString::fromLatin1(commands::kOutputFolderKey),
                      Text3->text());
}

void Form1::PushButton5_Click() {
  commands::ChooseOutputFolder(env_.dialogs, [this](const QString& folder) { Text3->setText(folder); });
}

void Form1::PushButton4_Click() { commands::ShowEncodingHelp(env_.dialogs, env_.dialogs); }

void Form1::PushButton1_Click() { Save(vcard::ExportEncoding::Ansi); }

void Form1::PushButton3_Click() { Save(vcard::ExportEncoding::Utf8); }

void Form1::Save(vcard::ExportEncoding encoding) {
  // One run at a time: a press while a run works starts nothing.
  if (!env_.save || export_->Running()) return;
  run::ExportInputs inputs{ToUtf8(Text1->text()), ToUtf8(Text2->text()), columns_,
                           ToUtf8(commands::OutputFolderPath(Text3->text()))};
  const commands::OutputChoice choice = ChosenOutput();
  inputs.version = choice.version;
  inputs.one_file = choice.one_file;
  export_->Start(env_.save, encoding, inputs);
}

// --- the output choice -----------------------------------------------------------------------

commands::OutputChoice Form1::ChosenOutput() const {
  const auto line = static_cast<std::size_t>(std::max(Combo2->currentIndex(), 0));
  return {commands::kAddressBooks.at(line).version, Check1->isChecked()};
}

void Form1::ShowOutputChoice(const commands::OutputChoice& choice) {
  {
    const QSignalBlocker quiet_combo(Combo2);  // showing a choice stores nothing
    const QSignalBlocker quiet_check(Check1);
    Combo2->setCurrentIndex(static_cast<int>(commands::AddressBookIndex(choice.version)));
    Check1->setChecked(choice.one_file);
  }
  // 3.0 and 4.0 are written in UTF-8 only: the ANSI button is off and its tool tip says why.
  const QString why = commands::AnsiButtonToolTip(choice.version);
  PushButton1->setEnabled(why.isEmpty());
  PushButton1->setToolTip(ToolTipWithShortcut(why, kAnsiKeys));
  PushButton1->setAccessibleDescription(why);
}

void Form1::OutputChoiceChanged() {
  const commands::OutputChoice choice = ChosenOutput();
  ShowOutputChoice(choice);
  // A store that cannot be written (a read-only config folder) must not stop the program: the
  // window keeps the choice for this run.
  commands::StoreOutputChoice(env_.settings, choice);
}

void Form1::Combo2_Change() { OutputChoiceChanged(); }

void Form1::Check1_Click() { OutputChoiceChanged(); }

}  // namespace cw::app
