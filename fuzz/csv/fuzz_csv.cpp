// Fuzz entry point of the delimited-text reader. The first byte picks the file's extension
// (.csv, .tsv, .txt) and the ANSI code page (1252, 1251, 932); the rest is the file. Any bytes
// must give a workbook or a ReadError, and when the workbook is read, the stream of its used
// range must give the same texts as the model.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "sheet/cell_text.h"
#include "sheet/workbook_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  constexpr const char* kNames[] = {"f.csv", "f.tsv", "f.txt"};
  constexpr int kCodePages[] = {1252, 1251, 932};
  const char* name = kNames[data[0] % 3];
  const cw::sheet::ReadOptions options{kCodePages[(data[0] / 3) % 3]};
  const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data) + 1, size - 1);

  cw::sheet::Workbook model;
  try {
    model = cw::sheet::ReadWorkbook(bytes, name, options);
  } catch (const cw::sheet::ReadError&) {
    return 0;
  }
  const auto used = model.sheets.at(0).UsedRange();
  if (!used) return 0;
  cw::sheet::CellTextRenderer renderer(model);
  const auto stream = cw::sheet::OpenWorkbookStream(bytes, name, options);
  const auto rows = stream->Rows(0, *used, std::vector<bool>(used->last_column - used->first_column + 1, true), {});
  std::vector<std::string> texts;
  for (std::uint32_t r = used->first_row; rows->NextRow(texts); ++r) {
    for (std::size_t c = 0; c < texts.size(); ++c) {
      if (texts[c] != renderer.Text(model.sheets[0], r, used->first_column + static_cast<std::uint32_t>(c))) {
        std::abort();
      }
    }
  }
  return 0;
}
