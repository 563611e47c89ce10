// What the reading benchmarks time alike for every input kind: the bare inflate + expat pass
// over a package part, the engine's whole read and its row stream, each with the process's
// CPU seconds beside the wall clock (a figure that other work on a shared machine does not
// stretch).
#pragma once

#include <zip.h>

#include <cstddef>
#include <string>

namespace cw::bench {

// The process's CPU time in seconds.
double ProcessCpuSeconds();

// Inflates `part` in 64 KiB chunks and parses it with expat, keeping nothing. Throws
// std::runtime_error when the part is missing or not well-formed.
void InflateAndParse(zip_t* archive, const char* part);

struct TimedRead {
  double seconds = 0;
  double cpu_seconds = 0;
  std::size_t cells = 0;  // the non-empty cells read
};

// The workbook at `path` read whole, as the sheet window reads it: its first sheet's cells.
TimedRead ReadWhole(const std::string& path);
// Every row of the contacts block (A1:L<rows + 1>) streamed as the export takes them,
// rendering each cell's text: the non-empty texts given.
TimedRead StreamRows(const std::string& path, int rows);

}  // namespace cw::bench
