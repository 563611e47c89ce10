// Both save buttons end to end: a real workbook written by libxlsxwriter as the program's sample,
// the block picked in the real sheet window, kinds chosen in the chooser, the real engine and
// export run, and the files checked byte for byte.
#include <xlsxwriter.h>

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeView>
#include <QtTest>
#include <algorithm>
#include <atomic>

#include "app/form1.h"
#include "app/save_command.h"
#include "commands/settings_store.h"
#include "fake_dialogs.h"
#include "run/regional_settings.h"
#include "run/spreadsheet.h"
#include "sheet/workbook_file.h"

using namespace cw;

namespace {

class FixedClock : public run::Clock {
 public:
  vcard::LocalTime Now() override { return {2026, 1, 1, 9, 5, 3}; }
};

// Writes the contacts workbook: a first sheet "Notes", then "Contacts" (active) with the rows
// Ann Lee with an e-mail; Jörg Müller; a row with only a last name and an e-mail.
bool WriteContacts(const QString& path) {
  lxw_workbook* book = workbook_new(path.toUtf8().constData());
  if (!book) return false;
  lxw_worksheet* notes = workbook_add_worksheet(book, "Notes");
  worksheet_write_string(notes, 0, 0, "not contacts", nullptr);
  lxw_worksheet* sheet = workbook_add_worksheet(book, "Contacts");
  const char* rows[3][3] = {
      {"Ann", "Lee", "ann@example.com"}, {"J\xC3\xB6rg", "M\xC3\xBCller", ""}, {"", "Kim", "kim@example.com"}};
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      if (*rows[r][c])
        worksheet_write_string(sheet, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c), rows[r][c], nullptr);
    }
  }
  worksheet_activate(sheet);
  return workbook_close(book) == LXW_NO_ERROR;
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList VcfFiles(const QString& folder) {
  return QDir(folder).entryList({QStringLiteral("*.vcf")}, QDir::Files, QDir::Name);
}

void ChooseKind(app::Form1& form, int line, const char* kind) {
  form.ListView1->setCurrentIndex(form.ListView1->model()->index(line - 1, 0));
  form.Combo1->setCurrentIndex(form.Combo1->findText(QString::fromLatin1(kind)));
}

// A scripted engine: a one-column block of `rows` rows in A1:A<rows>, each cell "Name<row>",
// read slowly on purpose; cells of the rows in `unreadable` fail.
class SlowEngine : public run::SheetEngine {
 public:
  SlowEngine(std::uint32_t rows, int ms_per_cell, std::vector<std::uint32_t> unreadable = {})
      : rows_(rows), ms_(ms_per_cell), unreadable_(std::move(unreadable)) {}
  std::unique_ptr<run::SheetApplication> OpenWorkbook(const std::string&) override {
    return std::make_unique<App>(*this);
  }

 private:
  struct Range : run::SheetRange {
    const SlowEngine& e;
    explicit Range(const SlowEngine& engine) : e(engine) {}
    std::uint32_t Row() override { return 1; }
    std::uint32_t Column() override { return 1; }
    std::uint32_t LastRow() override { return e.rows_; }
    std::uint32_t LastColumn() override { return 1; }
    std::string CellText(std::uint32_t row, std::uint32_t) override {
      QThread::msleep(static_cast<unsigned long>(e.ms_));
      if (std::find(e.unreadable_.begin(), e.unreadable_.end(), row) != e.unreadable_.end())
        throw std::runtime_error("Cell unreadable in row " + std::to_string(row));
      return "Name" + std::to_string(row);
    }
  };
  struct Book : run::SheetWorkbook {
    void Close() override {}
  };
  struct App : run::SheetApplication {
    const SlowEngine& e;
    explicit App(const SlowEngine& engine) : e(engine) {}
    int WorkbooksCount() override { return 1; }
    std::unique_ptr<run::SheetWorkbook> Workbooks(int) override { return std::make_unique<Book>(); }
    std::unique_ptr<run::SheetRange> Range(std::string_view) override { return std::make_unique<SlowEngine::Range>(e); }
    void Quit() override {}
  };
  std::uint32_t rows_;
  int ms_;
  std::vector<std::uint32_t> unreadable_;
};

