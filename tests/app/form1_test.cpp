// The main window: layout, start-up, hover rules, the list and chooser, the workbook browse
// and block pick, the sample command, the output folder browse, the output choice and the help box.
#include "app/form1.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>
#include <QtTest>
#include <atomic>
#include <memory>
#include <tuple>

#include "app/excel1.h"
#include "app/main0.h"
#include "app/qt_dialogs.h"
#include "commands/encoding_help.h"
#include "commands/output_choice.h"
#include "commands/settings_store.h"
#include "fake_dialogs.h"
#include "run/statements.h"

using namespace cw;
using app::Form1;
using run::PointerSetting;

namespace {

const QString kSection = QStringLiteral("Cardwright");
const QString kKey = QStringLiteral("Text3");

// An engine that exists; the installed check only needs one to come back.
class NullEngine : public run::SheetEngine {
 public:
  std::unique_ptr<run::SheetApplication> OpenWorkbook(const std::string&) override {
    throw std::runtime_error("not used here");
  }
};

void AddText(sheet::Workbook& book, sheet::Worksheet& sheet, std::uint32_t row, std::uint16_t column,
             const char* text) {
  sheet::Cell cell;
  cell.row = row;
  cell.column = column;
  cell.kind = sheet::CellKind::kString;
  cell.string_index = book.AddString(text);
  sheet.Add(cell);
}

// "Front" (active) holds A1:B2, "Back Sheet" holds A1:D6.
sheet::Workbook MakeBook() {
  sheet::Workbook book;
  book.sheets.emplace_back("Front");
  book.sheets.emplace_back("Back Sheet");
  AddText(book, book.sheets[0], 0, 0, "a");
  AddText(book, book.sheets[0], 1, 1, "b");
  for (std::uint32_t r = 0; r < 6; ++r) {
    for (std::uint16_t c = 0; c < 4; ++c) AddText(book, book.sheets[1], r, c, "x");
  }
  for (auto& sheet : book.sheets) sheet.Finish();
  return book;
}

// Outlook's CSV headings above two contacts, on the one sheet "Contacts".
const char* const kOutlookHeadings[] = {"Title",
                                        "First Name",
                                        "Middle Name",
                                        "Last Name",
                                        "Suffix",
                                        "Company",
                                        "Job Title",
                                        "Business Street",
                                        "Business City",
                                        "Business State",
                                        "Business Postal Code",
                                        "Business Country/Region",
                                        "Home Street",
                                        "Home City",
                                        "Home State",
                                        "Home Postal Code",
                                        "Home Country/Region",
                                        "Business Fax",
                                        "Business Phone",
                                        "Home Fax",
                                        "Home Phone",
                                        "Mobile Phone",
                                        "Pager",
                                        "E-mail Address",
                                        "Birthday",
                                        "Web Page",
                                        "Notes"};
constexpr int kOutlookColumns = static_cast<int>(std::size(kOutlookHeadings));

sheet::Workbook MakeOutlookBook() {
  sheet::Workbook book;
  book.sheets.emplace_back("Contacts");
  for (std::uint16_t c = 0; c < kOutlookColumns; ++c) {
    AddText(book, book.sheets[0], 0, c, kOutlookHeadings[c]);
    AddText(book, book.sheets[0], 1, c, "Ann");
    AddText(book, book.sheets[0], 2, c, "Bo");
  }
  book.sheets[0].Finish();
  return book;
}

void SelectCells(sheet::SheetWindow& window, int top, int left, int bottom, int right) {
  auto* model = window.Grid()->model();
  window.Grid()->selectionModel()->select(QItemSelection(model->index(top, left), model->index(bottom, right)),
                                          QItemSelectionModel::ClearAndSelect);
}

// The window that is up for the user to work: a modal box, or the sheet window.
QWidget* WindowUp() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (qobject_cast<sheet::SheetWindow*>(top) && top->isVisible()) return top;
  }
  return nullptr;
}

// Works the window once it is up, as a user would; polls so a slow start never hangs.
void WhenModalShown(const std::function<void(QWidget*)>& act) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (QWidget* modal = WindowUp()) {
      timer->stop();
      timer->deleteLater();
      act(modal);
    }
  });
  timer->start(5);
}

// A Windows cursor file: an .ico written by Qt with its header turned into a cursor's
// (type 2, the entry's planes and bit count fields holding the hot spot).
bool WriteCursorFile(const QString& path, QPoint hot) {
  QImage hand(32, 32, QImage::Format_ARGB32);
  hand.fill(Qt::red);
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  if (!hand.save(&buffer, "ico")) return false;
  QByteArray bytes = buffer.data();
  bytes[2] = 2;
  bytes[10] = static_cast<char>(hot.x());
  bytes[11] = 0;
  bytes[12] = static_cast<char>(hot.y());
  bytes[13] = 0;
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

void MoveMouseOver(QWidget* widget) {
  const QPointF local(widget->width() / 2.0, widget->height() / 2.0);
  QMouseEvent move(QEvent::MouseMove, local, widget->mapToGlobal(local), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &move);
}

// One window with its world: settings, application and desktop folders under a temporary
// folder, a scripted dialogs seam, an engine factory and a workbook reader.
struct Harness {
  QTemporaryDir dir;
  test::FakeDialogs dialogs;
  std::unique_ptr<commands::IniSettingsStore> settings;
  QString app_folder, desktop, workbook_path;
  bool engine_available = true;
  std::function<void(vcard::ExportEncoding, const run::ExportInputs&, run::PointerControl&)> save;
  int workbooks_read = 0;
  std::function<sheet::Workbook()> book = MakeBook;
  std::unique_ptr<Form1> form;

  Harness() {
    app_folder = dir.filePath(QStringLiteral("app"));
    desktop = dir.filePath(QStringLiteral("Desktop")) + QLatin1Char('/');
    workbook_path = dir.filePath(QStringLiteral("contacts.xlsx"));
    QDir().mkpath(app_folder);
    settings = std::make_unique<commands::IniSettingsStore>(dir.filePath(QStringLiteral("settings.ini")));
  }

  Form1& Make() {
    app::Form1Environment env{
        dialogs,
        *settings,
        app_folder,
        desktop,
        [this]() -> std::unique_ptr<run::SheetEngine> {
          if (!engine_available) return nullptr;
          return std::make_unique<NullEngine>();
        },
        [this](const std::string& path) {
          ++workbooks_read;
          if (path != workbook_path.toStdString()) throw std::runtime_error("Not a workbook: " + path);
          return book();
        },
        {},
        [this](vcard::ExportEncoding encoding, const run::ExportInputs& inputs, app::RunOutside& outside) {
          if (save) save(encoding, inputs, outside.pointer);
        },
    };
    form = std::make_unique<Form1>(std::move(env));
    return *form;
  }

  Form1& Load() {
    Make().Form_Load();
    return *form;
  }

  QString Stored() const { return settings->Read(kSection, kKey).value_or(QStringLiteral("<absent>")); }
};

}  // namespace

class Form1Test : public QObject {
  Q_OBJECT

 private slots:
  void LayoutMatchesTheTableInTwips_data();
  void LayoutMatchesTheTableInTwips();
  void WindowIsFixedWithMinimizeAndClose();
  void FontsAndColours();
  void TabOrderSkipsTheFrames();
  void StartUpRestoresTheOutputFolder_data();
  void StartUpRestoresTheOutputFolder();
  void StartUpFillsTheChooserAndTheCaption();
  void StartUpOptionalFiles();
  void CursorHotSpotFromTheFileHeader();
  void InstalledCheckSpeaksOnlyWithoutAnEngine();
  void HoverRules();
  void HoverLeavesBusyAlone();
  void ListAndChooserOnAnEmptyList();
  void ListAndChooserOnAFilledList();
  void BrowseCancelled();
  void BrowseOwnerFileAnswered_data();
  void BrowseOwnerFileAnswered();
  void BrowsePickCancelledOrUnreadable();
  void BrowsePickConfirmedOnAnotherSheet();
  void BrowseSecondPickReplacesTheList();
  void HeadingRowProposesTheKindsAndMovesTheBlock();
  void SampleCommand();
  void OutputFolderBrowse_data();
  void OutputFolderBrowse();
  void OutputFolderBrowseFailureIsReported();
  void TypingIntoTheOutputFolderStoresEveryChange();
  void HelpBox();
  void SaveButtonsRunTheExportOnTheWindowsInputs();
  void OutputChoiceRestoredAtStartUp_data();
  void OutputChoiceRestoredAtStartUp();
  void OutputChoiceByKeyboardReachesTheRunAndIsStored();
  void OutputChoiceWithoutAWritableStore();
  void DisabledAnsiButtonStillExplainsItself();
  void OutputChoiceFitsAtThisDpi();
  void QtMessageBoxesShowTheRequestedBox_data();
  void QtMessageBoxesShowTheRequestedBox();
  void QtSheetWindowReturnsTheMarkedBlock();
  void FocusStartsOnText1AndTheListsPartsArePlain();
  void FreshAccountWithoutADesktopFolder();
  void ClosingTheMainWindowDuringAPickEndsIt();
  void KeyboardReachesTheCommandsAndTheKinds();
  void CtrlSWithTheAnsiButtonOffSaysWhy();
  void ChooserTypeAheadReachesTheKindTyped_data();
  void ChooserTypeAheadReachesTheKindTyped();
};

