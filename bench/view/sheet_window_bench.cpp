// Times the sheet window on a generated sheet of a million cells: from constructing the window
// until it has been shown and painted and is ready to select, then one jump to the last row.
// Usage: sheet_window_bench [rows columns]   (default 100000 x 10)
//        sheet_window_bench WORKBOOK         (reads the file too, and times that apart)
//        sheet_window_bench --open WORKBOOK [ROUNDS]  (opening a chosen file, both ways; see below)
//        sheet_window_bench --make WORKBOOK ROWS   (writes the contacts workbook to open)
//        sheet_window_bench --shot PNG WORKBOOK    (the screen a second into reading it, under Xvfb)
// Runs under any Qt platform, e.g. QT_QPA_PLATFORM=offscreen or xvfb-run.
//
// --open times what the user waits for after choosing a file, read on the window thread
// before the window opens (as it was) and read on a worker thread while the window shows the
// first rows (as it is): the time until the first screen of rows is painted, the time until
// the whole workbook is in the window, and the longest gap between two ticks of the window
// thread's event loop meanwhile (a timer that asks to tick every millisecond).
#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScreen>
#include <QTableView>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/xlsx/contacts_workbook.h"
#include "sheet/view/sheet_window.h"
#include "sheet/view/workbook_reading.h"
#include "sheet/workbook_file.h"

namespace {

cw::sheet::Workbook MakeWorkbook(std::uint32_t rows, std::uint32_t columns) {
  cw::sheet::Workbook workbook;
  workbook.style_formats = {0, 14, 4};  // General, short date, #,##0.00
  workbook.sheets.emplace_back("Contacts");
  cw::sheet::Worksheet& sheet = workbook.sheets.back();
  sheet.Reserve(static_cast<std::size_t>(rows) * columns);
  for (std::uint32_t r = 0; r < rows; ++r) {
    for (std::uint32_t c = 0; c < columns; ++c) {
      cw::sheet::Cell cell;
      cell.row = r;
      cell.column = static_cast<std::uint16_t>(c);
      if (c % 3 == 0) {
        cell.kind = cw::sheet::CellKind::kString;
        cell.string_index = workbook.AddString("Name " + std::to_string(r) + "/" + std::to_string(c));
      } else {
        cell.kind = cw::sheet::CellKind::kNumber;
        cell.number = 30000.0 + r * 0.25 + c;
        cell.style = c % 3;
      }
      sheet.Add(cell);
    }
  }
  sheet.Finish();
  return workbook;
}

void SettleEvents() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

// The longest wait between two ticks of the window thread's event loop since Start.
class TickGaps {
 public:
  TickGaps() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const qint64 gap = since_.restart();
      if (gap > longest_) {
        longest_ = gap;
        longest_ended_ = run_.elapsed();
      }
    });
    timer_.setTimerType(Qt::PreciseTimer);
  }
  void Start() {
    longest_ = 0;
    run_.start();
    since_.start();
    timer_.start(1);
  }
  // Counts the gap up to now too: a read on the window thread has no tick after it yet.
  qint64 Stop() {
    if (since_.elapsed() > longest_) {
      longest_ = since_.elapsed();
      longest_ended_ = run_.elapsed();
    }
    timer_.stop();
    return longest_;
  }
  // When the longest gap ended, from Start.
  qint64 LongestEnded() const { return longest_ended_; }

 private:
  QTimer timer_;
  QElapsedTimer since_;
  QElapsedTimer run_;
  qint64 longest_ = 0;
  qint64 longest_ended_ = 0;
};

struct Opened {
  qint64 first_screen_ms = 0;    // from the choice to the first screen of rows painted
  qint64 whole_ms = 0;           // from the choice to the whole workbook in the window
  qint64 longest_gap_ms = 0;     // the longest the window thread did not answer
  qint64 longest_gap_at_ms = 0;  // when that gap ended
};

// As it was: the workbook read whole on the window thread, then the window opened.
Opened OpenOnWindowThread(const std::string& path) {
  Opened opened;
  TickGaps gaps;
  gaps.Start();
  QElapsedTimer timer;
  timer.start();
  const cw::sheet::Workbook workbook = cw::sheet::ReadWorkbookFile(path);
  cw::sheet::SheetWindow window(workbook, {});
  window.show();
  window.Grid()->viewport()->repaint();
  opened.first_screen_ms = opened.whole_ms = timer.elapsed();
  SettleEvents();
  opened.longest_gap_ms = gaps.Stop();
  opened.longest_gap_at_ms = gaps.LongestEnded();
  return opened;
}

