// The sheet window: what the grid shows, which sheet it opens on, and the address it reports
// for a marked block (mouse, header clicks, typed addresses).
#include "sheet/view/sheet_window.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabBar>
#include <QTableView>
#include <QtTest>
#include <vector>

#include "sheet/cell_text.h"
#include "sheet/view/sheet_table_model.h"

using cw::sheet::Cell;
using cw::sheet::CellKind;
using cw::sheet::SheetWindow;
using cw::sheet::Workbook;
using cw::sheet::Worksheet;

namespace {

void AddText(Workbook& book, Worksheet& sheet, std::uint32_t row, std::uint16_t column, const std::string& text) {
  Cell cell;
  cell.row = row;
  cell.column = column;
  cell.kind = CellKind::kString;
  cell.string_index = book.AddString(text);
  sheet.Add(cell);
}

void AddNumber(Worksheet& sheet, std::uint32_t row, std::uint16_t column, double value, std::uint32_t style = 0) {
  Cell cell;
  cell.row = row;
  cell.column = column;
  cell.kind = CellKind::kNumber;
  cell.number = value;
  cell.style = style;
  sheet.Add(cell);
}

// Three sheets; the second is active. "Names" holds B2:D5 (0-based rows 1..4, columns 1..3),
// "My Sheet" holds A1:B3, "Empty" holds nothing.
Workbook MakeBook() {
  Workbook book;
  book.style_formats = {0, 4, 14};  // General, #,##0.00, short date
  book.sheets.emplace_back("My Sheet");
  book.sheets.emplace_back("Names");
  book.sheets.emplace_back("Empty");
  book.active_sheet = 1;
  Worksheet& mine = book.sheets[0];
  AddText(book, mine, 0, 0, "mine");
  AddNumber(mine, 2, 1, 7);
  Worksheet& names = book.sheets[1];
  AddText(book, names, 1, 1, "First");
  AddText(book, names, 1, 2, "Last");
  AddText(book, names, 1, 3, "Paid");
  AddText(book, names, 2, 1, "Ann");
  AddText(book, names, 2, 2, "Lee");
  AddNumber(names, 2, 3, 1234.5, 1);
  AddText(book, names, 4, 1, "Bo");
  AddNumber(names, 4, 3, 44197, 2);  // 2021-01-01
  for (Worksheet& sheet : book.sheets) sheet.Finish();
  return book;
}

void SelectCells(SheetWindow& window, int top, int left, int bottom, int right) {
  auto* model = window.Grid()->model();
  window.Grid()->selectionModel()->select(QItemSelection(model->index(top, left), model->index(bottom, right)),
                                          QItemSelectionModel::ClearAndSelect);
}

void ClickHeader(QHeaderView* header, int section) {
  const int position = header->sectionViewportPosition(section) + header->sectionSize(section) / 2;
  const QPoint point = header->orientation() == Qt::Horizontal ? QPoint(position, header->height() / 2)
                                                               : QPoint(header->width() / 2, position);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, point);
}

}  // namespace

class SheetWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void GridShowsDisplayedTextAndHeaders();
  void OpensOnTheActiveSheetWithEveryTab();
  void MarkedBlockGivesTheAbsoluteAddress_data();
  void MarkedBlockGivesTheAbsoluteAddress();
  void HeaderClicksAreClippedToTheUsedRange();
  void TypedAddressMarksTheBlock_data();
  void TypedAddressMarksTheBlock();
  void OkNeedsABlockAndConfirmsTypedText();
  void GridNeverHoldsMoreThanTheSheetAndGrowsForATypedBlock();
  void TypedAndConfirmedByKeyboard();
  void FitsTheScreen();
  void EachSheetKeepsItsOwnScrollAndKeysSwitchSheets();
};

void SheetWindowTest::GridShowsDisplayedTextAndHeaders() {
  const Workbook book = MakeBook();
  SheetWindow window(book, {});
  QAbstractItemModel* model = window.Grid()->model();
  struct Case {
    int row, column;
    const char* shown;
  };
  const Case cases[] = {
      {1, 1, "First"}, {2, 2, "Lee"}, {3, 1, ""}, {0, 0, ""}, {99, 25, ""},
  };
  for (const Case& c : cases) {
    QCOMPARE(model->index(c.row, c.column).data().toString(), QString::fromUtf8(c.shown));
  }
  // Numbers show through their cell's number format, under the window's locale.
  cw::sheet::FormatLocale day_first;
  day_first.date_order = cw::sheet::DateOrder::kDayMonthYear;
  SheetWindow local(book, day_first);
  cw::sheet::CellTextRenderer renderer(book, day_first);
  for (const auto& [row, column] : {std::pair{2, 3}, std::pair{4, 3}}) {
    const std::string expected = renderer.Text(book.sheets[1], row, column);
    QVERIFY(!expected.empty());
    QCOMPARE(local.Grid()->model()->index(row, column).data().toString(), QString::fromStdString(expected));
  }
  QCOMPARE(model->index(2, 3).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
           Qt::AlignRight);
  QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("A"));
  QCOMPARE(model->headerData(27, Qt::Horizontal).toString(), QStringLiteral("AB"));
  QCOMPARE(model->headerData(0, Qt::Vertical).toString(), QStringLiteral("1"));
  QCOMPARE(model->headerData(41, Qt::Vertical).toString(), QStringLiteral("42"));
  QCOMPARE(window.findChild<QLabel*>(QStringLiteral("prompt"))->text(),
           QStringLiteral("Highlight a block of cells with mouse"));
}