void Form1Test::LayoutMatchesTheTableInTwips_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("container");
  QTest::addColumn<QRect>("twips");
  QTest::addColumn<QString>("caption");
  const auto row = [](const char* name, const char* container, int l, int t, int w, int h, const char* caption) {
    QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(container) << QRect(l, t, w, h)
                        << QString::fromLatin1(caption);
  };
  row("PushButton4", "Form1", 120, 120, 3840, 405, "Help");
  row("PushButton6", "Form1", 4080, 120, 3840, 405, "Load Sample/Example File");
  row("Frame4", "Form1", 120, 585, 7800, 800, "Excel File (XLS or XLSX are valid)");
  row("Text1", "Frame4", 240, 300, 6495, 345, "");
  row("PushButton2", "Frame4", 6840, 300, 720, 345, "...");
  row("Frame3", "Form1", 120, 1440, 7800, 800, "Range Address");
  row("Text2", "Frame3", 240, 300, 7335, 345, "");
  row("ListView1", "Form1", 120, 2340, 7800, 2415, "");
  row("Frame2", "Form1", 120, 4815, 7800, 810, "Change Type");
  row("Combo1", "Frame2", 240, 300, 7335, 345, "");
  row("Frame1", "Form1", 120, 5670, 7800, 800, "Output Folder");
  row("Text3", "Frame1", 240, 300, 6495, 345, "");
  row("PushButton5", "Frame1", 6840, 300, 720, 345, "...");
  row("PushButton1", "Form1", 120, 6570, 3840, 405, "Save As VCF (ANSI Format)");
  row("PushButton3", "Form1", 4080, 6570, 3840, 405, "Save As VCF (UTF8 Format)");
  // The output choice, below everything above, which stays where it was.
  row("Frame5", "Form1", 120, 7035, 7800, 1200, "Address Book to Import Into");
  row("Combo2", "Frame5", 240, 300, 7335, 345, "");
  row("Check1", "Frame5", 240, 735, 7335, 330, "All rows in one file");
}

void Form1Test::LayoutMatchesTheTableInTwips() {
  QFETCH(QString, name);
  QFETCH(QString, container);
  QFETCH(QRect, twips);
  QFETCH(QString, caption);
  Harness h;
  Form1& form = h.Load();
  QWidget* widget = form.findChild<QWidget*>(name);
  QVERIFY(widget);
  QCOMPARE(widget->parentWidget()->objectName(), container);
  QCOMPARE(widget->geometry(),
           QRect(form.Px(twips.x()), form.Px(twips.y()), form.Px(twips.width()), form.Px(twips.height())));
  if (auto* button = qobject_cast<QPushButton*>(widget)) QCOMPARE(button->text(), caption);
  if (auto* frame = qobject_cast<QGroupBox*>(widget)) QCOMPARE(frame->title(), caption);
  if (auto* box = qobject_cast<QCheckBox*>(widget)) QCOMPARE(box->text(), caption);
  if (auto* text = qobject_cast<QLineEdit*>(widget); text && name != QStringLiteral("Text3")) {
    QVERIFY(text->text().isEmpty());
  }
}

void Form1Test::WindowIsFixedWithMinimizeAndClose() {
  Harness h;
  Form1& form = h.Load();
  // 15 twips make a pixel at 96 dpi; other dpi scale the same table.
  const int dpi = form.logicalDpiY();
  QCOMPARE(form.Px(1440), dpi);
  if (dpi == 96) QCOMPARE(form.size(), QSize(536, 556));
  QCOMPARE(form.size(), QSize(form.Px(8040), form.Px(8340)));
  QCOMPARE(form.minimumSize(), form.maximumSize());
  const Qt::WindowFlags flags = form.windowFlags();
  QVERIFY(flags & Qt::WindowMinimizeButtonHint);
  QVERIFY(flags & Qt::WindowCloseButtonHint);
  QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
  QVERIFY(form.Text1->isReadOnly());
  QVERIFY(form.Text2->isReadOnly());
  QVERIFY(!form.Text3->isReadOnly());
  QCOMPARE(form.ListView1->toolTip(), QStringLiteral("Move bar to right and out of window to reveal full names."));
  QCOMPARE(form.ListView1->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral(" Columns"));
  QCOMPARE(form.ListView1->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral(" Type"));
  QCOMPARE(form.ListView1->header()->sectionSize(0), form.Px(4500));
  QCOMPARE(form.ListView1->header()->sectionSize(1), form.Px(2300));
}

