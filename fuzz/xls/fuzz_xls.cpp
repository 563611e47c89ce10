// libFuzzer entry point for the whole .xls reader: any bytes must give a workbook or an
// XlsReadError, never a crash, hang or runaway allocation.
#include <cstddef>
#include <cstdint>
#include <span>

#include "sheet/cell_text.h"
#include "sheet/xls/xls_error.h"
#include "sheet/xls/xls_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const cw::sheet::Workbook wb = cw::sheet::ReadXls(std::as_bytes(std::span(data, size)));
    // Everything above the reader trusts the model: every cell must render.
    cw::sheet::CellTextRenderer renderer(wb);
    for (const auto& sheet : wb.sheets) {
      for (const auto& cell : sheet.Cells()) renderer.Text(cell);
    }
    if (wb.active_sheet >= wb.sheets.size()) __builtin_trap();
  } catch (const cw::sheet::XlsReadError&) {
  }
  return 0;
}