void SheetWindowTest::OpensOnTheActiveSheetWithEveryTab() {
  const Workbook book = MakeBook();
  SheetWindow window(book, {});
  QCOMPARE(window.Tabs()->count(), 3);
  QCOMPARE(window.Tabs()->tabText(0), QStringLiteral("My Sheet"));
  QCOMPARE(window.Tabs()->currentIndex(), 1);
  QCOMPARE(window.Grid()->model()->index(1, 1).data().toString(), QStringLiteral("First"));
  window.Tabs()->setCurrentIndex(0);
  QCOMPARE(window.Grid()->model()->index(0, 0).data().toString(), QStringLiteral("mine"));
  QVERIFY(!window.Address());

  Workbook broken = MakeBook();
  broken.active_sheet = 99;  // an active index past the last sheet opens the first
  SheetWindow fallback(broken, {});
  QCOMPARE(fallback.Tabs()->currentIndex(), 0);
}

void SheetWindowTest::MarkedBlockGivesTheAbsoluteAddress_data() {
  QTest::addColumn<int>("sheet");
  QTest::addColumn<int>("top");
  QTest::addColumn<int>("left");
  QTest::addColumn<int>("bottom");
  QTest::addColumn<int>("right");
  QTest::addColumn<QString>("address");
  QTest::newRow("block on the active sheet") << 1 << 1 << 1 << 4 << 3 << QStringLiteral("$B$2:$D$5");
  QTest::newRow("one cell") << 1 << 1 << 1 << 1 << 1 << QStringLiteral("$B$2");
  QTest::newRow("other sheet keeps its quoted name") << 0 << 0 << 0 << 2 << 1 << QStringLiteral("'My Sheet'!$A$1:$B$3");
  QTest::newRow("other sheet, plain name") << 2 << 4 << 2 << 5 << 2 << QStringLiteral("Empty!$C$5:$C$6");
  QTest::newRow("beyond the data") << 1 << 30 << 24 << 31 << 25 << QStringLiteral("$Y$31:$Z$32");
}

void SheetWindowTest::MarkedBlockGivesTheAbsoluteAddress() {
  QFETCH(int, sheet);
  QFETCH(int, top);
  QFETCH(int, left);
  QFETCH(int, bottom);
  QFETCH(int, right);
  QFETCH(QString, address);
  const Workbook book = MakeBook();
  SheetWindow window(book, {});
  window.ShowSheet(static_cast<std::size_t>(sheet));
  SelectCells(window, top, left, bottom, right);
  QVERIFY(window.Address());
  QCOMPARE(QString::fromStdString(*window.Address()), address);
  QCOMPARE(window.AddressBox()->text(), address);
  QVERIFY(window.Buttons()->button(QDialogButtonBox::Ok)->isEnabled());
}

void SheetWindowTest::HeaderClicksAreClippedToTheUsedRange() {
  const Workbook book = MakeBook();
  SheetWindow window(book, {});
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));

  ClickHeader(window.Grid()->horizontalHeader(), 2);  // column C: rows 2..5 hold data
  QCOMPARE(window.AddressBox()->text(), QStringLiteral("$C$2:$C$5"));
  QCOMPARE(window.Grid()->selectionModel()->selectedIndexes().size(), 4);  // the grid shows the clipped block
  QTest::mouseClick(window.Grid()->horizontalHeader()->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                    QPoint(window.Grid()->horizontalHeader()->sectionViewportPosition(3) + 5, 5));
  QCOMPARE(window.AddressBox()->text(), QStringLiteral("$C$2:$D$5"));  // shift-click widens to column D
  ClickHeader(window.Grid()->verticalHeader(), 2);                     // row 3: columns B..D hold data
  QCOMPARE(window.AddressBox()->text(), QStringLiteral("$B$3:$D$3"));

  window.Tabs()->setCurrentIndex(2);  // an empty sheet: a whole column shrinks to its first cell
  ClickHeader(window.Grid()->horizontalHeader(), 1);
  QCOMPARE(window.AddressBox()->text(), QStringLiteral("Empty!$B$1"));
}