// A save runner over a scripted engine; `runs` counts the runs started.
app::SaveRunner ScriptedRunner(const SlowEngine& engine, FixedClock& clock, const run::RegionalSettings& regional,
                               std::atomic<int>& runs) {
  return [&](vcard::ExportEncoding encoding, const run::ExportInputs& inputs, app::RunOutside& outside) {
    ++runs;
    SlowEngine copy = engine;
    run::ExportServices services{.messages = outside.messages,
                                 .reporter = outside.reporter,
                                 .clock = clock,
                                 .pointer = outside.pointer,
                                 .engine = copy,
                                 .code_page = regional.code_page,
                                 .dates = regional.dates,
                                 .progress = &outside.progress};
    run::ExportRun(encoding, inputs, services);
  };
}

}  // namespace

class SaveTest : public QObject {
  Q_OBJECT

 private slots:
  void BothSaveButtonsWriteTheRowsOfThePickedBlock();
  void SaveWithAnEmptyListOrAMissingWorkbookSaysSo();
  void ShippedSampleExportsThreeRows();
  void SampleCommandThenSaveExportsTheSample();
  void LongRunShowsProgressAndCancelKeepsTheFilesWritten();
  void ReportsFromTheRunComeInStatementOrder();
  void ClosingTheWindowDuringARunEndsIt();

 private:
  struct World {
    QTemporaryDir dir;
    test::FakeDialogs dialogs;
    std::unique_ptr<commands::IniSettingsStore> settings;
    run::RegionalSettings regional = run::RegionalSettings::ForLocale("en_US.UTF-8");
    FixedClock clock;
    QString app_folder, out;
    std::unique_ptr<app::Form1> form;

    explicit World(const app::SaveRunner& runner = {}) {
      app_folder = dir.filePath(QStringLiteral("app"));
      out = dir.filePath(QStringLiteral("out"));
      QDir().mkpath(app_folder + QStringLiteral("/Samples"));
      QDir().mkpath(out);
      settings = std::make_unique<commands::IniSettingsStore>(dir.filePath(QStringLiteral("settings.ini")));
      settings->Write(QStringLiteral("Cardwright"), QStringLiteral("Text3"), out + QLatin1Char('/'));
      form = std::make_unique<app::Form1>(
          app::Form1Environment{dialogs, *settings, app_folder, dir.filePath(QStringLiteral("Desktop/")),
                                [this] { return run::MakeSheetEngine(regional.format); },
                                [](const std::string& path) { return sheet::ReadWorkbookFile(path); }, regional.format,
                                runner ? runner : app::ExportSaveRunner(clock, regional)});
      form->Form_Load();
    }
    // Presses a save button and waits until its run has ended.
    void Save(QPushButton* button) {
      button->click();
      QTRY_VERIFY_WITH_TIMEOUT(!form->ExportRunning(), 20000);
      QVERIFY(!dialogs.off_window_thread);
    }
    QString Sample() const { return app_folder + QStringLiteral("/Samples/sample.xls"); }
  };
};

