// The sheet window over a workbook still being read: it opens with the first rows, says how
// far reading has come, lets the user mark what is shown, waits with OK for the rest, stops
// on Cancel, and closes on a file that cannot be read, keeping the reader's reason.
#include <xlsxwriter.h>

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <string_view>

#include "sheet/read_error.h"
#include "sheet/view/sheet_window.h"
#include "sheet/view/workbook_reading.h"
#include "sheet/workbook_file.h"

using cw::sheet::SheetWindow;
using cw::sheet::WorkbookReading;

namespace {

constexpr std::string_view kContacts =
    "First,Last,Mail\n"
    "Ann,Lee,ann@example.org\n"
    "Bo,Ek,bo@example.org\n";

std::span<const std::byte> Bytes(std::string_view text) { return std::as_bytes(std::span(text.data(), text.size())); }

// A workbook whose whole read waits until the test lets it go, as a large file keeps the
// worker busy; its first rows come at once through the row stream.
struct HeldFile {
  HeldFile(std::string_view file_text, std::string_view file_name) : text(file_text), name(file_name) {}

  std::string_view text;
  std::string_view name;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::shared_ptr<std::atomic<bool>> read_done = std::make_shared<std::atomic<bool>>(false);

  cw::sheet::WorkbookSource Source() {
    return {{},
            [text = text, name = name, released = released, done = read_done] {
              released.wait();
              cw::sheet::Workbook book = cw::sheet::ReadWorkbook(Bytes(text), name);
              *done = true;
              return book;
            },
            [text = text, name = name] { return cw::sheet::OpenWorkbookStream(Bytes(text), name); }};
  }
};

QPushButton* Ok(SheetWindow& window) { return window.Buttons()->button(QDialogButtonBox::Ok); }

void SelectCells(SheetWindow& window, int top, int left, int bottom, int right) {
  auto* model = window.Grid()->model();
  window.Grid()->selectionModel()->select(QItemSelection(model->index(top, left), model->index(bottom, right)),
                                          QItemSelectionModel::ClearAndSelect);
}

void ClickColumnHeader(SheetWindow& window, int column) {
  QHeaderView* header = window.Grid()->horizontalHeader();
  const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

}  // namespace

class SheetReadingTest : public QObject {
  Q_OBJECT

 private slots:
  void OpensWithTheFirstRowsAndOkWaitsForTheRest();
  void WholeColumnMarkedWhileReadingStopsAtTheUsedRange();
  void AnotherSheetShowsOnceRead();
  void CancelStopsTheReading();
  void UnreadableFileClosesTheWindowWithTheReadersReason_data();
  void UnreadableFileClosesTheWindowWithTheReadersReason();
};

void SheetReadingTest::OpensWithTheFirstRowsAndOkWaitsForTheRest() {
  HeldFile file{kContacts, "contacts.csv"};
  WorkbookReading reading(file.Source(), {});
  SheetWindow window(reading, {});
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QTRY_VERIFY(reading.First());
  // The first rows are there to see and to mark, while the whole read still waits.
  QVERIFY(window.Reading());
  QCOMPARE(window.Tabs()->count(), 1);
  QCOMPARE(window.Tabs()->tabText(0), QStringLiteral("contacts"));
  QCOMPARE(window.Grid()->model()->index(1, 0).data().toString(), QStringLiteral("Ann"));
  QCOMPARE(window.Grid()->model()->index(2, 2).data().toString(), QStringLiteral("bo@example.org"));
  QVERIFY(window.ReadingStatus()->isVisible());
  QVERIFY(window.ReadingProgress()->isVisible());
  QVERIFY2(window.ReadingStatus()->text().startsWith(QStringLiteral("Reading the workbook...")),
           qPrintable(window.ReadingStatus()->text()));
  QCOMPARE(window.cursor().shape(), Qt::BusyCursor);

  SelectCells(window, 1, 0, 2, 2);
  QCOMPARE(window.AddressBox()->text(), QStringLiteral("$A$2:$C$3"));
  QTest::mouseClick(Ok(window), Qt::LeftButton);
  // OK is taken, and kept until the rest is read; Cancel still answers.
  QVERIFY(window.isVisible());
  QVERIFY(!Ok(window)->isEnabled());
  QVERIFY(window.Buttons()->button(QDialogButtonBox::Cancel)->isEnabled());
  QVERIFY(window.ReadingStatus()->text().contains(QStringLiteral("taken as soon as it is read")));

  file.release.set_value();
  QTRY_COMPARE(window.result(), static_cast<int>(QDialog::Accepted));
  QVERIFY(!window.isVisible());
  QVERIFY(!window.ReadingStatus()->isVisible());
  QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);
  QCOMPARE(QString::fromStdString(window.Address().value_or("<none>")), QStringLiteral("$A$2:$C$3"));
  QVERIFY(reading.Book());
  QCOMPARE(reading.Book()->sheets[0].Cells().size(), std::size_t{9});
}

void SheetReadingTest::WholeColumnMarkedWhileReadingStopsAtTheUsedRange() {
  HeldFile file{kContacts, "contacts.csv"};
  WorkbookReading reading(file.Source(), {});
  SheetWindow window(reading, {});
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QTRY_VERIFY(reading.First());
  // The sheet's last row is not known yet: the column reaches the sheet's edge ...
  ClickColumnHeader(window, 1);
  QCOMPARE(window.AddressBox()->text(), QStringLiteral("$B$1:$B$1048576"));
  file.release.set_value();
  QTRY_VERIFY(!window.Reading());
  // ... and stops at the last row with data once it is.
  QCOMPARE(window.AddressBox()->text(), QStringLiteral("$B$1:$B$3"));
  QVERIFY(window.isVisible());
  QVERIFY(Ok(window)->isEnabled());
}

