#include "bench/xlsx/read_passes.h"

#include <expat.h>

#include <chrono>
#include <ctime>
#include <stdexcept>
#include <vector>

#include "bench/xlsx/contacts_workbook.h"
#include "sheet/workbook_file.h"

namespace cw::bench {
namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

}  // namespace

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void InflateAndParse(zip_t* archive, const char* part) {
  zip_file_t* file = zip_fopen(archive, part, 0);
  if (!file) throw std::runtime_error(std::string("no part ") + part);
  XML_Parser parser = XML_ParserCreate(nullptr);
  std::vector<char> buffer(64 * 1024);
  bool well_formed = true;
  for (;;) {
    const zip_int64_t got = zip_fread(file, buffer.data(), buffer.size());
    if (got <= 0) break;
    if (XML_Parse(parser, buffer.data(), static_cast<int>(got), XML_FALSE) != XML_STATUS_OK) {
      well_formed = false;
      break;
    }
  }
  XML_Parse(parser, nullptr, 0, XML_TRUE);
  XML_ParserFree(parser);
  zip_fclose(file);
  if (!well_formed) throw std::runtime_error("bare pass: XML error");
}

TimedRead ReadWhole(const std::string& path) {
  TimedRead r;
  const double cpu = ProcessCpuSeconds();
  const auto start = Clock::now();
  const sheet::Workbook book = sheet::ReadWorkbookFile(path);
  r.seconds = Since(start);
  r.cpu_seconds = ProcessCpuSeconds() - cpu;
  r.cells = book.sheets.at(0).Cells().size();
  return r;
}

TimedRead StreamRows(const std::string& path, int rows) {
  TimedRead r;
  const double cpu = ProcessCpuSeconds();
  const auto start = Clock::now();
  const auto stream = sheet::OpenWorkbookStreamFile(path);
  const sheet::Extent block{0, 0, static_cast<std::uint32_t>(rows), kContactColumns - 1};
  const auto block_rows = stream->Rows(0, block, std::vector<bool>(kContactColumns, true), {});
  std::vector<std::string> texts;
  while (block_rows->NextRow(texts)) {
    for (const auto& t : texts) r.cells += !t.empty();
  }
  r.seconds = Since(start);
  r.cpu_seconds = ProcessCpuSeconds() - cpu;
  return r;
}

}  // namespace cw::bench