void SaveTest::BothSaveButtonsWriteTheRowsOfThePickedBlock() {
  World w;
  QVERIFY(WriteContacts(w.Sample()));  // an .xlsx under the sample's name: the engine goes by content

  // Browse to the workbook and mark A1:C3 on the sheet it opens on.
  w.dialogs.open_answer = w.Sample();
  QString opened_on;
  w.dialogs.pick = [&](sheet::SheetWindow& window) {
    auto* model = window.Grid()->model();
    opened_on = model->index(0, 0).data().toString();
    window.Grid()->selectionModel()->select(QItemSelection(model->index(0, 0), model->index(2, 2)),
                                            QItemSelectionModel::ClearAndSelect);
    return true;
  };
  w.form->PushButton2->click();
  QCOMPARE(opened_on, QStringLiteral("Ann"));
  QCOMPARE(w.form->Text2->text(), QStringLiteral("$A$1:$C$3"));
  ChooseKind(*w.form, 1, "First Name");
  ChooseKind(*w.form, 2, "Last Name");
  ChooseKind(*w.form, 3, "Email");

  w.Save(w.form->PushButton1);
  w.Save(w.form->PushButton3);
  QCOMPARE(w.dialogs.boxes.size(), std::size_t{2});
  QCOMPARE(w.dialogs.boxes[0].text, std::string("Done."));
  QCOMPARE(w.dialogs.boxes[1].text, std::string("Done."));
  QCOMPARE(w.form->Pointer(), run::PointerSetting::kDefault);

  const QStringList expected_names = {QStringLiteral("ANSI_ Kim_Row3.vcf"),
                                      QStringLiteral("ANSI_Ann Lee_Row1.vcf"),
                                      QString::fromUtf8("ANSI_J\u00f6rg M\u00fcller_Row2.vcf"),
                                      QStringLiteral("UTF8_ Kim_Row3.vcf"),
                                      QStringLiteral("UTF8_Ann Lee_Row1.vcf"),
                                      QString::fromUtf8("UTF8_J\u00f6rg M\u00fcller_Row2.vcf")};
  QCOMPARE(VcfFiles(w.out), expected_names);

  const QByteArray ann =
      "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Lee;Ann;;\r\nFN:Ann  Lee\r\nEMAIL;INTERNET;PREF:ann@example.com\r\n"
      "REV:20260101T090503\r\nEND:VCARD\r\n";
  QCOMPARE(ReadAll(w.out + QStringLiteral("/ANSI_Ann Lee_Row1.vcf")), ann);
  QCOMPARE(ReadAll(w.out + QStringLiteral("/UTF8_Ann Lee_Row1.vcf")), QByteArray("\xEF\xBB\xBF") + ann);
  // The ANSI file holds code page 1252 bytes, labelled, the UTF-8 file UTF-8 behind its byte-order mark.
  QCOMPARE(
      ReadAll(w.out + QString::fromUtf8("/ANSI_J\u00f6rg M\u00fcller_Row2.vcf")),
      QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=WINDOWS-1252;ENCODING=QUOTED-PRINTABLE:M=FCller;J=F6rg;;\r\n"
                 "FN;CHARSET=WINDOWS-1252;ENCODING=QUOTED-PRINTABLE:J=F6rg  M=FCller\r\n"
                 "REV:20260101T090503\r\nEND:VCARD\r\n"));
  QCOMPARE(ReadAll(w.out + QString::fromUtf8("/UTF8_J\u00f6rg M\u00fcller_Row2.vcf")),
           QByteArray("\xEF\xBB\xBF"
                      "BEGIN:VCARD\r\nVERSION:2.1\r\nN:M\xC3\xBCller;J\xC3\xB6rg;;\r\n"
                      "FN:J\xC3\xB6rg  M\xC3\xBCller\r\nREV:20260101T090503\r\nEND:VCARD\r\n"));
  QCOMPARE(ReadAll(w.out + QStringLiteral("/ANSI_ Kim_Row3.vcf")),
           QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Kim;;;\r\nFN:  Kim\r\nEMAIL;INTERNET;PREF:kim@example.com\r\n"
                      "REV:20260101T090503\r\nEND:VCARD\r\n"));

  // The sample command points at the same workbook and block "A1:B3": with the list cut to
  // two columns the same rows export again over the same files.
  for (const QString& name : VcfFiles(w.out)) QFile::remove(w.out + QLatin1Char('/') + name);
  w.dialogs.pick = [](sheet::SheetWindow& window) {
    auto* model = window.Grid()->model();
    window.Grid()->selectionModel()->select(QItemSelection(model->index(0, 0), model->index(2, 1)),
                                            QItemSelectionModel::ClearAndSelect);
    return true;
  };
  w.form->PushButton2->click();
  ChooseKind(*w.form, 1, "First Name");
  ChooseKind(*w.form, 2, "Last Name");
  w.form->PushButton6->click();
  QCOMPARE(w.form->Text2->text(), QStringLiteral("A1:B3"));
  w.Save(w.form->PushButton3);
  QCOMPARE(w.dialogs.boxes.back().text, std::string("Done."));
  QCOMPARE(VcfFiles(w.out).size(), 3);
  QVERIFY(w.dialogs.boxes.size() == 3);
}

void SaveTest::SaveWithAnEmptyListOrAMissingWorkbookSaysSo() {
  World w;
  // A CSV file under a workbook's name: the pick says what the reader found.
  QFile csv(w.dir.filePath(QStringLiteral("contacts.xls")));
  QVERIFY(csv.open(QIODevice::WriteOnly));
  csv.write("First,Last\nAnn,Lee\n");
  csv.close();
  w.dialogs.open_answer = csv.fileName();
  w.form->PushButton2->click();
  QCOMPARE(w.dialogs.boxes.size(), std::size_t{1});
  QVERIFY(QString::fromStdString(w.dialogs.boxes[0].text)
              .contains(QStringLiteral("Not a workbook: the file holds plain text")));
  QCOMPARE(w.dialogs.picks, 0);
  w.dialogs.boxes.clear();

  w.Save(w.form->PushButton1);
  QCOMPARE(w.dialogs.boxes.size(), std::size_t{1});
  QCOMPARE(w.dialogs.boxes[0].text, std::string("No columns found in the list."));

  // The sample command with no sample file: the export names the missing file.
  w.dialogs.open_answer = w.dir.filePath(QStringLiteral("elsewhere.xls"));
  w.form->Columns().FillColumnList(2);
  w.form->PushButton6->click();
  w.Save(w.form->PushButton3);
  QCOMPARE(w.dialogs.boxes.size(), std::size_t{2});
  QCOMPARE(QString::fromStdString(w.dialogs.boxes[1].text), w.Sample() + QStringLiteral(" file not found."));
  QCOMPARE(w.dialogs.boxes[1].title, std::string("File Not Found"));
  QVERIFY(VcfFiles(w.out).isEmpty());
}