// A workbook file of two sheets, the second active, as a spreadsheet program writes it; its
// whole read waits for the test.
void SheetReadingTest::AnotherSheetShowsOnceRead() {
  QTemporaryDir dir;
  const std::string path = dir.filePath(QStringLiteral("book.xlsx")).toStdString();
  lxw_workbook* book = workbook_new(path.c_str());
  lxw_worksheet* notes = workbook_add_worksheet(book, "Notes");
  lxw_worksheet* contacts = workbook_add_worksheet(book, "Contacts");
  worksheet_write_string(notes, 3, 1, "a note", nullptr);
  worksheet_write_string(contacts, 0, 0, "Ann", nullptr);
  worksheet_write_number(contacts, 1, 0, 42, nullptr);
  worksheet_activate(contacts);
  QCOMPARE(workbook_close(book), LXW_NO_ERROR);

  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  WorkbookReading reading({path,
                           [path, released] {
                             released.wait();
                             return cw::sheet::ReadWorkbookFile(path);
                           },
                           [path] { return cw::sheet::OpenWorkbookStreamFile(path); }},
                          {});
  SheetWindow window(reading, {});
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QTRY_VERIFY(reading.First());
  QCOMPARE(window.Tabs()->count(), 2);
  QCOMPARE(window.Tabs()->currentIndex(), 1);
  QCOMPARE(window.Grid()->model()->index(1, 0).data().toString(), QStringLiteral("42"));
  // The other sheet is not read yet: it holds no cells to mark.
  window.Tabs()->setCurrentIndex(0);
  QCOMPARE(window.Grid()->model()->rowCount(), 0);
  QVERIFY2(window.ReadingStatus()->text().contains(QStringLiteral("This sheet shows once it is read.")),
           qPrintable(window.ReadingStatus()->text()));
  release.set_value();
  QTRY_VERIFY(!window.Reading());
  QCOMPARE(window.Tabs()->currentIndex(), 0);
  QCOMPARE(window.Grid()->model()->index(3, 1).data().toString(), QStringLiteral("a note"));
  SelectCells(window, 3, 1, 3, 1);
  QCOMPARE(QString::fromStdString(window.Address().value_or("<none>")), QStringLiteral("Notes!$B$4"));
}

void SheetReadingTest::CancelStopsTheReading() {
  for (const bool close_window_first : {true, false}) {
    HeldFile file{kContacts, "contacts.csv"};
    auto reading = std::make_unique<WorkbookReading>(file.Source(), cw::sheet::FormatLocale{});
    {
      SheetWindow window(*reading, {});
      window.show();
      QVERIFY(QTest::qWaitForWindowExposed(&window));
      QTRY_VERIFY(reading->First());
      if (close_window_first) {
        QTest::mouseClick(window.Buttons()->button(QDialogButtonBox::Cancel), Qt::LeftButton);
      } else {
        QTest::keyClick(&window, Qt::Key_Escape);
      }
      QCOMPARE(window.result(), static_cast<int>(QDialog::Rejected));
      QVERIFY(!window.isVisible());
      QVERIFY(reading->Status() == WorkbookReading::State::kCancelled);
    }
    // What the worker still reads is dropped, whether the reading is there to be told or not.
    if (!close_window_first) reading.reset();
    file.release.set_value();
    QTRY_VERIFY(file.read_done->load());
    QTest::qWait(50);
    if (reading) {
      QVERIFY(reading->Status() == WorkbookReading::State::kCancelled);
      QVERIFY(!reading->Book());
      QVERIFY(!reading->Failure());
    }
  }
}

void SheetReadingTest::UnreadableFileClosesTheWindowWithTheReadersReason_data() {
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<QString>("name");
  QTest::newRow("a PDF under a workbook's name")
      << QByteArray("%PDF-1.7\n%\xe2\xe3\xcf\xd3\n1 0 obj\n") << QStringLiteral("contacts.xlsx");
  QTest::newRow("a damaged .xlsx package")
      << QByteArray("PK\x03\x04\x14\x00\x00\x00\x08\x00garbage after the header", 40)
      << QStringLiteral("contacts.xlsx");
  QTest::newRow("an empty file") << QByteArray() << QStringLiteral("contacts.xls");
}

void SheetReadingTest::UnreadableFileClosesTheWindowWithTheReadersReason() {
  QFETCH(QByteArray, content);
  QFETCH(QString, name);
  const std::string_view text(content.constData(), static_cast<std::size_t>(content.size()));
  const std::string file_name = name.toStdString();
  std::string reason;
  try {
    cw::sheet::ReadWorkbook(Bytes(text), file_name);
  } catch (const std::exception& e) {
    reason = e.what();
  }
  QVERIFY2(!reason.empty(), "the reader takes this file");

  HeldFile file{text, file_name};
  WorkbookReading reading(file.Source(), {});
  SheetWindow window(reading, {});
  QSignalSpy finished(&window, &QDialog::finished);
  window.show();
  file.release.set_value();
  QTRY_COMPARE(finished.count(), 1);
  QCOMPARE(window.result(), static_cast<int>(QDialog::Rejected));
  QVERIFY(!window.isVisible());
  QVERIFY(reading.Status() == WorkbookReading::State::kFailed);
  QVERIFY(!reading.Book());
  QVERIFY(!window.Address());
  try {
    reading.RethrowFailure();
    QFAIL("no failure kept");
  } catch (const std::exception& e) {
    QCOMPARE(std::string(e.what()), reason);
  }
}

QTEST_MAIN(SheetReadingTest)
#include "sheet_reading_test.moc"