void Form1Test::FontsAndColours() {
  Harness h;
  Form1& form = h.Load();
  const QStringList arial = {QStringLiteral("Arial"), QStringLiteral("Liberation Sans")};
  struct Case {
    QWidget* widget;
    double points;
  };
  const Case cases[] = {{&form, 9},
                        {form.Text1, 9},
                        {form.Combo1, 9},
                        {form.Frame2, 9},
                        {form.ListView1, 9},
                        {form.PushButton1, 11.25},
                        {form.PushButton2, 11.25},
                        {form.PushButton3, 11.25},
                        {form.PushButton4, 11.25},
                        {form.PushButton5, 11.25},
                        {form.PushButton6, 11.25}};
  for (const Case& c : cases) {
    const QString what = c.widget->objectName();
    QVERIFY2(c.widget->font().bold(), qPrintable(what));
    QCOMPARE(c.widget->font().pointSizeF(), c.points);
    QVERIFY2(arial.contains(QFontInfo(c.widget->font()).family()), qPrintable(QFontInfo(c.widget->font()).family()));
  }
  QCOMPARE(form.palette().color(QPalette::Window), QColor(Qt::white));
  for (QGroupBox* frame : {form.Frame1, form.Frame2, form.Frame3, form.Frame4}) {
    QCOMPARE(frame->palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY(frame->autoFillBackground());
  }
  QVERIFY(!form.SkinApplied());
}

void Form1Test::TabOrderSkipsTheFrames() {
  Harness h;
  Form1& form = h.Load();
  const QList<QWidget*> expected = {form.Text1,       form.PushButton2, form.ListView1,   form.Combo1, form.Text3,
                                    form.PushButton5, form.PushButton1, form.PushButton3, form.Combo2, form.Check1,
                                    form.PushButton4, form.Text2,       form.PushButton6};
  QList<QWidget*> order;
  QWidget* w = form.Text1;
  do {
    if (expected.contains(w) && !order.contains(w)) order.append(w);
    w = w->nextInFocusChain();
  } while (w != form.Text1);
  QCOMPARE(order, expected);
  for (QGroupBox* frame : {form.Frame1, form.Frame2, form.Frame3, form.Frame4, form.Frame5}) {
    QCOMPARE(frame->focusPolicy(), Qt::NoFocus);
  }
}

void Form1Test::StartUpRestoresTheOutputFolder_data() {
  QTest::addColumn<bool>("stored");
  QTest::addColumn<QString>("value");
  QTest::addColumn<bool>("desktop");  // the box shows the desktop default
  QTest::newRow("no setting: desktop, written back") << false << QString() << true;
  QTest::newRow("stored empty: stays empty") << true << QString() << false;
  QTest::newRow("stored folder, even a missing one") << true << QStringLiteral("/no/such/folder/") << false;
  QTest::newRow("stored without a trailing slash") << true << QStringLiteral("/data") << false;
}

void Form1Test::StartUpRestoresTheOutputFolder() {
  QFETCH(bool, stored);
  QFETCH(QString, value);
  QFETCH(bool, desktop);
  Harness h;
  if (stored) h.settings->Write(kSection, kKey, value);
  Form1& form = h.Load();
  const QString shown = desktop ? h.desktop : value;
  QCOMPARE(form.Text3->text(), shown);
  QCOMPARE(h.Stored(), shown);
  QVERIFY(h.desktop.endsWith(QLatin1Char('/')));
  QVERIFY(h.dialogs.boxes.empty());
}

void Form1Test::StartUpFillsTheChooserAndTheCaption() {
  Harness h;
  Form1& form = h.Load();
  QCOMPARE(form.windowTitle(), QStringLiteral("Cardwright"));
  QVERIFY(!form.windowIcon().isNull());
  // The original 26 kinds in their order, then the 18 added after them.
  QCOMPARE(form.Combo1->count(), 44);
  QCOMPARE(form.Combo1->itemText(0), QStringLiteral("Ignore"));
  QCOMPARE(form.Combo1->itemText(6), QStringLiteral("Email"));
  QCOMPARE(form.Combo1->itemText(25), QStringLiteral("Notes"));
  QCOMPARE(form.Combo1->itemText(26), QStringLiteral("Organization"));
  QCOMPARE(form.Combo1->itemText(36), QStringLiteral("Photo"));
  QCOMPARE(form.Combo1->currentIndex(), -1);
  QCOMPARE(form.ListView1->model()->rowCount(), 0);
  QVERIFY(form.Text1->text().isEmpty());
  QVERIFY(form.Text2->text().isEmpty());
  QCOMPARE(form.Pointer(), PointerSetting::kDefault);
}

void Form1Test::StartUpOptionalFiles() {
  {
    Harness h;
    Form1& form = h.Load();
    QVERIFY(!form.SkinApplied());
    QVERIFY(!form.HasCustomPointerImage());
    form.ButtonHover();  // no image: the pointing hand stands in
    QCOMPARE(form.PointerShape(), Qt::PointingHandCursor);
  }
  {
    Harness h;
    QDir(h.app_folder).mkpath(QStringLiteral("x"));
    QFile skin(h.app_folder + QStringLiteral("/x/o.cjs"));
    QVERIFY(skin.open(QIODevice::WriteOnly));
    skin.close();
    QVERIFY(WriteCursorFile(h.app_folder + QStringLiteral("/HAND-M.CUR"), QPoint(6, 1)));
    Form1& form = h.Load();
    QVERIFY(form.SkinApplied());
    const QColor face = form.palette().color(QPalette::Button);
    QCOMPARE(form.palette().color(QPalette::Window), face);
    QCOMPARE(form.Frame3->palette().color(QPalette::Window), face);
    QVERIFY(form.HasCustomPointerImage());
    form.ButtonHover();
    QCOMPARE(form.PointerShape(), Qt::BitmapCursor);
    QCOMPARE(form.PushButton1->cursor().hotSpot(), QPoint(6, 1));
  }
  {
    Harness h;  // a cursor file that is no image: no custom image, start-up goes on
    QFile junk(h.app_folder + QStringLiteral("/HAND-M.CUR"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a cursor at all");
    junk.close();
    Form1& form = h.Load();
    QVERIFY(!form.HasCustomPointerImage());
    QCOMPARE(form.Text3->text(), h.desktop);
  }
}

void Form1Test::CursorHotSpotFromTheFileHeader() {
  struct Case {
    const char* what;
    QByteArray bytes;
    std::optional<QPoint> hot;
  };
  const QByteArray entry = QByteArray::fromHex("20200000050003000000000016000000");  // 32x32, hot spot (5, 3)
  const Case cases[] = {
      {"cursor", QByteArray::fromHex("000002000100") + entry, QPoint(5, 3)},
      {"icon, not a cursor", QByteArray::fromHex("000001000100") + entry, std::nullopt},
      {"no entries", QByteArray::fromHex("000002000000") + entry, std::nullopt},
      {"bad reserved word", QByteArray::fromHex("010002000100") + entry, std::nullopt},
      {"cut inside the entry", QByteArray::fromHex("000002000100") + entry.left(10), std::nullopt},
      {"empty", QByteArray(), std::nullopt},
  };
  for (const Case& c : cases) {
    QVERIFY2(app::CursorHotSpot(c.bytes) == c.hot, c.what);
  }
}

void Form1Test::InstalledCheckSpeaksOnlyWithoutAnEngine() {
  {
    Harness h;
    h.Load();
    QVERIFY(h.dialogs.boxes.empty());
  }
  {
    Harness h;
    h.engine_available = false;
    Form1& form = h.Load();
    QCOMPARE(h.dialogs.boxes.size(), std::size_t{1});
    QCOMPARE(h.dialogs.boxes[0].text, std::string(app::kExcelNotInstalledText));
    QCOMPARE(h.dialogs.boxes[0].title, std::string("Cardwright"));
    QVERIFY(h.dialogs.boxes[0].icon == run::MessageIcon::kNone);
    QVERIFY(h.dialogs.boxes[0].buttons == run::MessageButtons::kOk);
    QCOMPARE(form.Text3->text(), h.desktop);  // start-up went on
  }
  {
    test::FakeDialogs dialogs;  // a factory that throws counts as no engine
    app::CheckExcelInstalled([]() -> std::unique_ptr<run::SheetEngine> { throw std::runtime_error("x"); }, dialogs);
    QCOMPARE(dialogs.boxes.size(), std::size_t{1});
  }
}

void Form1Test::HoverRules() {
  Harness h;
  Form1& form = h.Load();
  const QList<QWidget*> buttons = {form.PushButton1, form.PushButton2, form.PushButton3,
                                   form.PushButton4, form.PushButton5, form.PushButton6};
  const QList<QWidget*> plain = {&form,       form.Frame1, form.Frame2,
                                 form.Frame3, form.Frame4, form.Text1,
                                 form.Text2,  form.Text3,  form.ListView1->viewport()};
  for (QWidget* button : buttons) {
    for (QWidget* area : plain) {
      MoveMouseOver(button);
      QCOMPARE(form.Pointer(), PointerSetting::kCustom);
      QCOMPARE(form.PointerShape(), Qt::PointingHandCursor);
      QCOMPARE(area->cursor().shape(), Qt::PointingHandCursor);
      MoveMouseOver(area);
      QCOMPARE(form.Pointer(), PointerSetting::kDefault);
      QCOMPARE(form.PointerShape(), Qt::ArrowCursor);
    }
  }
  // The text boxes keep their own I-beam under the default setting.
  QCOMPARE(form.Text3->cursor().shape(), Qt::IBeamCursor);
  // Over the chooser nothing changes.
  MoveMouseOver(form.PushButton1);
  MoveMouseOver(form.Combo1);
  QCOMPARE(form.Pointer(), PointerSetting::kCustom);
  MoveMouseOver(form.Frame2);
  MoveMouseOver(form.Combo1);
  QCOMPARE(form.Pointer(), PointerSetting::kDefault);
}

void Form1Test::HoverLeavesBusyAlone() {
  Harness h;
  Form1& form = h.Load();
  form.SetPointer(PointerSetting::kBusy);
  for (QWidget* w : {static_cast<QWidget*>(form.PushButton1), static_cast<QWidget*>(form.Frame1),
                     static_cast<QWidget*>(&form), static_cast<QWidget*>(form.PushButton6)}) {
    MoveMouseOver(w);
    QCOMPARE(form.Pointer(), PointerSetting::kBusy);
    QCOMPARE(form.PointerShape(), Qt::WaitCursor);
    QCOMPARE(form.Text1->cursor().shape(), Qt::WaitCursor);
  }
  form.SetPointer(PointerSetting::kDefault);
  MoveMouseOver(form.PushButton3);
  QCOMPARE(form.Pointer(), PointerSetting::kCustom);

  // The block pick holds the hourglass while the sheet window is up, then returns to default.
  QFile(h.workbook_path).open(QIODevice::WriteOnly);
  h.dialogs.open_answer = h.workbook_path;
  PointerSetting during = PointerSetting::kDefault;
  h.dialogs.pick = [&](sheet::SheetWindow&) {
    MoveMouseOver(form.PushButton1);
    during = form.Pointer();
    return false;
  };
  form.PushButton2_Click();
  QCOMPARE(during, PointerSetting::kBusy);
  QCOMPARE(form.Pointer(), PointerSetting::kDefault);
}

void Form1Test::ListAndChooserOnAnEmptyList() {
  Harness h;
  Form1& form = h.Load();
  form.ListView1_Click();
  form.Combo1->setCurrentIndex(6);
  form.Combo1_Click();
  form.Combo1_Change();
  QCOMPARE(form.Columns().Count(), std::size_t{0});
  QCOMPARE(form.ListView1->model()->rowCount(), 0);
  QCOMPARE(form.Combo1->currentText(), QStringLiteral("Email"));
  QVERIFY(h.dialogs.boxes.empty());
}

void Form1Test::ListAndChooserOnAFilledList() {
  Harness h;
  Form1& form = h.Load();
  h.dialogs.open_answer = h.workbook_path;
  h.dialogs.pick = [](sheet::SheetWindow& window) {
    SelectCells(window, 0, 0, 1, 3);  // A1:D2, four columns
    return true;
  };
  form.PushButton2_Click();
  QAbstractItemModel* list = form.ListView1->model();
  QCOMPARE(list->rowCount(), 4);
  QCOMPARE(form.ListView1->header()->sectionSize(0), form.Px(4500));  // a new block keeps the widths
  QCOMPARE(form.ListView1->header()->sectionSize(1), form.Px(2300));
  for (int j = 0; j < 4; ++j) {
    QCOMPARE(list->index(j, 0).data().toString(), QStringLiteral("Column%1").arg(j + 1));
    QCOMPARE(list->index(j, 1).data().toString(), QStringLiteral("Ignore"));
  }
  // A click on line 2 shows its kind; picking "Email" changes that line only.
  const QRect line2 = form.ListView1->visualRect(list->index(1, 0));
  QTest::mouseClick(form.ListView1->viewport(), Qt::LeftButton, Qt::NoModifier, line2.center());
  QCOMPARE(form.Columns().Selected(), std::optional<std::size_t>(2));
  QCOMPARE(form.Combo1->currentText(), QStringLiteral("Ignore"));
  form.Combo1->setCurrentIndex(form.Combo1->findText(QStringLiteral("Email")));
  QCOMPARE(list->index(1, 1).data().toString(), QStringLiteral("Email"));
  QCOMPARE(form.Columns().TypeOf(1), std::string("Ignore"));
  QCOMPARE(form.Columns().TypeOf(2), std::string("Email"));

  // Line 4 gets "Email" too; duplicates are allowed.
  form.ListView1->setCurrentIndex(list->index(3, 0));
  QCOMPARE(form.Combo1->currentText(), QStringLiteral("Ignore"));
  form.Combo1->setCurrentIndex(form.Combo1->findText(QStringLiteral("Email")));
  form.Combo1_Click();
  QCOMPARE(form.Columns().TypeOf(4), std::string("Email"));

  // Back on line 2 the chooser shows its kind, and the line keeps it.
  form.ListView1->setCurrentIndex(list->index(1, 0));
  form.ListView1_Click();
  QCOMPARE(form.Combo1->currentText(), QStringLiteral("Email"));
  QCOMPARE(form.Columns().TypeOf(2), std::string("Email"));
  form.ListView1->setCurrentIndex(list->index(0, 0));
  QCOMPARE(form.Combo1->currentText(), QStringLiteral("Ignore"));
  QCOMPARE(form.Columns().TypeOf(2), std::string("Email"));

  // A label and the column after it are one choice: line 3 shows the phone it now types, and
  // picking "Ignore" on that phone lets the label go.
  form.ListView1->setCurrentIndex(list->index(2, 0));
  form.Combo1->setCurrentIndex(form.Combo1->findText(QStringLiteral("Phone Label")));
  QCOMPARE(list->index(2, 1).data().toString(), QStringLiteral("Phone Label"));
  QCOMPARE(list->index(3, 1).data().toString(), QStringLiteral("Other Phone"));
  form.ListView1->setCurrentIndex(list->index(3, 0));
  form.Combo1->setCurrentIndex(form.Combo1->findText(QStringLiteral("Ignore")));
  QCOMPARE(list->index(2, 1).data().toString(), QStringLiteral("Ignore"));
  QVERIFY(h.dialogs.boxes.empty());
}

void Form1Test::BrowseCancelled() {
  Harness h;
  Form1& form = h.Load();
  form.Text1->setText(QStringLiteral("/old.xls"));
  form.Text2->setText(QStringLiteral("$A$1"));
  h.dialogs.open_answer.clear();
  form.PushButton2_Click();
  QCOMPARE(h.dialogs.open_requests.size(), std::size_t{1});
  QCOMPARE(h.dialogs.open_requests[0].first, QStringLiteral("Select A Picture"));
  QCOMPARE(h.dialogs.open_requests[0].second,
           QStringLiteral("Spreadsheets (*.xls* *.ods *.fods *.csv *.tsv *.txt);;Excel Files(*.xls*)"));
  QCOMPARE(form.Text1->text(), QStringLiteral("/old.xls"));
  QCOMPARE(form.Text2->text(), QStringLiteral("$A$1"));
  QCOMPARE(h.dialogs.picks, 0);
  QCOMPARE(h.workbooks_read, 0);
  QVERIFY(h.dialogs.boxes.empty());
}

void Form1Test::BrowseOwnerFileAnswered_data() {
  QTest::addColumn<QString>("owner");
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<bool>("yes");
  QTest::addColumn<QString>("program");  // the program the question names
  const QString excel = QStringLiteral("~$contacts.xlsx");
  const QString lock = QStringLiteral(".~lock.contacts.xlsx#");
  const QByteArray libreoffice = ",Ann Lee,desk,08.12.2026 02:00,file:///home/ann/.config/libreoffice/4;";
  const QByteArray openoffice = ",Ann Lee,desk,08.12.2026 02:00,file:///home/ann/.openoffice/4;";
  QTest::newRow("Excel's owner file, No") << excel << QByteArray() << false << QStringLiteral("Excel");
  QTest::newRow("Excel's owner file, Yes") << excel << QByteArray() << true << QStringLiteral("Excel");
  QTest::newRow("LibreOffice's lock file, No") << lock << libreoffice << false << QStringLiteral("LibreOffice");
  QTest::newRow("LibreOffice's lock file, Yes") << lock << libreoffice << true << QStringLiteral("LibreOffice");
  QTest::newRow("OpenOffice's lock file") << lock << openoffice << false << QStringLiteral("OpenOffice");
  QTest::newRow("empty lock file") << lock << QByteArray() << false << QStringLiteral("LibreOffice");
}

void Form1Test::BrowseOwnerFileAnswered() {
  QFETCH(QString, owner);
  QFETCH(QByteArray, content);
  QFETCH(bool, yes);
  QFETCH(QString, program);
  Harness h;
  Form1& form = h.Load();
  QFile lock(h.dir.filePath(owner));
  QVERIFY(lock.open(QIODevice::WriteOnly));
  lock.write(content);
  lock.close();
  form.Text1->setText(QStringLiteral("/old.xls"));
  form.Text2->setText(QStringLiteral("$A$1"));
  h.dialogs.open_answer = h.workbook_path;
  h.dialogs.answers = {yes ? run::MessageAnswer::kYes : run::MessageAnswer::kNo};
  h.dialogs.pick = [](sheet::SheetWindow& window) {
    SelectCells(window, 0, 0, 0, 1);
    return true;
  };
  form.PushButton2_Click();
  QCOMPARE(h.dialogs.boxes.size(), std::size_t{1});
  QCOMPARE(QString::fromStdString(h.dialogs.boxes[0].text),
           program + QStringLiteral(" may be open. It is recommended that you close ") + program +
               QStringLiteral(" first.\r\n\r\nWould you like to proceed anyway?"));
  QCOMPARE(h.dialogs.boxes[0].title, std::string("Cardwright"));
  QVERIFY(h.dialogs.boxes[0].icon == run::MessageIcon::kNone);
  QVERIFY(h.dialogs.boxes[0].buttons == run::MessageButtons::kYesNo);
  if (yes) {
    QCOMPARE(form.Text1->text(), h.workbook_path);
    QCOMPARE(form.Text2->text(), QStringLiteral("$A$1:$B$1"));
    QCOMPARE(form.Columns().Count(), std::size_t{2});
  } else {
    QCOMPARE(form.Text1->text(), QStringLiteral("/old.xls"));
    QCOMPARE(form.Text2->text(), QStringLiteral("$A$1"));
    QCOMPARE(h.dialogs.picks, 0);
  }
}

void Form1Test::BrowsePickCancelledOrUnreadable() {
  struct Case {
    const char* what;
    bool readable;
  };
  for (const Case c : {Case{"pick cancelled", true}, Case{"workbook unreadable", false}}) {
    Harness h;
    Form1& form = h.Load();
    form.Text2->setText(QStringLiteral("$A$1:$C$1"));
    form.Columns().FillColumnList(3);
    h.dialogs.open_answer = c.readable ? h.workbook_path : h.dir.filePath(QStringLiteral("broken.xls"));
    h.dialogs.pick = nullptr;  // Cancel
    form.PushButton2_Click();
    QCOMPARE(form.Text1->text(), h.dialogs.open_answer);
    QVERIFY2(form.Text2->text().isEmpty(), c.what);
    QCOMPARE(form.Pointer(), PointerSetting::kDefault);
    QCOMPARE(h.dialogs.picks, c.readable ? 1 : 0);
    if (c.readable) {
      QVERIFY2(h.dialogs.boxes.empty(), c.what);
      QCOMPARE(form.Columns().Count(), std::size_t{3});
      continue;
    }
    // One box with the reader's reason; no stale column list stays behind.
    QCOMPARE(h.dialogs.boxes.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(h.dialogs.boxes[0].text),
             h.dialogs.open_answer + QStringLiteral("\r\n\r\nNot a workbook: ") + h.dialogs.open_answer);
    QVERIFY(h.dialogs.boxes[0].icon == run::MessageIcon::kExclamation);
    QCOMPARE(form.Columns().Count(), std::size_t{0});
    QCOMPARE(form.ListView1->model()->rowCount(), 0);
  }
}

void Form1Test::BrowsePickConfirmedOnAnotherSheet() {
  Harness h;
  Form1& form = h.Load();
  h.dialogs.open_answer = h.workbook_path;
  QString opened_on;
  h.dialogs.pick = [&](sheet::SheetWindow& window) {
    opened_on = window.Tabs()->tabText(window.Tabs()->currentIndex());
    window.Tabs()->setCurrentIndex(1);
    SelectCells(window, 1, 1, 4, 3);  // B2:D5 on "Back Sheet"
    return true;
  };
  form.PushButton2_Click();
  QCOMPARE(opened_on, QStringLiteral("Front"));
  QCOMPARE(form.Text1->text(), h.workbook_path);
  QCOMPARE(form.Text2->text(), QStringLiteral("'Back Sheet'!$B$2:$D$5"));
  QCOMPARE(form.Columns().Count(), std::size_t{3});
  QCOMPARE(form.ListView1->model()->rowCount(), 3);
  QCOMPARE(form.Pointer(), PointerSetting::kDefault);
  QVERIFY(h.dialogs.boxes.empty());
}

void Form1Test::BrowseSecondPickReplacesTheList() {
  Harness h;
  Form1& form = h.Load();
  h.dialogs.open_answer = h.workbook_path;
  int columns = 5;
  h.dialogs.pick = [&](sheet::SheetWindow& window) {
    SelectCells(window, 0, 0, 2, columns - 1);
    return true;
  };
  form.PushButton2_Click();
  QCOMPARE(form.Columns().Count(), std::size_t{5});
  columns = 2;
  form.PushButton2_Click();
  QCOMPARE(form.Columns().Count(), std::size_t{2});
  QCOMPARE(form.ListView1->model()->rowCount(), 2);
  QCOMPARE(form.Columns().Line(2).caption, std::string("Column2"));
  QCOMPARE(form.Text2->text(), QStringLiteral("$A$1:$B$3"));
}

void Form1Test::HeadingRowProposesTheKindsAndMovesTheBlock() {
  Harness h;
  h.book = MakeOutlookBook;
  Form1& form = h.Load();
  h.dialogs.open_answer = h.workbook_path;
  int first_row = 0;
  h.dialogs.pick = [&](sheet::SheetWindow& window) {
    SelectCells(window, first_row, 0, 2, kOutlookColumns - 1);
    return true;
  };
  form.PushButton2_Click();
  // Kinds this build does not have yet propose "Ignore" until they come.
  const auto kind = [](const char* text) { return mapping::FieldKindFromText(text) ? text : "Ignore"; };
  const std::vector<std::string> proposed = {
      "Title",           "First Name",   "Middle Initial", "Last Name",   "Ignore",       kind("Organization"),
      kind("Job Title"), "Work Address", "Work City",      "Work Region", "Work Zip",     "Work Country",
      "Home Address",    "Home City",    "Home Region",    "Home Zip",    "Home Country", "Work Fax",
      "Work Voice",      "Home Fax",     "Home Voice",     "Cellular",    "Pager",        "Email",
      "Birthday",        "Website Work", "Notes"};
  const auto kinds = [&form] {
    std::vector<std::string> shown;
    for (int row = 0; row < form.ListView1->model()->rowCount(); ++row) {
      shown.push_back(form.ListView1->model()->index(row, 1).data().toString().toStdString());
    }
    return shown;
  };
  QCOMPARE(kinds(), proposed);
  // Each line shows its heading beside its column name.
  const auto names = [&form] {
    std::vector<std::string> shown;
    for (int row = 0; row < form.ListView1->model()->rowCount(); ++row) {
      shown.push_back(form.ListView1->model()->index(row, 0).data().toString().toStdString());
    }
    return shown;
  };
  std::vector<std::string> named;
  for (std::size_t c = 0; c < kOutlookColumns; ++c) {
    named.push_back("Column" + std::to_string(c + 1) + " (" + kOutlookHeadings[c] + ")");
  }
  QCOMPARE(names(), named);
  QCOMPARE(names()[23], std::string("Column24 (E-mail Address)"));
  QCOMPARE(form.Text2->text(), QStringLiteral("$A$2:$AA$3"));
  QVERIFY(form.Label1->isVisibleTo(&form));
  QVERIFY(form.Frame3->title().contains(QStringLiteral("left out")));

  // The link takes the move back, and makes it again; the kinds stay.
  emit form.Label1->linkActivated(QStringLiteral("row"));
  QCOMPARE(form.Text2->text(), QStringLiteral("$A$1:$AA$3"));
  QVERIFY(form.Label1->text().contains(QStringLiteral("Leave it out")));
  emit form.Label1->linkActivated(QStringLiteral("row"));
  QCOMPARE(form.Text2->text(), QStringLiteral("$A$2:$AA$3"));
  QCOMPARE(kinds(), proposed);

  // A kind the user changes is remembered for the next block under the same headings.
  form.ListView1->setCurrentIndex(form.ListView1->model()->index(4, 0));  // "Suffix"
  form.Combo1->setCurrentIndex(form.Combo1->findText(QStringLiteral("Notes")));
  std::vector<std::string> chosen = proposed;
  chosen[4] = "Notes";
  QCOMPARE(kinds(), chosen);
  form.PushButton2_Click();
  QCOMPARE(kinds(), chosen);

  // A block of contacts alone: every kind "Ignore", the address as marked, no note.
  first_row = 1;
  form.PushButton2_Click();
  QCOMPARE(kinds(), std::vector<std::string>(kOutlookColumns, "Ignore"));
  QCOMPARE(names()[0], std::string("Column1"));
  QCOMPARE(form.Text2->text(), QStringLiteral("$A$2:$AA$3"));
  QVERIFY(!form.Label1->isVisibleTo(&form));
  QCOMPARE(form.Frame3->title(), QStringLiteral("Range Address"));
  QCOMPARE(form.Text2->width(), form.Px(7335));
  QVERIFY(h.dialogs.boxes.empty());
}

void Form1Test::SampleCommand() {
  Harness h;
  Form1& form = h.Load();
  form.Columns().FillColumnList(3);
  form.PushButton6->click();
  QCOMPARE(form.Text1->text(), h.app_folder + QStringLiteral("/Samples/sample.xls"));
  QCOMPARE(form.Text2->text(), QStringLiteral("A1:B3"));
  // The list holds the sample's two columns with their kinds, whatever it held before.
  QCOMPARE(form.Columns().Count(), std::size_t{2});
  QCOMPARE(form.Columns().TypeOf(1), std::string("First Name"));
  QCOMPARE(form.Columns().TypeOf(2), std::string("Last Name"));
  QCOMPARE(form.ListView1->model()->rowCount(), 2);
  QCOMPARE(h.workbooks_read, 0);
  QVERIFY(h.dialogs.boxes.empty());
}

void Form1Test::OutputFolderBrowse_data() {
  QTest::addColumn<QString>("chosen");
  QTest::addColumn<QString>("shown");
  QTest::newRow("cancelled") << QString() << QStringLiteral("/before/");
  QTest::newRow("a folder gets one slash") << QStringLiteral("/home/u/Cards") << QStringLiteral("/home/u/Cards/");
  QTest::newRow("the root stays as it is") << QStringLiteral("/") << QStringLiteral("/");
  QTest::newRow("the same folder again") << QStringLiteral("/before") << QStringLiteral("/before/");
}

void Form1Test::OutputFolderBrowse() {
  QFETCH(QString, chosen);
  QFETCH(QString, shown);
  Harness h;
  h.settings->Write(kSection, kKey, QStringLiteral("/before/"));
  Form1& form = h.Load();
  h.dialogs.folder_answer = chosen;
  form.PushButton5->click();
  QCOMPARE(h.dialogs.folder_requests, std::vector<QString>{QStringLiteral("Please select folder to add:")});
  QCOMPARE(form.Text3->text(), shown);
  QCOMPARE(h.Stored(), shown);
  QVERIFY(h.dialogs.boxes.empty());
}

void Form1Test::OutputFolderBrowseFailureIsReported() {
  Harness h;
  Form1& form = h.Load();
  h.dialogs.folder_failure = "The folder browser is not available";
  form.PushButton5_Click();
  QCOMPARE(h.dialogs.boxes.size(), std::size_t{1});
  const test::ShownBox& box = h.dialogs.boxes[0];
  QCOMPARE(box.title, std::string("Application Error"));
  QVERIFY(box.icon == run::MessageIcon::kExclamation);
  QVERIFY(box.buttons == run::MessageButtons::kOk);
  QCOMPARE(box.text, std::string("The folder browser is not available\r\n"
                                 "in Tabulon5/20/2014.Form1.PushButton5_Click at line 100\r\r"
                                 "Please email screenshot of this message to ") +
                         std::string(run::kSupportAddress));
  QCOMPARE(form.Text3->text(), h.desktop);  // the empty path then ended the command
}

void Form1Test::TypingIntoTheOutputFolderStoresEveryChange() {
  Harness h;
  Form1& form = h.Load();
  form.Text3->setFocus();
  form.Text3->selectAll();
  QTest::keyClick(form.Text3, Qt::Key_Backspace);
  QCOMPARE(h.Stored(), QString());
  QTest::keyClicks(form.Text3, QStringLiteral("/t"));
  QCOMPARE(h.Stored(), QStringLiteral("/t"));  // no slash added to typed text
}

void Form1Test::HelpBox() {
  Harness h;
  Form1& form = h.Load();
  form.PushButton4->click();
  QCOMPARE(h.dialogs.boxes.size(), std::size_t{1});
  QCOMPARE(h.dialogs.boxes[0].text, commands::EncodingHelpText());
  QCOMPARE(h.dialogs.boxes[0].title, std::string("Cardwright"));
  QVERIFY(h.dialogs.boxes[0].icon == run::MessageIcon::kNone);
  QVERIFY(h.dialogs.boxes[0].buttons == run::MessageButtons::kOk);
}

void Form1Test::SaveButtonsRunTheExportOnTheWindowsInputs() {
  Harness h;
  struct Run {
    vcard::ExportEncoding encoding;
    std::string workbook, address, folder, line2;
    vcard::VCardVersion version;
    bool one_file;
  };
  std::vector<Run> runs;  // written by the worker, read once it has finished
  std::atomic<bool> release{false};
  h.save = [&](vcard::ExportEncoding encoding, const run::ExportInputs& inputs, run::PointerControl& pointer) {
    runs.push_back({encoding, inputs.workbook_path, inputs.block_address, inputs.output_folder,
                    inputs.columns.TypeOf(2), inputs.version, inputs.one_file});
    pointer.SetPointer(PointerSetting::kBusy);  // as the run does while it works
    while (!release) QThread::msleep(2);
    pointer.SetPointer(PointerSetting::kDefault);
  };
  Form1& form = h.Load();
  h.dialogs.open_answer = h.workbook_path;
  h.dialogs.pick = [](sheet::SheetWindow& window) { return window.ApplyAddress(QStringLiteral("B2:C3")); };
  form.PushButton2->click();
  form.ListView1->setCurrentIndex(form.ListView1->model()->index(1, 0));
  form.Combo1->setCurrentIndex(form.Combo1->findText(QStringLiteral("Notes")));
  form.Text3->setText(QStringLiteral("~/out/"));  // "~/" is the home folder

  form.PushButton1->click();
  QVERIFY(form.ExportRunning());
  QTRY_COMPARE(form.PointerShape(), Qt::WaitCursor);  // the window's thread is free: it repaints
  MoveMouseOver(form.PushButton1);
  QCOMPARE(form.PointerShape(), Qt::WaitCursor);
  form.PushButton3->click();  // a second press while the run works starts nothing
  form.Combo1->setCurrentIndex(form.Combo1->findText(QStringLiteral("Email")));  // the run keeps its copy
  release = true;
  QTRY_VERIFY(!form.ExportRunning());
  QCOMPARE(form.Pointer(), PointerSetting::kDefault);
  form.PushButton3->click();
  QTRY_VERIFY(!form.ExportRunning());

  QCOMPARE(runs.size(), std::size_t{2});
  QVERIFY(runs[0].encoding == vcard::ExportEncoding::Ansi);
  QVERIFY(runs[1].encoding == vcard::ExportEncoding::Utf8);
  QCOMPARE(runs[0].line2, std::string("Notes"));
  QCOMPARE(runs[1].line2, std::string("Email"));
  for (const Run& run : runs) {
    QCOMPARE(QString::fromStdString(run.workbook), h.workbook_path);
    QCOMPARE(run.address, std::string("$B$2:$C$3"));
    QCOMPARE(QString::fromStdString(run.folder), QDir::homePath() + QStringLiteral("/out/"));
    QVERIFY(run.version == vcard::VCardVersion::k21);  // a new user's choice: the original files
    QVERIFY(!run.one_file);
  }
  QCOMPARE(form.Text3->text(), QStringLiteral("~/out/"));  // the box and the setting keep the text
}

void Form1Test::OutputChoiceRestoredAtStartUp_data() {
  QTest::addColumn<QString>("version");   // stored "VCardVersion"; null: absent
  QTest::addColumn<QString>("one_file");  // stored "OneFile"; null: absent
  QTest::addColumn<int>("line");
  QTest::addColumn<bool>("ticked");
  QTest::newRow("new user: 2.1, one file per row") << QString() << QString() << 0 << false;
  QTest::newRow("3.0 in one file") << QStringLiteral("3.0") << QStringLiteral("true") << 1 << true;
  QTest::newRow("4.0, one file per row") << QStringLiteral("4.0") << QStringLiteral("false") << 2 << false;
  QTest::newRow("values this program does not know") << QStringLiteral("5.0") << QStringLiteral("yes") << 0 << false;
}

void Form1Test::OutputChoiceRestoredAtStartUp() {
  QFETCH(QString, version);
  QFETCH(QString, one_file);
  QFETCH(int, line);
  QFETCH(bool, ticked);
  Harness h;
  if (!version.isNull()) h.settings->Write(kSection, QStringLiteral("VCardVersion"), version);
  if (!one_file.isNull()) h.settings->Write(kSection, QStringLiteral("OneFile"), one_file);
  Form1& form = h.Load();
  QCOMPARE(form.Combo2->currentIndex(), line);
  QCOMPARE(form.Check1->isChecked(), ticked);
  // The ANSI file is vCard 2.1 only: under 3.0 and 4.0 its button is off and says why.
  QCOMPARE(form.PushButton1->isEnabled(), line == 0);
  QCOMPARE(form.PushButton1->toolTip().contains(QStringLiteral("Save As VCF (UTF8 Format)")), line != 0);
  // Showing the stored choice stores nothing.
  QCOMPARE(h.settings->Read(kSection, QStringLiteral("VCardVersion")).has_value(), !version.isNull());
}

void Form1Test::OutputChoiceByKeyboardReachesTheRunAndIsStored() {
  Harness h;
  std::vector<std::tuple<vcard::ExportEncoding, vcard::VCardVersion, bool>> runs;
  h.save = [&](vcard::ExportEncoding encoding, const run::ExportInputs& inputs, run::PointerControl&) {
    runs.emplace_back(encoding, inputs.version, inputs.one_file);
  };
  Form1& form = h.Load();
  form.show();
  QVERIFY(QTest::qWaitForWindowActive(&form));
  // Tab from the UTF-8 button reaches the chooser, then the check box.
  form.PushButton3->setFocus();
  QTest::keyClick(form.PushButton3, Qt::Key_Tab);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
  QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form.Check1));
  QCOMPARE(form.Combo2->currentIndex(), 1);
  QVERIFY(form.Check1->isChecked());
  QCOMPARE(h.settings->Read(kSection, QStringLiteral("VCardVersion")), std::optional(QStringLiteral("3.0")));
  QCOMPARE(h.settings->Read(kSection, QStringLiteral("OneFile")), std::optional(QStringLiteral("true")));
  form.PushButton1->click();  // off under 3.0: starts nothing
  form.PushButton3->click();
  QTRY_VERIFY(!form.ExportRunning());
  QVERIFY(runs == (std::vector{std::tuple(vcard::ExportEncoding::Utf8, vcard::VCardVersion::k30, true)}));
  QVERIFY(h.dialogs.boxes.empty());
}

// A store that cannot be written (its folder cannot be made) stops nothing: the choice holds.
void Form1Test::OutputChoiceWithoutAWritableStore() {
  Harness h;
  QFile(h.dir.filePath(QStringLiteral("config"))).open(QIODevice::WriteOnly);
  h.settings = std::make_unique<commands::IniSettingsStore>(h.dir.filePath(QStringLiteral("config/settings.ini")));
  std::optional<std::pair<vcard::VCardVersion, bool>> ran;
  h.save = [&](vcard::ExportEncoding, const run::ExportInputs& inputs, run::PointerControl&) {
    ran = {inputs.version, inputs.one_file};
  };
  Form1& form = h.Load();
  form.Combo2->setCurrentIndex(2);
  form.Check1->click();
  form.PushButton3->click();
  QTRY_VERIFY(!form.ExportRunning());
  QVERIFY(ran == std::pair(vcard::VCardVersion::k40, true));
  QVERIFY(!h.settings->Write(kSection, kKey, QStringLiteral("/x/")));
  QVERIFY(h.dialogs.boxes.empty());
}

void Form1Test::DisabledAnsiButtonStillExplainsItself() {
  Harness h;
  h.settings->Write(kSection, QStringLiteral("VCardVersion"), QStringLiteral("4.0"));
  Form1& form = h.Load();
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  // The hover rules still hold over it; the new frame and check box are plain area.
  const QPoint frame_corner(form.Frame5->width() - form.Px(90), form.Frame5->height() - form.Px(60));
  for (const auto& [plain, at] : {std::pair<QWidget*, QPoint>(form.Frame5, frame_corner),
                                  std::pair<QWidget*, QPoint>(form.Check1, form.Check1->rect().center())}) {
    QTest::mouseMove(form.PushButton1);
    QTRY_COMPARE(form.Pointer(), PointerSetting::kCustom);
    QTest::mouseMove(plain, at);
    QTRY_COMPARE(form.Pointer(), PointerSetting::kDefault);
  }
  const QPoint centre = form.PushButton1->rect().center();
  QHelpEvent rest(QEvent::ToolTip, centre, form.PushButton1->mapToGlobal(centre));
  QApplication::sendEvent(form.PushButton1, &rest);
  QTRY_VERIFY(QToolTip::isVisible());
  QVERIFY(QToolTip::text().contains(QStringLiteral("UTF-8")));
  QToolTip::hideText();
}

// Also run at 192 dpi by CTest: every line of the chooser and the check box's caption are
// shown whole, inside the window.
void Form1Test::OutputChoiceFitsAtThisDpi() {
  Harness h;
  Form1& form = h.Load();
  if (qEnvironmentVariableIsSet("CW_EXPECT_DPI"))
    QCOMPARE(form.logicalDpiY(), qEnvironmentVariableIntValue("CW_EXPECT_DPI"));
  QVERIFY(form.Combo2->sizeHint().width() <= form.Combo2->width());
  QVERIFY(form.Check1->sizeHint().width() <= form.Check1->width());
  QVERIFY(form.Check1->sizeHint().height() <= form.Check1->height());
  QVERIFY(form.Frame5->contentsRect().contains(form.Check1->geometry()));
  QVERIFY(form.rect().contains(form.Frame5->geometry()));
}

void Form1Test::QtMessageBoxesShowTheRequestedBox_data() {
  QTest::addColumn<int>("kind");  // 0: Yes/No answered Yes, 1: Yes/No answered No, 2: error report
  QTest::newRow("warning answered Yes") << 0;
  QTest::newRow("warning answered No") << 1;
  QTest::newRow("application error") << 2;
}

void Form1Test::QtMessageBoxesShowTheRequestedBox() {
  QFETCH(int, kind);
  app::QtDialogs dialogs;
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  // Answers the box once it is up, as a user would.
  WhenModalShown([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box) return;
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    buttons = box->standardButtons();
    box->button(kind == 1 ? QMessageBox::No : kind == 0 ? QMessageBox::Yes : QMessageBox::Ok)->click();
  });
  if (kind == 2) {
    dialogs.ShowApplicationError("in Tabulon5/20/2014.Form1.PushButton1_Click ", 114, "Disk full");
    QCOMPARE(title, QStringLiteral("Application Error"));
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    // CR LF and the two lone CRs each break the line.
    QCOMPARE(text, QStringLiteral("Disk full\nin Tabulon5/20/2014.Form1.PushButton1_Click at line 114\n\n"
                                  "Please email screenshot of this message to ") +
                       QString::fromLatin1(run::kSupportAddress.data(), run::kSupportAddress.size()));
    return;
  }
  const run::MessageAnswer answer =
      dialogs.Show(app::kExcelOpenText, run::kApplicationTitle, run::MessageIcon::kNone, run::MessageButtons::kYesNo);
  QVERIFY(answer == (kind == 0 ? run::MessageAnswer::kYes : run::MessageAnswer::kNo));
  QCOMPARE(title, QStringLiteral("Cardwright"));
  QCOMPARE(icon, QMessageBox::NoIcon);
  QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No);
  QCOMPARE(text, QStringLiteral("Excel may be open. It is recommended that you close Excel first.\n\n"
                                "Would you like to proceed anyway?"));
}