void SheetWindowTest::TypedAddressMarksTheBlock_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<bool>("accepted");
  QTest::addColumn<int>("tab");
  QTest::addColumn<QString>("address");
  QTest::newRow("relative") << QStringLiteral("b2:c3") << true << 1 << QStringLiteral("$B$2:$C$3");
  QTest::newRow("absolute, spaces around") << QStringLiteral("  $C$3 ") << true << 1 << QStringLiteral("$C$3");
  QTest::newRow("reversed corners") << QStringLiteral("D5:B2") << true << 1 << QStringLiteral("$B$2:$D$5");
  QTest::newRow("other sheet switches the tab")
      << QStringLiteral("'My Sheet'!A1:B2") << true << 0 << QStringLiteral("'My Sheet'!$A$1:$B$2");
  QTest::newRow("sheet name in any case") << QStringLiteral("empty!A1") << true << 2 << QStringLiteral("Empty!$A$1");
  QTest::newRow("whole columns clipped") << QStringLiteral("B:C") << true << 1 << QStringLiteral("$B$2:$C$5");
  QTest::newRow("whole rows clipped") << QStringLiteral("3:4") << true << 1 << QStringLiteral("$B$3:$D$4");
  QTest::newRow("active sheet named") << QStringLiteral("Names!A1") << true << 1 << QStringLiteral("$A$1");
  QTest::newRow("unknown sheet") << QStringLiteral("Nope!A1") << false << 1 << QString();
  QTest::newRow("not an address") << QStringLiteral("hello world") << false << 1 << QString();
  QTest::newRow("past the last column") << QStringLiteral("XFE1") << false << 1 << QString();
  QTest::newRow("empty") << QString() << false << 1 << QString();
}

void SheetWindowTest::TypedAddressMarksTheBlock() {
  QFETCH(QString, typed);
  QFETCH(bool, accepted);
  QFETCH(int, tab);
  QFETCH(QString, address);
  const Workbook book = MakeBook();
  SheetWindow window(book, {});
  QCOMPARE(window.ApplyAddress(typed), accepted);
  QCOMPARE(window.Tabs()->currentIndex(), tab);
  QCOMPARE(window.Buttons()->button(QDialogButtonBox::Ok)->isEnabled(), accepted);
  if (accepted) {
    QCOMPARE(QString::fromStdString(window.Address().value_or("")), address);
    QCOMPARE(window.AddressBox()->text(), address);
    // The grid shows the same block.
    const QModelIndexList selected = window.Grid()->selectionModel()->selectedIndexes();
    QVERIFY(!selected.isEmpty());
  }
}

void SheetWindowTest::OkNeedsABlockAndConfirmsTypedText() {
  const Workbook book = MakeBook();
  {
    SheetWindow window(book, {});
    QVERIFY(!window.Buttons()->button(QDialogButtonBox::Ok)->isEnabled());
    window.accept();  // nothing marked: stays open
    QCOMPARE(window.result(), 0);
  }
  {
    SheetWindow window(book, {});
    SelectCells(window, 1, 1, 2, 2);
    window.AddressBox()->setText(QStringLiteral("Names!C4:D5"));  // typed, then Enter
    window.accept();
    QCOMPARE(window.result(), int(QDialog::Accepted));
    QCOMPARE(QString::fromStdString(*window.Address()), QStringLiteral("$C$4:$D$5"));
  }
  {
    SheetWindow window(book, {});
    SelectCells(window, 1, 1, 2, 2);
    window.AddressBox()->setText(QStringLiteral("not!!an address"));
    window.accept();  // a bad typed address keeps the window open
    QCOMPARE(window.result(), 0);
  }
}

void SheetWindowTest::GridNeverHoldsMoreThanTheSheetAndGrowsForATypedBlock() {
  const Workbook book = MakeBook();
  SheetWindow window(book, {});
  const int rows = window.Grid()->model()->rowCount();
  QCOMPARE(rows, int(cw::sheet::SheetTableModel::kMinimumRows));
  QVERIFY(window.ApplyAddress(QStringLiteral("B1048570:XFD1048576")));
  QCOMPARE(window.Grid()->model()->rowCount(), int(cw::sheet::kMaxRows));
  QCOMPARE(window.Grid()->model()->columnCount(), int(cw::sheet::kMaxColumns));
  QCOMPARE(QString::fromStdString(*window.Address()), QStringLiteral("$B$1048570:$XFD$1048576"));
}

