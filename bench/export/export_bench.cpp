// export_bench OUTDIR [ROWS] [ROUNDS] [--no-reference] [--one-file] [--ansi]: the save command's export of a
// generated contacts workbook (ROWS x 12 mapped columns, default 100,000) into folders under
// OUTDIR (use /dev/shm for the steady measure), beside what it is judged against, all from
// one run:
//   create   creating the export's files alone (plain open, write, close per file)
//   safe-create  the same files through the export's own record-file layer, which links an
//            unnamed file under its name once complete, so none is ever seen partial
//   parse    a bare inflate + expat pass over the sheet and its shared strings
//   read     the engine's read alone: the block's rows streamed, no files
//   export   the whole export run, as the save command runs it
//   openpyxl the same job by bench/export/openpyxl_export.py (read-only mode), when
//            python3-openpyxl is installed
// With --one-file the export writes vCard 3.0 into one file for all rows, the openpyxl script
// does the same, and the floor is the inflate + expat pass alone (there are no files to make).
// With --ansi the per-row export is the ANSI save command's (Windows-1252, its values beyond
// ASCII converted by the code page) instead of the UTF-8 one's.
// Each part runs in a child process of its own (this program again), so its peak memory is
// its own (ru_maxrss from wait4). Rounds are interleaved; medians are reported. Every timed
// step writes into a new folder; all output is deleted only at the end, since creating files
// right after a mass delete is slow on these disks.
#include <expat.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/resource.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "bench/xlsx/contacts_workbook.h"
#include "mapping/column_list.h"
#include "run/export_run.h"
#include "run/regional_settings.h"
#include "sheet/engine.h"
#include "vcard/record_file.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double CpuSeconds(const rusage& u) {
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The timed section of a part: wall seconds, and CPU seconds of the process and of its
// main thread (the export's writer threads are the difference).
struct Meter {
  Clock::time_point start = Clock::now();
  double self_cpu = Cpu(RUSAGE_SELF);
  double thread_cpu = Cpu(RUSAGE_THREAD);
  static double Cpu(int who) {
    rusage u{};
    ::getrusage(who, &u);
    return CpuSeconds(u);
  }
  std::string Stop() const {
    char text[96];
    std::snprintf(text, sizeof text, "%.6f %.6f %.6f", Seconds(start), Cpu(RUSAGE_SELF) - self_cpu,
                  Cpu(RUSAGE_THREAD) - thread_cpu);
    return text;
  }
};

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
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

std::string Parse(const std::string& workbook) {
  const Meter meter;
  int error = 0;
  zip_t* archive = zip_open(workbook.c_str(), ZIP_RDONLY, &error);
  if (!archive) return {};
  ExpatPass(archive, "xl/sharedStrings.xml");
  ExpatPass(archive, "xl/worksheets/sheet1.xml");
  zip_close(archive);
  return meter.Stop();
}

// Creates the files found in `model` (names and bytes, read before the clock starts) anew in
// `folder`: with plain calls, or through the export's own file layer, which never shows a
// partial file under a final name (an unnamed file linked once complete).
std::string Create(const std::string& model, const std::string& folder, bool safe) {
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& e : fs::directory_iterator(model)) {
    std::ifstream in(e.path(), std::ios::binary);
    files.emplace_back(e.path().filename().string(),
                       std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
  }
  fs::create_directories(folder);
  const Meter meter;
  if (safe) {
    const cw::vcard::OutputFolder out(folder);
    for (const auto& [name, bytes] : files) {
      cw::vcard::RecordFile file = cw::vcard::RecordFile::Create(out, name);
      file.Write(bytes);
      file.Close();
    }
    return meter.Stop();
  }
  for (const auto& [name, bytes] : files) {
    const std::string path = folder + "/" + name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) continue;
    if (::write(fd, bytes.data(), bytes.size()) < 0) std::perror("write");
    ::close(fd);
  }
  return meter.Stop();
}

std::string BlockAddress(int rows) { return "A2:" + cw::bench::ContactsLastColumnLetters() + std::to_string(rows + 1); }