void Form1Test::QtSheetWindowReturnsTheMarkedBlock() {
  app::QtDialogs dialogs;
  for (bool confirm : {true, false}) {
    WhenModalShown([confirm](QWidget* modal) {
      auto* window = qobject_cast<sheet::SheetWindow*>(modal);
      if (!window) return;
      window->ApplyAddress(QStringLiteral("'Back Sheet'!A2:C4"));
      if (confirm)
        window->accept();
      else
        window->reject();
    });
    sheet::WorkbookReading reading(MakeBook());
    const std::optional<std::string> address = dialogs.PickBlock(reading, {});
    if (confirm) {
      QCOMPARE(QString::fromStdString(address.value_or("<none>")), QStringLiteral("'Back Sheet'!$A$2:$C$4"));
    } else {
      QVERIFY(!address);
    }
  }
}

void Form1Test::FocusStartsOnText1AndTheListsPartsArePlain() {
  Harness h;
  Form1& form = h.Load();
  form.show();
  QVERIFY(QTest::qWaitForWindowActive(&form));
  QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form.Text1));
  // The column header and the scroll bars are plain area: leaving a button over them shows
  // the arrow again.
  form.Columns().FillColumnList(40);
  const QList<QWidget*> parts = {form.ListView1->header()->viewport(), form.ListView1->verticalScrollBar(),
                                 form.ListView1->horizontalScrollBar(), form.ListView1};
  for (QWidget* part : parts) {
    MoveMouseOver(form.PushButton3);
    QCOMPARE(form.Pointer(), PointerSetting::kCustom);
    MoveMouseOver(part);
    QVERIFY2(form.Pointer() == PointerSetting::kDefault, part->metaObject()->className());
  }
}