// As it is: read on a worker thread, the window up at once with the first rows.
Opened OpenOnWorkerThread(const std::string& path) {
  Opened opened;
  TickGaps gaps;
  gaps.Start();
  QElapsedTimer timer;
  timer.start();
  cw::sheet::WorkbookReading reading({path, [path] { return cw::sheet::ReadWorkbookFile(path); },
                                      [path] { return cw::sheet::OpenWorkbookStreamFile(path); }},
                                     {});
  cw::sheet::SheetWindow window(reading, {});
  window.show();
  QObject::connect(&reading, &cw::sheet::WorkbookReading::FirstRowsRead, [&] {
    window.Grid()->viewport()->repaint();
    opened.first_screen_ms = timer.elapsed();
  });
  while (reading.Reading()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  window.Grid()->viewport()->repaint();
  opened.whole_ms = timer.elapsed();
  SettleEvents();
  opened.longest_gap_ms = gaps.Stop();
  opened.longest_gap_at_ms = gaps.LongestEnded();
  if (!reading.Book()) std::fprintf(stderr, "the workbook could not be read\n");
  return opened;
}

// The whole screen, as `import -window root` takes it, a second after the first rows showed.
int Shot(const QString& png, const std::string& path) {
  cw::sheet::WorkbookReading reading({path, [path] { return cw::sheet::ReadWorkbookFile(path); },
                                      [path] { return cw::sheet::OpenWorkbookStreamFile(path); }},
                                     {});
  cw::sheet::SheetWindow window(reading, {});
  window.show();
  while (reading.Reading() && !reading.First()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < 1000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  const bool saved = QGuiApplication::primaryScreen()->grabWindow(0).save(png);
  std::printf("%s: %s while reading\n", qPrintable(png), reading.Reading() ? "taken" : "NOT taken");
  return saved ? 0 : 1;
}

int OpenBench(const std::string& path, int rounds) {
  std::printf("opening %s\n", path.c_str());
  std::printf("%-28s %14s %14s %18s %16s\n", "", "first screen", "whole read", "longest gap", "(ended at)");
  const auto row = [](const char* name, const Opened& o) {
    std::printf("%-28s %11lld ms %11lld ms %15lld ms %13lld ms\n", name, static_cast<long long>(o.first_screen_ms),
                static_cast<long long>(o.whole_ms), static_cast<long long>(o.longest_gap_ms),
                static_cast<long long>(o.longest_gap_at_ms));
  };
  for (int round = 0; round < rounds; ++round) {
    row("read on the window thread", OpenOnWindowThread(path));
    row("read on a worker thread", OpenOnWorkerThread(path));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--make") {
    cw::bench::WriteContactsWorkbook(argv[2], std::atoi(argv[3]));
    return 0;
  }
  QApplication app(argc, argv);
  if ((argc == 3 || argc == 4) && std::string(argv[1]) == "--open") {
    return OpenBench(argv[2], argc == 4 ? std::max(1, std::atoi(argv[3])) : 1);
  }
  if (argc == 4 && std::string(argv[1]) == "--shot") return Shot(QString::fromLocal8Bit(argv[2]), argv[3]);
  std::uint32_t rows = 100000, columns = 10;
  if (argc == 3) {
    rows = static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10));
    columns = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10));
  }
  QElapsedTimer timer;
  timer.start();
  const cw::sheet::Workbook workbook = argc == 2 ? cw::sheet::ReadWorkbookFile(argv[1]) : MakeWorkbook(rows, columns);
  const qint64 build_ms = timer.elapsed();
  if (argc == 2 && !workbook.sheets.empty()) {
    const auto used = workbook.sheets[workbook.active_sheet].UsedRange();
    rows = used ? used->last_row + 1 : 0;
    columns = used ? used->last_column + 1 : 0;
  }

  timer.restart();
  cw::sheet::SheetWindow window(workbook, {});
  window.show();
  SettleEvents();
  window.Grid()->repaint();
  const qint64 open_ms = timer.elapsed();

  timer.restart();
  window.Grid()->scrollToBottom();
  SettleEvents();
  window.Grid()->repaint();
  const qint64 scroll_ms = timer.elapsed();

  timer.restart();
  const bool typed = window.ApplyAddress(QStringLiteral("A:C"));
  SettleEvents();
  const qint64 select_ms = timer.elapsed();

  std::printf("sheet %u rows x %u columns = %llu cells (%s in %lld ms)\n", rows, columns,
              static_cast<unsigned long long>(rows) * columns, argc == 2 ? "read from the file" : "built",
              static_cast<long long>(build_ms));
  std::printf("open and paint until ready: %lld ms\n", static_cast<long long>(open_ms));
  std::printf("jump to the last row and paint: %lld ms\n", static_cast<long long>(scroll_ms));
  std::printf("select whole columns A:C (%s): %lld ms -> %s\n", typed ? "ok" : "refused",
              static_cast<long long>(select_ms), window.Address().value_or("").c_str());
  return 0;
}
