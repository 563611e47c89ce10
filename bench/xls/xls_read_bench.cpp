// Reading a 60,000-row x 12-column contacts .xls written by python3-xlwt: time per read
// (Google Benchmark) and the peak memory one read adds (resident set growth, reported as
// a counter). The workbook is made on first run with bench/xls/make_contacts_xls.py, or
// taken from CW_XLS_BENCH_FILE.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sheet/cell_text.h"
#include "sheet/xls/xls_reader.h"
#include "sheet/xls/xls_stream.h"

namespace {

std::vector<std::byte> LoadWorkbook() {
  std::string path;
  if (const char* given = std::getenv("CW_XLS_BENCH_FILE")) {
    path = given;
  } else {
    path = (std::filesystem::temp_directory_path() / "cw_bench_contacts_60000.xls").string();
    if (!std::filesystem::exists(path)) {
      const std::string command =
          "/usr/bin/python3 " CW_SOURCE_DIR "/bench/xls/make_contacts_xls.py '" + path + "' 60000";
      if (std::system(command.c_str()) != 0) return {};
    }
  }
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> chars((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::byte> bytes(chars.size());
  for (std::size_t i = 0; i < chars.size(); ++i) bytes[i] = static_cast<std::byte>(chars[i]);
  return bytes;
}

long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void BM_ReadXls60000Rows(benchmark::State& state) {
  static const std::vector<std::byte> bytes = LoadWorkbook();
  if (bytes.empty()) {
    state.SkipWithError("could not make or read the benchmark workbook");
    return;
  }
  // The first read sets the peak: what it adds over the loaded file is the reader's memory.
  static const long before = PeakRssKb();
  static std::size_t cells = 0;
  static const long after = [&] {
    const cw::sheet::Workbook wb = cw::sheet::ReadXls(bytes);
    for (const auto& s : wb.sheets) cells += s.Cells().size();
    return PeakRssKb();
  }();
  for (auto _ : state) {
    cw::sheet::Workbook wb = cw::sheet::ReadXls(bytes);
    benchmark::DoNotOptimize(wb);
  }
  state.counters["file_MB"] = static_cast<double>(bytes.size()) / 1e6;
  state.counters["cells"] = static_cast<double>(cells);
  state.counters["peak_added_MB"] = static_cast<double>(after - before) / 1024.0;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ReadXls60000Rows)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The export's way: the used range of the sheet streamed row by row as displayed texts,
// beside the model read followed by rendering the same cells.
void BM_StreamXls60000RowsTexts(benchmark::State& state) {
  static const std::vector<std::byte> bytes = LoadWorkbook();
  if (bytes.empty()) {
    state.SkipWithError("could not make or read the benchmark workbook");
    return;
  }
  // The generator's header row and 60,000 rows of 12 columns. The first streamed read sets
  // the peak the stream adds (run this benchmark alone, --benchmark_filter=Stream, for it).
  const cw::sheet::Extent block{0, 0, 60000, 11};
  const std::vector<bool> wanted(block.last_column - block.first_column + 1, true);
  const auto read_all = [&] {
    const auto stream = cw::sheet::OpenXlsStream(bytes);
    const auto rows = stream->Rows(0, block, wanted, {});
    std::vector<std::string> texts;
    while (rows->NextRow(texts)) benchmark::DoNotOptimize(texts.data());
  };
  static const long before = PeakRssKb();
  static const long after = [&] {
    read_all();
    return PeakRssKb();
  }();
  for (auto _ : state) read_all();
  state.counters["peak_added_MB"] = static_cast<double>(after - before) / 1024.0;
}
BENCHMARK(BM_StreamXls60000RowsTexts)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ReadXls60000RowsThenTexts(benchmark::State& state) {
  static const std::vector<std::byte> bytes = LoadWorkbook();
  if (bytes.empty()) {
    state.SkipWithError("could not make or read the benchmark workbook");
    return;
  }
  for (auto _ : state) {
    const cw::sheet::Workbook wb = cw::sheet::ReadXls(bytes);
    cw::sheet::CellTextRenderer renderer(wb);
    const cw::sheet::Worksheet& sheet = wb.sheets[0];
    const cw::sheet::Extent block = *sheet.UsedRange();
    std::string text;
    for (std::uint32_t r = block.first_row; r <= block.last_row; ++r) {
      for (std::uint32_t c = block.first_column; c <= block.last_column; ++c) {
        text = renderer.Text(sheet, r, c);
        benchmark::DoNotOptimize(text.data());
      }
    }
  }
}
BENCHMARK(BM_ReadXls60000RowsThenTexts)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