// An account without a desktop environment has no Desktop folder: the first start offers the
// home folder, where a save then works.
void Form1Test::FreshAccountWithoutADesktopFolder() {
  QTemporaryDir home;
  const QByteArray old_home = qgetenv("HOME"), old_config = qgetenv("XDG_CONFIG_HOME");
  qputenv("HOME", home.path().toUtf8());
  qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral(".config")).toUtf8());
  const QString without = app::GetDesktopFolder();
  QDir(home.path()).mkdir(QStringLiteral("Desktop"));
  const QString with = app::GetDesktopFolder();
  qputenv("HOME", old_home);
  if (old_config.isNull()) {
    qunsetenv("XDG_CONFIG_HOME");
  } else {
    qputenv("XDG_CONFIG_HOME", old_config);
  }
  QCOMPARE(without, home.path() + QLatin1Char('/'));
  QCOMPARE(with, home.path() + QStringLiteral("/Desktop/"));
  QVERIFY(!app::FolderExists(home.filePath(QStringLiteral("nothing"))));
  QVERIFY(!app::FileExists(home.path()));  // a folder is no file
}

void Form1Test::ClosingTheMainWindowDuringAPickEndsIt() {
  app::QtDialogs dialogs;
  Harness h;
  Form1& form = h.Load();
  dialogs.SetOwner(&form);
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  bool closed = false;
  connect(&form, &Form1::Closed, this, [&] { closed = true; });
  bool clicks_blocked = false;
  WhenModalShown([&](QWidget* window) {
    QVERIFY(qobject_cast<sheet::SheetWindow*>(window));
    // The main window takes no clicks while the block is marked, but its close button works.
    QTest::mouseClick(form.PushButton4, Qt::LeftButton);
    clicks_blocked = h.dialogs.boxes.empty();
    form.close();
  });
  sheet::WorkbookReading reading(MakeBook());
  const std::optional<std::string> address = dialogs.PickBlock(reading, {});
  QVERIFY(!address);
  QVERIFY(closed);
  QVERIFY(clicks_blocked);
  QVERIFY(!form.isVisible());
}