// The sample that ships with the program (Samples/sample.xls, a real .xls) through the sample
// command's block.
void SaveTest::ShippedSampleExportsThreeRows() {
  const QString shipped = QStringLiteral(CW_SOURCE_DIR "/Samples/sample.xls");
  if (!QFile::exists(shipped)) QSKIP("Samples/sample.xls is not in the tree");
  World w;
  QVERIFY(QFile::copy(shipped, w.Sample()));
  w.dialogs.open_answer = w.Sample();
  w.dialogs.pick = [](sheet::SheetWindow& window) { return window.ApplyAddress(QStringLiteral("A1:B3")); };
  w.form->PushButton6->click();
  QCOMPARE(w.form->Text1->text(), w.Sample());
  w.form->PushButton2->click();
  QCOMPARE(w.form->Columns().Count(), std::size_t{2});
  ChooseKind(*w.form, 1, "First Name");
  ChooseKind(*w.form, 2, "Last Name");
  w.Save(w.form->PushButton1);
  w.Save(w.form->PushButton3);
  QCOMPARE(w.dialogs.boxes.size(), std::size_t{2});
  QCOMPARE(w.dialogs.boxes[1].text, std::string("Done."));
  QCOMPARE(VcfFiles(w.out),
           QStringList({QStringLiteral("ANSI_John Smith_Row1.vcf"), QStringLiteral("ANSI_Maria Garcia_Row2.vcf"),
                        QStringLiteral("ANSI_Wei Chen_Row3.vcf"), QStringLiteral("UTF8_John Smith_Row1.vcf"),
                        QStringLiteral("UTF8_Maria Garcia_Row2.vcf"), QStringLiteral("UTF8_Wei Chen_Row3.vcf")}));
  QCOMPARE(ReadAll(w.out + QStringLiteral("/UTF8_Wei Chen_Row3.vcf")),
           QByteArray("\xEF\xBB\xBF"
                      "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Chen;Wei;;\r\nFN:Wei  Chen\r\n"
                      "REV:20260101T090503\r\nEND:VCARD\r\n"));
}

// A first-time user's walk: the sample command, then a save, with nothing picked before.
void SaveTest::SampleCommandThenSaveExportsTheSample() {
  const QString shipped = QStringLiteral(CW_SOURCE_DIR "/Samples/sample.xls");
  if (!QFile::exists(shipped)) QSKIP("Samples/sample.xls is not in the tree");
  World w;
  QVERIFY(QFile::copy(shipped, w.Sample()));
  w.form->PushButton6->click();
  w.Save(w.form->PushButton3);
  QCOMPARE(w.dialogs.boxes.size(), std::size_t{1});
  QCOMPARE(w.dialogs.boxes[0].text, std::string("Done."));
  QCOMPARE(VcfFiles(w.out),
           QStringList({QStringLiteral("UTF8_John Smith_Row1.vcf"), QStringLiteral("UTF8_Maria Garcia_Row2.vcf"),
                        QStringLiteral("UTF8_Wei Chen_Row3.vcf")}));
  QCOMPARE(ReadAll(w.out + QStringLiteral("/UTF8_John Smith_Row1.vcf")),
           QByteArray("\xEF\xBB\xBF"
                      "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Smith;John;;\r\nFN:John  Smith\r\n"
                      "REV:20260101T090503\r\nEND:VCARD\r\n"));
}

// Prepares the window for a run over the scripted engine: one column of first names.
void PrepareScriptedRun(app::Form1& form, const QString& folder) {
  QFile workbook(folder + QStringLiteral("/book.xlsx"));  // the run checks that the file exists
  workbook.open(QIODevice::WriteOnly);
  form.Text1->setText(workbook.fileName());
  form.Text2->setText(QStringLiteral("A1:A40"));
  form.Columns().FillColumnList(1);
  form.Columns().Select(1);
  form.Columns().SetSelectedType("First Name");
}

