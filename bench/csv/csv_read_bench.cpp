// Reading benchmark for delimited text: the 100,000-row contacts of the .xlsx benchmark,
// saved as a CSV of their displayed texts (UTF-8, commas, quoted where a field needs it), read
// by the engine's reader (the object model) and streamed row by row as the export reads it,
// beside a bare pass that reads the file and counts its line breaks, and Python's csv module
// reading every row; in interleaved rounds. Then the peak memory of each read, in a child
// process of its own.
//   csv_read_bench [--rows N] [--rounds N]
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/xlsx/contacts_workbook.h"
#include "bench/xlsx/read_passes.h"
#include "sheet/cell_text.h"
#include "sheet/workbook_file.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The floor: read() in 1 MiB chunks, counting LF bytes.
double BareSeconds(const std::string& path, std::size_t* lines) {
  const auto start = Clock::now();
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) throw std::runtime_error("cannot open " + path);
  std::vector<char> buffer(std::size_t{1} << 20);
  std::size_t count = 0;
  for (;;) {
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got <= 0) break;
    const char* p = buffer.data();
    const char* end = p + got;
    while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))) != nullptr) {
      ++count;
      ++p;
    }
  }
  ::close(fd);
  *lines = count;
  return Since(start);
}

double ReadSeconds(const std::string& path, std::size_t* cells) {
  const auto r = cw::bench::ReadWhole(path);
  *cells = r.cells;
  return r.seconds;
}

double StreamSeconds(const std::string& path, int rows, std::size_t* cells) {
  const auto r = cw::bench::StreamRows(path, rows);
  *cells = r.cells;
  return r.seconds;
}

double PythonSeconds(const std::string& path) {
  const std::string command =
      "python3 -c 'import csv,sys\nn=0\nwith open(sys.argv[1], newline=\"\", encoding=\"utf-8\") as f:\n"
      "    for row in csv.reader(f): n += len(row)\n' '" +
      path + "'";
  const auto start = Clock::now();
  if (std::system(command.c_str()) != 0) throw std::runtime_error("python3 failed");
  return Since(start);
}

long MaxRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Child modes: read or stream once and report the growth of the peak resident set.
int Measure(const std::string& how, const std::string& path, int rows) {
  const long before = MaxRssKiB();
  std::size_t cells = 0;
  if (how == "read") {
    ReadSeconds(path, &cells);
  } else {
    StreamSeconds(path, rows, &cells);
  }
  std::printf("%zu %ld\n", cells, (MaxRssKiB() - before) * 1024L);
  return 0;
}

// The contacts as a CSV: every cell's displayed text, quoted when it holds a comma, a quote or
// a line break.
void WriteContactsCsv(const std::string& xlsx, const std::string& csv) {
  const cw::sheet::Workbook book = cw::sheet::ReadWorkbookFile(xlsx);
  cw::sheet::CellTextRenderer renderer(book);
  const auto& sheet = book.sheets.at(0);
  const auto used = sheet.UsedRange().value();
  std::string out;
  for (std::uint32_t r = 0; r <= used.last_row; ++r) {
    for (std::uint32_t c = 0; c <= used.last_column; ++c) {
      if (c > 0) out += ',';
      const std::string text = renderer.Text(sheet, r, c);
      if (text.find_first_of(",\"\r\n") == std::string::npos) {
        out += text;
        continue;
      }
      out += '"';
      for (const char ch : text) {
        if (ch == '"') out += '"';
        out += ch;
      }
      out += '"';
    }
    out += "\r\n";
  }
  std::ofstream(csv, std::ios::binary) << out;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int rows = 100000;
  int rounds = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--rows") {
      rows = std::atoi(argv[i + 1]);
    } else if (flag == "--rounds") {
      rounds = std::atoi(argv[i + 1]);
    } else if ((flag == "--measure-read" || flag == "--measure-stream") && i + 2 < argc) {
      return Measure(flag.substr(10), argv[i + 1], std::atoi(argv[i + 2]));
    }
  }
  try {
    std::random_device random;
    const auto dir = std::filesystem::temp_directory_path() / ("cw_csv_bench_" + std::to_string(random()));
    std::filesystem::create_directory(dir);
    const std::string xlsx = (dir / "contacts.xlsx").string();
    const std::string path = (dir / "contacts.csv").string();
    std::printf("writing %d rows x %d columns as .xlsx, then as .csv...\n", rows, cw::bench::kContactColumns);
    cw::bench::WriteContactsWorkbook(xlsx, rows);
    WriteContactsCsv(xlsx, path);
    std::printf("file %.1f MB\n", static_cast<double>(std::filesystem::file_size(path)) / 1e6);
    std::vector<double> bare, read, stream, python;
    std::size_t lines = 0, cells = 0, streamed = 0;
    for (int r = 0; r < rounds; ++r) {
      bare.push_back(BareSeconds(path, &lines));
      read.push_back(ReadSeconds(path, &cells));
      stream.push_back(StreamSeconds(path, rows, &streamed));
      python.push_back(PythonSeconds(path));
      std::printf("round %d: bare %.4f s, read %.4f s, stream %.4f s, python csv %.3f s\n", r + 1, bare.back(),
                  read.back(), stream.back(), python.back());
    }
    const double b = Median(bare), rd = Median(read), st = Median(stream), py = Median(python);
    std::printf("median of %d: bare read + line count %.4f s (%zu LF)\n", rounds, b, lines);
    std::printf(
        "  object model %.4f s: %.2fx the bare pass (aim <= 1.50), %.1fx faster than python (aim >= 5); %zu cells\n",
        rd, rd / b, py / rd, cells);
    std::printf(
        "  stream of every row %.4f s: %.2fx the bare pass (aim <= 1.50), %.1fx faster than python; %zu texts\n", st,
        st / b, py / st, streamed);
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    for (const char* how : {"read", "stream"}) {
      FILE* pipe = popen(("'" + self + "' --measure-" + how + " '" + path + "' " + std::to_string(rows)).c_str(), "r");
      std::size_t child_cells = 0;
      long peak = 0;
      if (pipe && std::fscanf(pipe, "%zu %ld", &child_cells, &peak) == 2) {
        std::printf("peak memory of a %s: %.1f MB for %zu texts\n", how, static_cast<double>(peak) / 1e6, child_cells);
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