// Letters in the chooser step through the kinds that begin with them; shortcuts press the
// open, help and save buttons, whose captions stay as they are.
void Form1Test::KeyboardReachesTheCommandsAndTheKinds() {
  Harness h;
  Form1& form = h.Load();
  h.dialogs.open_answer = h.workbook_path;
  h.dialogs.pick = [](sheet::SheetWindow& window) {
    SelectCells(window, 0, 0, 1, 1);
    return true;
  };
  form.PushButton2_Click();
  form.ListView1->setCurrentIndex(form.ListView1->model()->index(1, 0));
  form.Combo1->setFocus();
  QStringList seen;
  for (int i = 0; i < 8; ++i) {
    QTest::keyClick(form.Combo1, Qt::Key_H);
    seen << form.Combo1->currentText();
  }
  QCOMPARE(seen,
           (QStringList{QStringLiteral("Home Address"), QStringLiteral("Home City"), QStringLiteral("Home Region"),
                        QStringLiteral("Home Zip"), QStringLiteral("Home Country"), QStringLiteral("Home Voice"),
                        QStringLiteral("Home Fax"), QStringLiteral("Home Address")}));
  QCOMPARE(form.ListView1->model()->index(1, 1).data().toString(), QStringLiteral("Home Address"));

  struct Case {
    QKeyCombination keys;
    QPushButton* button;
  };
  const Case cases[] = {{Qt::CTRL | Qt::Key_O, form.PushButton2},
                        {Qt::CTRL | Qt::Key_S, form.PushButton1},
                        {Qt::CTRL | Qt::SHIFT | Qt::Key_S, form.PushButton3},
                        {QKeyCombination(Qt::Key_F1), form.PushButton4}};
  h.dialogs.open_answer.clear();
  h.save = [](vcard::ExportEncoding, const run::ExportInputs&, run::PointerControl&) {};
  form.show();
  QApplication::setActiveWindow(&form);
  QVERIFY(QTest::qWaitForWindowActive(&form));
  for (const Case& c : cases) {
    const QString caption = c.button->text();
    QSignalSpy pressed(c.button, &QPushButton::clicked);
    form.ListView1->setFocus();
    QTest::keyClick(form.ListView1, c.keys.key(), c.keys.keyboardModifiers());
    QCOMPARE(pressed.count(), 1);
    QCOMPARE(c.button->text(), caption);
    QTRY_VERIFY(!form.ExportRunning());
  }
}

