// Fuzz entry point of the .xlsx reader: bytes in, a workbook or a ReadError out; every
// cell read is then rendered, as the export would.
#include <cstddef>
#include <cstdint>
#include <span>

#include "sheet/cell_text.h"
#include "sheet/xlsx/xlsx_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const cw::sheet::Workbook book =
        cw::sheet::ReadXlsx(std::span<const std::byte>(reinterpret_cast<const std::byte*>(data), size));
    cw::sheet::CellTextRenderer renderer(book);
    for (const auto& sheet : book.sheets) {
      for (const auto& cell : sheet.Cells()) renderer.Text(cell);
    }
  } catch (const cw::sheet::ReadError&) {
  }
  return 0;
}