// A person types into the address box and presses Return, without touching the grid; a wrong
// address says why under the box and the corrected one is taken.
void SheetWindowTest::TypedAndConfirmedByKeyboard() {
  struct Attempt {
    const char* typed;
    const char* reason;  // part of the reason shown; empty: accepted
  };
  struct Case {
    const char* what;
    std::vector<Attempt> attempts;
    const char* address;  // reported after the last attempt
  };
  const Case cases[] = {
      {"relative block", {{"A1:B3", ""}}, "$A$1:$B$3"},
      {"absolute cell", {{"$B$2", ""}}, "$B$2"},
      {"quoted sheet", {{"'My Sheet'!A1:C9", ""}}, "'My Sheet'!$A$1:$C$9"},
      {"unknown sheet, then right", {{"Nope!A1", "no sheet named \"Nope\""}, {"Names!C3", ""}}, "$C$3"},
      {"garbage twice, then right",
       {{"A1:B", "is not a block of cells"}, {"XFE1", "is not a block of cells"}, {"b2:c4", ""}},
       "$B$2:$C$4"},
  };
  const Workbook book = MakeBook();
  for (const Case& c : cases) {
    SheetWindow window(book, {});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY2(window.Grid()->selectionModel()->selectedIndexes().isEmpty(), c.what);
    for (const Attempt& a : c.attempts) {
      window.AddressBox()->setFocus();
      window.AddressBox()->selectAll();
      QTest::keyClicks(window.AddressBox(), QString::fromUtf8(a.typed));
      QVERIFY2(window.Buttons()->button(QDialogButtonBox::Ok)->isEnabled(), c.what);
      QTest::keyClick(window.AddressBox(), Qt::Key_Return);
      const bool taken = *a.reason == 0;
      QCOMPARE(window.result(), taken ? int(QDialog::Accepted) : 0);
      QVERIFY2(window.AddressError().contains(QString::fromUtf8(a.reason)), qPrintable(window.AddressError()));
      QCOMPARE(window.AddressError().isEmpty(), taken);
    }
    QCOMPARE(QString::fromStdString(window.Address().value_or("<none>")), QString::fromUtf8(c.address));
    QVERIFY2(!window.Grid()->selectionModel()->selectedIndexes().isEmpty(), c.what);  // the grid shows it
  }
}

void SheetWindowTest::FitsTheScreen() {
  const Workbook book = MakeBook();
  QWidget owner;
  SheetWindow window(book, {}, &owner);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  const QRect free = window.screen()->availableGeometry();
  QVERIFY2(window.width() <= free.width() && window.height() <= free.height(),
           qPrintable(QStringLiteral("%1x%2 on %3x%4")
                          .arg(window.width())
                          .arg(window.height())
                          .arg(free.width())
                          .arg(free.height())));
  QVERIFY(window.Buttons()->isVisible());
  QVERIFY(window.Tabs()->isVisible());
}

// Each sheet shows from its own top-left, or from where the user left it; Ctrl+PgDn and
// Ctrl+PgUp step through the sheets as in spreadsheet programs, and Tab reaches the tabs.
void SheetWindowTest::EachSheetKeepsItsOwnScrollAndKeysSwitchSheets() {
  const Workbook book = MakeBook();
  SheetWindow window(book, {});
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QScrollBar* down = window.Grid()->verticalScrollBar();
  down->setValue(down->maximum() / 2);
  const int left_at = down->value();
  QVERIFY(left_at > 0);
  window.ShowSheet(0);
  QCOMPARE(down->value(), 0);
  window.ShowSheet(1);
  QCOMPARE(down->value(), left_at);

  window.Grid()->setFocus();
  QTest::keyClick(window.Grid(), Qt::Key_PageDown, Qt::ControlModifier);
  QCOMPARE(window.Tabs()->currentIndex(), 2);
  QTest::keyClick(window.Grid(), Qt::Key_PageDown, Qt::ControlModifier);  // the last sheet stays
  QCOMPARE(window.Tabs()->currentIndex(), 2);
  QTest::keyClick(window.Grid(), Qt::Key_PageUp, Qt::ControlModifier);
  QTest::keyClick(window.Grid(), Qt::Key_PageUp, Qt::ControlModifier);
  QCOMPARE(window.Tabs()->currentIndex(), 0);
  QCOMPARE(window.Grid()->model()->index(0, 0).data().toString(), QStringLiteral("mine"));

  window.Grid()->setFocus();
  QTest::keyClick(window.Grid(), Qt::Key_Tab);
  QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window.Tabs()));
}

QTEST_MAIN(SheetWindowTest)
#include "sheet_window_test.moc"