// Under vCard 4.0 the ANSI button is off; its key shows the button's reason where the button
// is and starts no run. Every command button's tool tip names its key, as the help does.
void Form1Test::CtrlSWithTheAnsiButtonOffSaysWhy() {
  Harness h;
  h.settings->Write(kSection, QStringLiteral("VCardVersion"), QStringLiteral("4.0"));
  int runs = 0;
  h.save = [&](vcard::ExportEncoding, const run::ExportInputs&, run::PointerControl&) { ++runs; };
  Form1& form = h.Load();
  form.show();
  QApplication::setActiveWindow(&form);
  QVERIFY(QTest::qWaitForWindowActive(&form));
  QToolTip::hideText();
  form.ListView1->setFocus();
  QTest::keyClick(form.ListView1, Qt::Key_S, Qt::ControlModifier);
  QTRY_VERIFY(QToolTip::isVisible());
  QVERIFY(QToolTip::text().contains(QStringLiteral("Save As VCF (UTF8 Format)")));
  QCOMPARE(runs, 0);
  QVERIFY(h.dialogs.boxes.empty());
  QToolTip::hideText();

  const std::pair<QPushButton*, QString> keys[] = {{form.PushButton1, QStringLiteral("Ctrl+S")},
                                                   {form.PushButton2, QStringLiteral("Ctrl+O")},
                                                   {form.PushButton3, QStringLiteral("Ctrl+Shift+S")},
                                                   {form.PushButton4, QStringLiteral("F1")}};
  const QString help = QString::fromStdString(commands::EncodingHelpText());
  for (const auto& [button, key] : keys) {
    QVERIFY2(button->toolTip().contains(QStringLiteral("Shortcut: ") + key), qPrintable(button->objectName()));
    QVERIFY(help.contains(key));
  }
}