// The engine's part of the export alone: open for streaming, place the block, take its rows.
std::string Read(const std::string& workbook, int rows) {
  const auto locale = cw::run::RegionalSettings::ForLocale("en_US.UTF-8").format;
  const Meter meter;
  cw::sheet::Application app(locale);
  cw::sheet::OpenedWorkbook& book = app.OpenForStreaming(workbook);
  const cw::sheet::Range range = book.GetRange(BlockAddress(rows));
  auto stream = book.Rows(range, std::vector<bool>(range.ColumnsCount(), true));
  std::vector<std::string> texts;
  std::size_t bytes = 0;
  while (stream->NextRow(texts)) {
    for (const auto& t : texts) bytes += t.size();
  }
  stream.reset();
  app.Quit();
  std::string result = meter.Stop();
  if (bytes == 0) std::fprintf(stderr, "the read gave no text\n");
  return result;
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

std::string Export(const std::string& workbook, const std::string& folder, int rows, bool one_file, bool ansi) {
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
  const Meter meter;
  const auto version = one_file ? cw::vcard::VCardVersion::k30 : cw::vcard::VCardVersion::k21;
  ExportRun(ansi ? ExportEncoding::Ansi : ExportEncoding::Utf8,
            ExportInputs{workbook, BlockAddress(rows), columns, folder, version, one_file}, services);
  std::string result = meter.Stop();
  // The ANSI file's final message goes on to count the rows whose characters the code page lacks.
  if (!messages.last.starts_with("Done.") || reporter.count != 0) {
    std::fprintf(stderr, "export did not complete: \"%s\", %d reports\n", messages.last.c_str(), reporter.count);
    return {};
  }
  return result;
}

// One part in a child process: the seconds it printed and its peak resident memory.
struct PartResult {
  double seconds = -1;
  double peak_mb = 0;
  double cpu = 0;       // CPU seconds of the timed section (for the reference: of the whole child)
  double main_cpu = 0;  // of that, the main thread's (the export's reading and composing, and writing when ahead)
};

PartResult RunChild(const std::vector<std::string>& argv) {
  int out[2];
  if (::pipe(out) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::close(out[0]);
    ::close(out[1]);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    std::_Exit(127);
  }
  ::close(out[1]);
  std::string text;
  char buf[256];
  for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<std::size_t>(n));
  ::close(out[0]);
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  PartResult result;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    if (std::sscanf(text.c_str(), "%lf %lf %lf", &result.seconds, &result.cpu, &result.main_cpu) < 2) {
      result.cpu = CpuSeconds(usage);
    }
  }
  result.peak_mb = static_cast<double>(usage.ru_maxrss) / 1024.0;
  return result;
}

// The child's side: one part, its seconds on stdout.
int RunPart(int argc, char** argv) {
  const std::string part = argv[2];
  std::string result;
  if (part == "parse" && argc == 4) result = Parse(argv[3]);
  if (part == "create" && argc == 5) result = Create(argv[3], argv[4], false);
  if (part == "safe-create" && argc == 5) result = Create(argv[3], argv[4], true);
  if (part == "read" && argc == 5) result = Read(argv[3], std::atoi(argv[4]));
  if (part == "export" && argc == 6) result = Export(argv[3], argv[4], std::atoi(argv[5]), false, false);
  if (part == "export-ansi" && argc == 6) result = Export(argv[3], argv[4], std::atoi(argv[5]), false, true);
  if (part == "export-one" && argc == 6) result = Export(argv[3], argv[4], std::atoi(argv[5]), true, false);
  if (part == "write" && argc == 5) {
    const Meter meter;
    cw::bench::WriteContactsWorkbook(argv[3], std::atoi(argv[4]));
    result = meter.Stop();
  }
  if (result.empty()) return 1;
  std::printf("%s\n", result.c_str());
  return 0;
}

