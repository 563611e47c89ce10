// libFuzzer entry point for the whole .xls reader, the decryption of default-password
// workbooks and the streaming read: any bytes must give a workbook or an XlsReadError,
// never a crash, hang or runaway allocation; and where the whole read succeeds, the rows
// streamed from each sheet must show exactly the model's texts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sheet/cell_text.h"
#include "sheet/xls/xls_error.h"
#include "sheet/xls/xls_reader.h"
#include "sheet/xls/xls_stream.h"

namespace {

// The first rows and columns of each sheet: enough to reach every record kind, few
// enough that an input of huge row numbers costs no time.
constexpr std::uint32_t kRows = 64;
constexpr std::uint32_t kColumns = 16;

void StreamEverySheet(std::span<const std::byte> bytes, const cw::sheet::Workbook* model) {
  const auto stream = cw::sheet::OpenXlsStream(bytes);
  const cw::sheet::Workbook& shape = stream->Model();
  for (std::size_t s = 0; s < shape.sheets.size(); ++s) {
    const cw::sheet::Extent block{0, 0, kRows - 1, kColumns - 1};
    const auto rows = stream->Rows(s, block, std::vector<bool>(kColumns, true), {});
    std::vector<std::string> texts;
    for (std::uint32_t r = 0; rows->NextRow(texts); ++r) {
      if (!model) continue;
      cw::sheet::CellTextRenderer renderer(*model);
      for (std::uint32_t c = 0; c < kColumns; ++c) {
        if (texts[c] != renderer.Text(model->sheets[s], r, c)) __builtin_trap();
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto bytes = std::as_bytes(std::span(data, size));
  try {
    const cw::sheet::Workbook wb = cw::sheet::ReadXls(bytes);
    // Everything above the reader trusts the model: every cell must render.
    cw::sheet::CellTextRenderer renderer(wb);
    for (const auto& sheet : wb.sheets) {
      for (const auto& cell : sheet.Cells()) renderer.Text(cell);
    }
    if (wb.active_sheet >= wb.sheets.size()) __builtin_trap();
    try {
      StreamEverySheet(bytes, &wb);
    } catch (const cw::sheet::XlsReadError&) {
      __builtin_trap();  // the stream walks the same records the whole read has just read
    }
  } catch (const cw::sheet::XlsReadError&) {
    try {
      StreamEverySheet(bytes, nullptr);
    } catch (const cw::sheet::XlsReadError&) {
    }
  }
  return 0;
}