void Form1Test::ChooserTypeAheadReachesTheKindTyped_data() {
  QTest::addColumn<QString>("typed");  // '|' is a pause longer than the keyboard input interval
  QTest::addColumn<QString>("shown");
  QTest::newRow("pa") << QStringLiteral("pa") << QStringLiteral("Pager");
  QTest::newRow("ph") << QStringLiteral("ph") << QStringLiteral("Photo");
  QTest::newRow("phone") << QStringLiteral("phone") << QStringLiteral("Phone Label");
  QTest::newRow("email w") << QStringLiteral("email w") << QStringLiteral("Email Work");
  QTest::newRow("hh steps") << QStringLiteral("hh") << QStringLiteral("Home City");
  QTest::newRow("no such prefix") << QStringLiteral("px") << QStringLiteral("Pager");
  QTest::newRow("pause starts anew") << QStringLiteral("p|a") << QStringLiteral("Anniversary");
}

void Form1Test::ChooserTypeAheadReachesTheKindTyped() {
  QFETCH(QString, typed);
  QFETCH(QString, shown);
  Harness h;
  Form1& form = h.Load();
  h.dialogs.open_answer = h.workbook_path;
  h.dialogs.pick = [](sheet::SheetWindow& window) {
    SelectCells(window, 0, 0, 1, 1);
    return true;
  };
  form.PushButton2_Click();
  form.ListView1->setCurrentIndex(form.ListView1->model()->index(0, 0));
  form.Combo1->setCurrentText(QStringLiteral("First Name"));
  form.Combo1->setFocus();
  for (const QChar c : typed) {
    if (c == QLatin1Char('|')) {
      QTest::qWait(QApplication::keyboardInputInterval() + 100);
      continue;
    }
    const Qt::Key key = c == QLatin1Char(' ') ? Qt::Key_Space : static_cast<Qt::Key>(c.toUpper().unicode());
    QTest::keyClick(form.Combo1, key, Qt::NoModifier);
  }
  QCOMPARE(form.Combo1->currentText(), shown);
  QCOMPARE(form.ListView1->model()->index(0, 1).data().toString(), shown);  // the line takes the kind
}

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