std::string Python() { return fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3"; }

bool HaveOpenpyxl() {
  const std::string command = Python() + " -c 'import openpyxl' 2>/dev/null";
  return std::system(command.c_str()) == 0;
}

// The rounds of the one-file export: vCard 3.0, all rows in one file, against the bare
// inflate + expat pass and the openpyxl script writing the same cards into one file.
int OneFileRounds(const std::string& self, const fs::path& root, const std::string& workbook, int rows, int rounds,
                  bool reference) {
  std::map<std::string, std::vector<double>> seconds, peaks, cpu;
  const auto keep = [&](const std::string& name, const PartResult& r) {
    seconds[name].push_back(r.seconds);
    peaks[name].push_back(r.peak_mb);
    cpu[name].push_back(r.cpu);
  };
  for (int round = 0; round < rounds; ++round) {
    const fs::path folder = root / ("one" + std::to_string(round));
    keep("parse", RunChild({self, "--part", "parse", workbook}));
    keep("export", RunChild({self, "--part", "export-one", workbook, folder.string(), std::to_string(rows)}));
    fs::remove_all(folder);
    std::printf("round %d: inflate+expat %.3f s, one-file 3.0 export %.3f s", round, seconds["parse"].back(),
                seconds["export"].back());
    if (reference) {
      fs::create_directories(folder);
      keep("openpyxl", RunChild({Python(), CW_SOURCE_DIR "/bench/export/openpyxl_export.py", workbook, folder.string(),
                                 std::to_string(rows), "one-file"}));
      fs::remove_all(folder);
      std::printf(", openpyxl %.3f s", seconds["openpyxl"].back());
    }
    std::printf("\n");
    std::fflush(stdout);
  }
  const double export_s = Median(seconds["export"]);
  std::printf("median of %d rounds, %d rows, one vCard 3.0 file:\n", rounds, rows);
  std::printf("  export %.3f s = %.2fx inflate+expat %.3f s (%.2f us per row); CPU %.3f s\n", export_s,
              export_s / Median(seconds["parse"]), Median(seconds["parse"]), export_s / rows * 1e6,
              Median(cpu["export"]));
  if (reference) {
    std::printf("  openpyxl %.3f s = %.1fx the export\n", Median(seconds["openpyxl"]),
                Median(seconds["openpyxl"]) / export_s);
  }
  std::printf("  peak memory (MB): export %.0f, inflate+expat %.0f", Median(peaks["export"]), Median(peaks["parse"]));
  if (reference) std::printf(", openpyxl %.0f", Median(peaks["openpyxl"]));
  std::printf("\n");
  fs::remove_all(root);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::strcmp(argv[1], "--part") == 0) return RunPart(argc, argv);
  std::vector<std::string> args(argv + 1, argv + argc);
  const bool no_reference = std::erase(args, "--no-reference") > 0;
  const bool one_file = std::erase(args, "--one-file") > 0;
  const std::string export_part = std::erase(args, "--ansi") > 0 ? "export-ansi" : "export";
  if (args.empty()) {
    std::fprintf(stderr, "usage: export_bench OUTDIR [ROWS] [ROUNDS] [--no-reference] [--one-file] [--ansi]\n");
    return 2;
  }
  const int rows = args.size() > 1 ? std::atoi(args[1].c_str()) : 100000;
  const int rounds = args.size() > 2 ? std::atoi(args[2].c_str()) : 5;
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  const fs::path root = fs::path(args[0]) / ("cw-export-bench-" + std::to_string(::getpid()));
  fs::create_directories(root);
  const std::string workbook = (root / "contacts.xlsx").string();
  // Written by a child, so that this process stays small: a child's peak memory counts what
  // its parent held when it was forked.
  if (RunChild({self, "--part", "write", workbook, std::to_string(rows)}).seconds < 0) {
    std::fprintf(stderr, "the workbook could not be written\n");
    return 1;
  }
  const bool reference = !no_reference && HaveOpenpyxl();
  std::printf("workbook: %d rows x %zu columns, %.1f MB; output under %s; reference script: %s\n", rows,
              cw::bench::ContactsColumnKinds().size(), static_cast<double>(fs::file_size(workbook)) / 1e6,
              args[0].c_str(), reference ? "openpyxl" : "none");

  if (one_file) return OneFileRounds(self, root, workbook, rows, rounds, reference);

  // One untimed export gives the names and bytes of the files the create floor makes.
  const std::string model = (root / "warmup").string();
  if (RunChild({self, "--part", export_part, workbook, model, std::to_string(rows)}).seconds < 0) {
    std::fprintf(stderr, "the export failed\n");
    return 1;
  }

  std::map<std::string, std::vector<double>> seconds, peaks, main_cpu, cpu;
  const auto keep = [&](const std::string& name, const PartResult& r) {
    seconds[name].push_back(r.seconds);
    peaks[name].push_back(r.peak_mb);
    main_cpu[name].push_back(r.main_cpu);
    cpu[name].push_back(r.cpu);
  };
  struct statfs where {};
  const bool memory_fs = ::statfs(root.c_str(), &where) == 0 && where.f_type == TMPFS_MAGIC;
  for (int round = 0; round < rounds; ++round) {
    const std::string tag = std::to_string(round);
    // A million files of each part fill a memory file system: there each floor's folder goes
    // before the next part writes its own. On a disk they stay until the end, since creating
    // files right after a mass delete is several times slower there.
    for (const auto& [part, folder] : {std::pair{"create", "floor"}, std::pair{"safe-create", "safe"}}) {
      keep(part, RunChild({self, "--part", part, model, (root / (folder + tag)).string()}));
      if (memory_fs) fs::remove_all(root / (folder + tag));
    }
    keep("parse", RunChild({self, "--part", "parse", workbook}));
    keep("read", RunChild({self, "--part", "read", workbook, std::to_string(rows)}));
    keep("export",
         RunChild({self, "--part", export_part, workbook, (root / ("export" + tag)).string(), std::to_string(rows)}));
    std::printf("round %d: create %.3f s, inflate+expat %.3f s, engine read %.3f s, export %.3f s", round,
                seconds["create"].back(), seconds["parse"].back(), seconds["read"].back(), seconds["export"].back());
    if (reference) {
      const fs::path folder = root / ("openpyxl" + tag);
      fs::create_directories(folder);
      keep("openpyxl", RunChild({Python(), CW_SOURCE_DIR "/bench/export/openpyxl_export.py", workbook, folder.string(),
                                 std::to_string(rows)}));
      std::printf(", openpyxl %.3f s", seconds["openpyxl"].back());
    }
    std::printf("\n");
    std::fflush(stdout);
  }
  const double floors = Median(seconds["create"]) + Median(seconds["parse"]);
  const double export_s = Median(seconds["export"]);
  std::printf("median of %d rounds, %d rows:\n", rounds, rows);
  std::printf("  floors: create %.3f s + inflate+expat %.3f s = %.3f s\n", Median(seconds["create"]),
              Median(seconds["parse"]), floors);
  std::printf("  export %.3f s = %.2fx the floors (%.2f us per row)\n", export_s, export_s / floors,
              export_s / rows * 1e6);
  // The files made the way the export must make them, so none is ever seen partial.
  const double safe_floors = Median(seconds["safe-create"]) + Median(seconds["parse"]);
  std::printf("  safe floors: create through the record-file layer %.3f s + inflate+expat = %.3f s; export = %.2fx\n",
              Median(seconds["safe-create"]), safe_floors, export_s / safe_floors);
  std::printf("  engine read alone %.3f s = %.2fx inflate+expat\n", Median(seconds["read"]),
              Median(seconds["read"]) / Median(seconds["parse"]));
  // On a shared machine the wall times swing with the others' load; the CPU seconds do not.
  std::printf(
      "  CPU seconds: create %.3f, inflate+expat %.3f, engine read %.3f, export %.3f (main thread, reading, "
      "composing and writing when ahead, %.3f; writer threads %.3f)\n",
      Median(cpu["create"]), Median(cpu["parse"]), Median(cpu["read"]), Median(cpu["export"]),
      Median(main_cpu["export"]), Median(cpu["export"]) - Median(main_cpu["export"]));
  if (reference) {
    std::printf("  openpyxl %.3f s = %.1fx the export (CPU %.3f s)\n", Median(seconds["openpyxl"]),
                Median(seconds["openpyxl"]) / export_s, Median(cpu["openpyxl"]));
  }
  std::printf("  peak memory (MB): export %.0f, engine read %.0f, inflate+expat %.0f", Median(peaks["export"]),
              Median(peaks["read"]), Median(peaks["parse"]));
  if (reference) std::printf(", openpyxl %.0f", Median(peaks["openpyxl"]));
  std::printf("\n");
  fs::remove_all(root);
  return 0;
}
