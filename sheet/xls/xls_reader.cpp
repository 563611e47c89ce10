// The whole-workbook read of an .xls file: the globals, then every worksheet's cells into
// the workbook model.
#include "sheet/xls/xls_reader.h"

#include <algorithm>
#include <cstdint>

#include "sheet/xls/biff_globals.h"
#include "sheet/xls/biff_sheet.h"
#include "sheet/xls/xls_container.h"

namespace cw::sheet {
namespace {

// Puts a sheet's cells into the model; inline strings join the workbook's string pool.
class ModelSink {
 public:
  ModelSink(Workbook& workbook, Worksheet& sheet) : workbook_(workbook), sheet_(sheet) {}
  void Reserve(std::size_t cells) { sheet_.Reserve(cells); }
  void Add(const Cell& cell) { sheet_.Add(cell); }
  void AddText(Cell cell, std::string_view text) {
    cell.string_index = workbook_.AddString(text);
    sheet_.Add(cell);
  }

 private:
  Workbook& workbook_;
  Worksheet& sheet_;
};

}  // namespace

Workbook ReadXls(std::span<const std::byte> bytes) {
  const XlsWorkbookStream container = OpenXlsContainer(bytes);
  BiffGlobals globals = ReadBiffGlobals(container.stream, container.decrypted);
  WalkBudget budget(container.stream.size());
  // Each sheet's row index spans its rows: over all sheets, two whole sheets' worth plus 16
  // rows per cell read, so sheets that all point at one substream cannot multiply it.
  std::uint64_t rows_left = 2 * std::uint64_t{kMaxRows};
  Workbook& workbook = globals.workbook;
  for (std::size_t i = 0; i < workbook.sheets.size(); ++i) {
    Worksheet& sheet = workbook.sheets[i];
    ModelSink sink(workbook, sheet);
    BiffSheetWalker<ModelSink> walker(container.stream, globals.sheet_offsets[i], globals, budget);
    while (walker.Step(sink)) {
    }
    if (!sheet.Cells().empty()) {
      const auto [low, high] = std::minmax_element(sheet.Cells().begin(), sheet.Cells().end(),
                                                   [](const Cell& a, const Cell& b) { return a.row < b.row; });
      const std::uint64_t span = std::uint64_t{high->row} - low->row + 1;
      rows_left += 16 * std::uint64_t{sheet.Cells().size()};
      if (span > rows_left) FailBiff(XlsErrorCode::kRecordDamaged, globals.sheet_offsets[i]);
      rows_left -= span;
    }
    sheet.Finish();
  }
  return std::move(workbook);
}

}  // namespace cw::sheet
