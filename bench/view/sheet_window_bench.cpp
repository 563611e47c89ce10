// Times the sheet window on a generated sheet of a million cells: from constructing the window
// until it has been shown and painted and is ready to select, then one jump to the last row.
// Usage: sheet_window_bench [rows columns]   (default 100000 x 10)
//        sheet_window_bench WORKBOOK         (reads the file too, and times that apart)
// Runs under any Qt platform, e.g. QT_QPA_PLATFORM=offscreen or xvfb-run.
#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QTextStream>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sheet/view/sheet_window.h"
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

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
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
