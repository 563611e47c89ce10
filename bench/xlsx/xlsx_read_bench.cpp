// Reading benchmark: the 100,000-row contacts workbook read by the engine's reader (the
// object model) and streamed row by row as the export reads it (every row of the sheet, its
// cells' displayed texts, no files written), beside a bare pass over the same parts (libzip
// inflate + expat with no handlers), in interleaved rounds; then the peak memory of each,
// measured in a child process of its own.
//   xlsx_read_bench [--rows N] [--rounds N] [--mode model|stream|both]
#include <expat.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/xlsx/contacts_workbook.h"
#include "bench/xlsx/read_passes.h"
#include "sheet/workbook_file.h"
#include "sheet/xlsx/xlsx_stream.h"

namespace {

using Clock = std::chrono::steady_clock;

double last_cpu = 0;  // the CPU seconds of the last timed step

double BareSeconds(const std::string& path) {
  const double cpu = cw::bench::ProcessCpuSeconds();
  const auto start = Clock::now();
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
  if (!archive) throw std::runtime_error("cannot open " + path);
  cw::bench::InflateAndParse(archive, "xl/sharedStrings.xml");
  cw::bench::InflateAndParse(archive, "xl/worksheets/sheet1.xml");
  zip_discard(archive);
  last_cpu = cw::bench::ProcessCpuSeconds() - cpu;
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double ReadSeconds(const std::string& path, std::size_t* cells) {
  const auto r = cw::bench::ReadWhole(path);
  last_cpu = r.cpu_seconds;
  *cells = r.cells;
  return r.seconds;
}

double StreamSeconds(const std::string& path, int rows, std::size_t* cells) {
  const auto r = cw::bench::StreamRows(path, rows);
  last_cpu = r.cpu_seconds;
  *cells = r.cells;
  return r.seconds;
}

long MaxRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Child mode: read once and report the growth of the peak resident set.
int MeasureRead(const std::string& path) {
  const long before = MaxRssKiB();
  const cw::sheet::Workbook book = cw::sheet::ReadWorkbookFile(path);
  const long after = MaxRssKiB();
  const std::size_t strings_bytes = book.strings.MemoryBytes();
  std::printf("%zu %ld %zu %zu\n", book.sheets.at(0).Cells().size(), (after - before) * 1024L, strings_bytes,
              book.strings.size());
  return 0;
}

// Child mode: stream once and report the growth of the peak resident set.
int MeasureStream(const std::string& path, int rows) {
  const long before = MaxRssKiB();
  std::size_t cells = 0;
  StreamSeconds(path, rows, &cells);
  std::printf("%zu %ld\n", cells, (MaxRssKiB() - before) * 1024L);
  return 0;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int rows = 100000;
  int rounds = 5;
  std::string mode = "both";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--rows")
      rows = std::atoi(argv[i + 1]);
    else if (flag == "--rounds")
      rounds = std::atoi(argv[i + 1]);
    else if (flag == "--mode")
      mode = argv[i + 1];
    else if (flag == "--measure-read")
      return MeasureRead(argv[i + 1]);
    else if (flag == "--measure-stream" && i + 2 < argc)
      return MeasureStream(argv[i + 1], std::atoi(argv[i + 2]));
  }
  const bool model = mode != "stream", streamed = mode != "model";
  try {
    std::random_device random;
    const auto dir = std::filesystem::temp_directory_path() / ("cw_xlsx_bench_" + std::to_string(random()));
    std::filesystem::create_directory(dir);
    const std::string path = (dir / "contacts.xlsx").string();
    std::printf("writing %d rows x %d columns with libxlsxwriter...\n", rows, cw::bench::kContactColumns);
    cw::bench::WriteContactsWorkbook(path, rows);
    {
      int error = 0;
      zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
      zip_stat_t sheet, strings;
      zip_stat(archive, "xl/worksheets/sheet1.xml", 0, &sheet);
      zip_stat(archive, "xl/sharedStrings.xml", 0, &strings);
      std::printf("file %.1f MB; sheet XML %.1f MB, shared strings %.1f MB\n", std::filesystem::file_size(path) / 1e6,
                  sheet.size / 1e6, strings.size / 1e6);
      zip_discard(archive);
    }
    std::vector<double> bare, read, stream, bare_cpu, read_cpu, stream_cpu;
    std::size_t cells = 0, streamed_cells = 0;
    for (int r = 0; r < rounds; ++r) {
      bare.push_back(BareSeconds(path));
      bare_cpu.push_back(last_cpu);
      std::printf("round %d: bare %.3f s", r + 1, bare.back());
      if (model) {
        read.push_back(ReadSeconds(path, &cells));
        read_cpu.push_back(last_cpu);
        std::printf(", read %.3f s", read.back());
      }
      if (streamed) {
        stream.push_back(StreamSeconds(path, rows, &streamed_cells));
        stream_cpu.push_back(last_cpu);
        std::printf(", stream %.3f s", stream.back());
      }
      std::printf("\n");
    }
    const double b = Median(bare);
    std::printf("median of %d: bare inflate+expat %.3f s\n", rounds, b);
    const double bc = Median(bare_cpu);
    std::printf("  CPU time: bare %.3f s", bc);
    if (model) std::printf(", object model %.3f s (ratio %.2f)", Median(read_cpu), Median(read_cpu) / bc);
    if (streamed) std::printf(", stream %.3f s (ratio %.2f)", Median(stream_cpu), Median(stream_cpu) / bc);
    std::printf("\n");
    if (model) {
      const double rd = Median(read);
      std::printf("  object model read %.3f s, ratio %.2f (aim <= 1.50); %zu cells\n", rd, rd / b, cells);
    }
    if (streamed) {
      const double st = Median(stream);
      std::printf("  stream of every row %.3f s, ratio %.2f (aim <= 1.50); %zu non-empty texts\n", st, st / b,
                  streamed_cells);
    }

    // Peak memory, each in a fresh process.
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    if (model) {
      FILE* pipe = popen(("'" + self + "' --measure-read '" + path + "'").c_str(), "r");
      std::size_t child_cells = 0, strings_bytes = 0, strings_count = 0;
      long peak = 0;
      if (pipe && std::fscanf(pipe, "%zu %ld %zu %zu", &child_cells, &peak, &strings_bytes, &strings_count) == 4) {
        const double per_cell = static_cast<double>(peak - static_cast<long>(strings_bytes)) / child_cells;
        std::printf(
            "peak memory of a read: %.1f MB for %zu cells and %zu shared strings (%.1f MB); "
            "%.1f bytes per cell beyond the strings (aim < 40)\n",
            peak / 1e6, child_cells, strings_count, strings_bytes / 1e6, per_cell);
      }
      if (pipe) pclose(pipe);
    }
    if (streamed) {
      FILE* pipe = popen(("'" + self + "' --measure-stream '" + path + "' " + std::to_string(rows)).c_str(), "r");
      std::size_t child_cells = 0;
      long peak = 0;
      if (pipe && std::fscanf(pipe, "%zu %ld", &child_cells, &peak) == 2) {
        std::printf(
            "peak memory of a stream: %.1f MB for %zu non-empty texts (the shared strings and a window of rows)\n",
            peak / 1e6, child_cells);
      }
      if (pipe) pclose(pipe);
    }
    std::filesystem::remove_all(dir);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
