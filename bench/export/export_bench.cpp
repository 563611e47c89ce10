// export_bench [ROWS] [ROUNDS]: the save command's export of a generated contacts workbook
// (ROWS x 12 mapped columns, default 100,000), beside its two floors measured in the same
// run: creating the same files with plain open/write/close, and a bare inflate + expat pass
// over the sheet and its shared strings. Rounds are interleaved; medians are reported.
// Every timed step writes into a folder of its own; all output is deleted only at the end,
// since creating files right after a mass delete is slow on these disks.
#include <expat.h>
#include <fcntl.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "bench/xlsx/contacts_workbook.h"
#include "mapping/column_list.h"
#include "run/export_run.h"
#include "run/regional_settings.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Inflates one part in chunks and runs expat over it with element handlers that only count.
long ExpatPass(zip_t* archive, const char* name) {
  zip_file_t* file = zip_fopen(archive, name, 0);
  if (!file) return -1;
  long elements = 0;
  XML_Parser parser = XML_ParserCreate(nullptr);
  XML_SetUserData(parser, &elements);
  XML_SetElementHandler(
      parser, [](void* data, const XML_Char*, const XML_Char**) { ++*static_cast<long*>(data); },
      [](void*, const XML_Char*) {});
  XML_SetCharacterDataHandler(parser, [](void*, const XML_Char*, int) {});
  std::vector<char> buf(1 << 16);
  for (;;) {
    const zip_int64_t n = zip_fread(file, buf.data(), buf.size());
    if (n < 0) break;
    XML_Parse(parser, buf.data(), static_cast<int>(n), n == 0);
    if (n == 0) break;
  }
  XML_ParserFree(parser);
  zip_fclose(file);
  return elements;
}

double BarePass(const std::string& workbook) {
  const auto start = Clock::now();
  int error = 0;
  zip_t* archive = zip_open(workbook.c_str(), ZIP_RDONLY, &error);
  if (!archive) return -1;
  ExpatPass(archive, "xl/sharedStrings.xml");
  ExpatPass(archive, "xl/worksheets/sheet1.xml");
  zip_close(archive);
  return Seconds(start);
}

struct FileSpec {
  std::string name;
  std::string bytes;
};

double CreateFiles(const std::string& folder, const std::vector<FileSpec>& files) {
  fs::create_directories(folder);
  const auto start = Clock::now();
  for (const auto& f : files) {
    const std::string path = folder + "/" + f.name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0) continue;
    if (::write(fd, f.bytes.data(), f.bytes.size()) < 0) std::perror("write");
    ::close(fd);
  }
  return Seconds(start);
}

class QuietMessages : public cw::run::MessageSink {
 public:
  cw::run::MessageAnswer Show(std::string_view text, std::string_view, cw::run::MessageIcon,
                              cw::run::MessageButtons) override {
    last = text;
    return cw::run::MessageAnswer::kOk;
  }
  std::string last;
};

class CountingReporter : public cw::run::FailureReporter {
 public:
  void ShowApplicationError(std::string_view, int, std::string_view) override { ++count; }
  int count = 0;
};

class NoPointer : public cw::run::PointerControl {
 public:
  cw::run::PointerSetting Pointer() const override { return cw::run::PointerSetting::kDefault; }
  void SetPointer(cw::run::PointerSetting) override {}
};

// Opening the workbook alone, as the export's first step does it.
double Read(const std::string& workbook) {
  const auto engine = cw::run::MakeSheetEngine(cw::run::RegionalSettings::ForLocale("en_US.UTF-8").format);
  const auto start = Clock::now();
  engine->OpenWorkbook(workbook);
  return Seconds(start);
}

double Export(const std::string& workbook, const std::string& folder, int rows) {
  fs::create_directories(folder);
  using namespace cw::run;
  using cw::vcard::ExportEncoding;
  const RegionalSettings regional = RegionalSettings::ForLocale("en_US.UTF-8");
  const auto engine = MakeSheetEngine(regional.format);
  cw::mapping::ColumnList columns;
  const auto kinds = cw::bench::ContactsColumnKinds();
  columns.FillColumnList(static_cast<int>(kinds.size()));
  for (std::size_t j = 0; j < kinds.size(); ++j) columns.SetType(j + 1, kinds[j]);
  QuietMessages messages;
  CountingReporter reporter;
  SystemClock clock;
  NoPointer pointer;
  ExportServices services{messages, reporter, clock, pointer, *engine, regional.code_page, regional.dates};
  const std::string address = "A2:" + cw::bench::ContactsLastColumnLetters() + std::to_string(rows + 1);
  const auto start = Clock::now();
  ExportRun(ExportEncoding::Utf8, ExportInputs{workbook, address, columns, folder}, services);
  const double seconds = Seconds(start);
  if (messages.last != "Done." || reporter.count != 0) {
    std::fprintf(stderr, "export did not complete: \"%s\", %d reports\n", messages.last.c_str(), reporter.count);
  }
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  const fs::path root = fs::temp_directory_path() / ("cw-export-bench-" + std::to_string(::getpid()));
  fs::create_directories(root);
  const std::string workbook = (root / "contacts.xlsx").string();
  cw::bench::WriteContactsWorkbook(workbook, rows);
  std::printf("workbook: %d rows x %zu columns, %.1f MB\n", rows, cw::bench::ContactsColumnKinds().size(),
              static_cast<double>(fs::file_size(workbook)) / 1e6);

  // One untimed export gives the names and bytes of the files the floor creates.
  Export(workbook, (root / "warmup").string(), rows);
  std::vector<FileSpec> files;
  for (const auto& e : fs::directory_iterator(root / "warmup")) {
    std::ifstream in(e.path(), std::ios::binary);
    files.push_back({e.path().filename().string(),
                     std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>())});
  }
  std::size_t total_bytes = 0;
  for (const auto& f : files) total_bytes += f.bytes.size();
  std::printf("files: %zu, %.0f bytes on average\n", files.size(),
              files.empty() ? 0.0 : static_cast<double>(total_bytes) / static_cast<double>(files.size()));

  std::vector<double> create_floor, parse_floor, read_time, export_time;
  for (int round = 0; round < rounds; ++round) {
    const std::string tag = std::to_string(round);
    create_floor.push_back(CreateFiles((root / ("floor" + tag)).string(), files));
    parse_floor.push_back(BarePass(workbook));
    read_time.push_back(Read(workbook));
    export_time.push_back(Export(workbook, (root / ("export" + tag)).string(), rows));
    std::printf("round %d: create %.3f s, inflate+expat %.3f s, engine read %.3f s, export %.3f s\n", round,
                create_floor.back(), parse_floor.back(), read_time.back(), export_time.back());
  }
  const double floors = Median(create_floor) + Median(parse_floor);
  std::printf(
      "median: create %.3f s + inflate+expat %.3f s = floors %.3f s; engine read %.3f s; export %.3f s; "
      "ratio %.2f\n",
      Median(create_floor), Median(parse_floor), floors, Median(read_time), Median(export_time),
      Median(export_time) / floors);
  fs::remove_all(root);
  return 0;
}