void SaveTest::LongRunShowsProgressAndCancelKeepsTheFilesWritten() {
  constexpr std::uint32_t kRows = 40;
  const SlowEngine engine(kRows, 40);  // 1.6 s in all
  FixedClock clock;
  const run::RegionalSettings regional = run::RegionalSettings::ForLocale("en_US.UTF-8");
  std::atomic<int> runs{0};
  World w(ScriptedRunner(engine, clock, regional, runs));
  PrepareScriptedRun(*w.form, w.dir.path());
  QElapsedTimer since_press;
  since_press.start();
  w.form->PushButton1->click();
  QVERIFY(w.form->ExportRunning());

  // The window's thread is free: the progress dialog comes up on its own after half a second.
  QProgressDialog* progress = w.form->Export().Progress();
  QVERIFY(progress);
  QTRY_VERIFY(progress->isVisible());
  QVERIFY(since_press.elapsed() >= app::kProgressDelayMs - 50);
  QCOMPARE(w.form->PointerShape(), Qt::WaitCursor);
  w.form->PushButton3->click();  // starts no second run
  QTRY_VERIFY(progress->maximum() == int(kRows) && progress->value() >= 15);
  QVERIFY(progress->labelText().contains(QStringLiteral(" of 40 rows")));
  QPushButton* cancel = progress->findChild<QPushButton*>();
  QVERIFY(cancel);
  QTest::mouseClick(cancel, Qt::LeftButton);

  QTRY_VERIFY(!w.form->ExportRunning());
  QCOMPARE(runs.load(), 1);
  QCOMPARE(w.dialogs.boxes.size(), std::size_t{1});
  const QStringList written = VcfFiles(w.out);
  QVERIFY2(written.size() >= 15 && written.size() < int(kRows), qPrintable(QString::number(written.size())));
  QCOMPARE(QString::fromStdString(w.dialogs.boxes[0].text),
           QStringLiteral("Export cancelled. %1 files were written to %2/.").arg(written.size()).arg(w.out));
  // The files written are whole and are the block's first rows.
  for (int r = 1; r <= written.size(); ++r) {
    QVERIFY(ReadAll(w.out + QStringLiteral("/ANSI_Name%1 _Row%1.vcf").arg(r)).endsWith("END:VCARD\r\n"));
  }
  QCOMPARE(w.form->Pointer(), run::PointerSetting::kDefault);
  QVERIFY(!w.dialogs.off_window_thread);
}

// Failure reports from the worker reach the window's thread as boxes, in statement order,
// before the final "Done.".
void SaveTest::ReportsFromTheRunComeInStatementOrder() {
  const SlowEngine engine(6, 0, {2, 5});
  FixedClock clock;
  const run::RegionalSettings regional = run::RegionalSettings::ForLocale("en_US.UTF-8");
  std::atomic<int> runs{0};
  World w(ScriptedRunner(engine, clock, regional, runs));
  PrepareScriptedRun(*w.form, w.dir.path());
  w.form->Text2->setText(QStringLiteral("A1:A6"));
  w.Save(w.form->PushButton3);
  QCOMPARE(w.dialogs.boxes.size(), std::size_t{3});
  QVERIFY(QString::fromStdString(w.dialogs.boxes[0].text).startsWith(QStringLiteral("Cell unreadable in row 2\r\n")));
  QVERIFY(QString::fromStdString(w.dialogs.boxes[1].text).startsWith(QStringLiteral("Cell unreadable in row 5\r\n")));
  QCOMPARE(w.dialogs.boxes[0].title, std::string("Application Error"));
  QCOMPARE(w.dialogs.boxes[2].text, std::string("Done."));
  QCOMPARE(VcfFiles(w.out).size(), 6);
}

// The window takes no clicks while a run works, but closing it stops the run before its next
// row and ends the program without another box.
void SaveTest::ClosingTheWindowDuringARunEndsIt() {
  const SlowEngine engine(40, 40);
  FixedClock clock;
  const run::RegionalSettings regional = run::RegionalSettings::ForLocale("en_US.UTF-8");
  std::atomic<int> runs{0};
  World w(ScriptedRunner(engine, clock, regional, runs));
  PrepareScriptedRun(*w.form, w.dir.path());
  w.form->show();
  QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
  w.form->PushButton1->click();
  QTRY_VERIFY(w.form->Export().Progress()->isVisible());
  QTest::mouseClick(w.form->PushButton6, Qt::LeftButton);  // the sample command would set A1:B3
  QCOMPARE(w.form->Text2->text(), QStringLiteral("A1:A40"));
  QVERIFY(w.form->close());
  QVERIFY(!w.form->ExportRunning());
  QVERIFY(w.dialogs.boxes.empty());
  QVERIFY(VcfFiles(w.out).size() < 40);
}

QTEST_MAIN(SaveTest)
#include "save_test.moc"
