// Reading benchmark for OpenDocument spreadsheets: the 100,000-row contacts workbook of the
// .xlsx benchmarks, read by the engine and written again as an .ods by a small writer here
// (content.xml laid out as LibreOffice lays it out: number styles, a value and its shown text
// per number, paragraphs per line, repeated empty cells to the sheet's end), then read by the
// engine (object model) and streamed row by row as the export reads it, beside a bare pass
// over content.xml (libzip inflate + expat with no handlers), in interleaved rounds. The texts
// of every cell are checked against the .xlsx they came from.
//   ods_read_bench [--rows N] [--rounds N]
#include <expat.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/xlsx/contacts_workbook.h"
#include "bench/xlsx/read_passes.h"
#include "sheet/calendar.h"
#include "sheet/cell_text.h"
#include "sheet/ods/ods_reader.h"
#include "sheet/workbook_file.h"

namespace {

using Clock = std::chrono::steady_clock;

double last_cpu = 0;

void Escape(std::string_view text, std::string& out) {
  for (const char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
}

// The ODF number style of each custom code of the contacts workbook.
constexpr const char* kStyles =
    R"(<number:number-style style:name="N1"><number:text>(</number:text><number:number number:decimal-places="0" )"
    R"(number:min-integer-digits="1"><number:embedded-text number:position="7">) </number:embedded-text>)"
    R"(<number:embedded-text number:position="4">-</number:embedded-text></number:number></number:number-style>)"
    R"(<number:number-style style:name="N2"><number:number number:decimal-places="0" number:min-integer-digits="5"/>)"
    R"(</number:number-style><number:date-style style:name="N3"><number:year number:style="long"/>)"
    R"(<number:text>-</number:text><number:month number:style="long"/><number:text>-</number:text>)"
    R"(<number:day number:style="long"/></number:date-style>)"
    R"(<style:style style:name="phone" style:family="table-cell" style:data-style-name="N1"/>)"
    R"(<style:style style:name="zip" style:family="table-cell" style:data-style-name="N2"/>)"
    R"(<style:style style:name="date" style:family="table-cell" style:data-style-name="N3"/>)";

// Writes the first sheet of `book` as an .ods at `path`.
void WriteOds(const cw::sheet::Workbook& book, const std::string& path) {
  const cw::sheet::Worksheet& sheet = book.sheets.at(0);
  cw::sheet::CellTextRenderer renderer(book);
  std::string xml =
      R"(<?xml version="1.0" encoding="UTF-8"?><office:document-content )"
      R"(xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
      R"(xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" )"
      R"(xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" )"
      R"(xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" )"
      R"(xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0" )"
      R"(xmlns:calcext="urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0" office:version="1.3">)"
      R"(<office:automatic-styles>)";
  xml += kStyles;
  xml += "</office:automatic-styles><office:body><office:spreadsheet><table:table table:name=\"";
  Escape(sheet.Name(), xml);
  xml += "\"><table:table-column table:number-columns-repeated=\"16384\"/>";
  const auto used = sheet.UsedRange();
  for (std::uint32_t r = 0; used && r <= used->last_row; ++r) {
    xml += "<table:table-row>";
    std::uint32_t column = 0;
    for (const cw::sheet::Cell& cell : sheet.RowCells(r)) {
      if (cell.column > column) {
        xml += "<table:table-cell table:number-columns-repeated=\"" + std::to_string(cell.column - column) + "\"/>";
      }
      const std::string shown = renderer.Text(cell);
      if (cell.kind == cw::sheet::CellKind::kNumber) {
        const std::string_view code = book.CustomCode(book.FormatIdOf(cell.style));
        const char* style = code.find('#') != std::string_view::npos ? "phone"
                            : code == "00000"                        ? "zip"
                            : code.empty()                           ? nullptr
                                                                     : "date";
        xml += "<table:table-cell";
        if (style) xml += std::string(" table:style-name=\"") + style + "\"";
        cw::sheet::CivilDate date;
        if (style && std::string_view(style) == "date" &&
            cw::sheet::SerialToDate(static_cast<std::int64_t>(cell.number), book.date_system, date)) {
          char value[16];
          std::snprintf(value, sizeof value, "%04d-%02d-%02d", date.year, date.month, date.day);
          xml += std::string(" office:value-type=\"date\" office:date-value=\"") + value +
                 "\" calcext:value-type=\"date\">";
        } else {
          char value[32];
          std::snprintf(value, sizeof value, "%.17g", cell.number);
          xml +=
              std::string(" office:value-type=\"float\" office:value=\"") + value + "\" calcext:value-type=\"float\">";
        }
        xml += "<text:p>";
        Escape(shown, xml);
        xml += "</text:p></table:table-cell>";
      } else {
        xml += "<table:table-cell office:value-type=\"string\" calcext:value-type=\"string\">";
        std::size_t start = 0;
        for (;;) {
          const std::size_t end = shown.find('\n', start);
          xml += "<text:p>";
          Escape(std::string_view(shown).substr(start, end - start), xml);
          xml += "</text:p>";
          if (end == std::string::npos) break;
          start = end + 1;
        }
        xml += "</table:table-cell>";
      }
      column = cell.column + 1;
    }
    xml += "<table:table-cell table:number-columns-repeated=\"" + std::to_string(16384 - column) +
           "\"/></table:table-row>";
  }
  xml += "<table:table-row table:number-rows-repeated=\"" + std::to_string(1048576 - (used ? used->last_row + 1 : 0)) +
         "\"><table:table-cell table:number-columns-repeated=\"16384\"/></table:table-row>";
  xml += "</table:table></office:spreadsheet></office:body></office:document-content>";

  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) throw std::runtime_error("cannot create " + path);
  static const std::string kType = "application/vnd.oasis.opendocument.spreadsheet";
  zip_source_t* type = zip_source_buffer(archive, kType.data(), kType.size(), 0);
  const zip_int64_t type_index = zip_file_add(archive, "mimetype", type, ZIP_FL_ENC_UTF_8);
  zip_set_file_compression(archive, static_cast<zip_uint64_t>(type_index), ZIP_CM_STORE, 0);
  zip_source_t* content = zip_source_buffer(archive, xml.data(), xml.size(), 0);
  zip_file_add(archive, "content.xml", content, ZIP_FL_ENC_UTF_8);
  if (zip_close(archive) != 0) throw std::runtime_error("cannot write " + path);
}

double BareSeconds(const std::string& path) {
  const double cpu = cw::bench::ProcessCpuSeconds();
  const auto start = Clock::now();
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
  if (!archive) throw std::runtime_error("cannot open " + path);
  cw::bench::InflateAndParse(archive, "content.xml");
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

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Cells whose text differs between the two workbooks.
std::size_t Differences(const cw::sheet::Workbook& a, const cw::sheet::Workbook& b) {
  cw::sheet::CellTextRenderer ra(a), rb(b);
  const auto used = a.sheets.at(0).UsedRange();
  std::size_t differ = 0;
  for (std::uint32_t r = 0; used && r <= used->last_row; ++r) {
    for (std::uint32_t c = 0; c <= used->last_column; ++c) {
      differ += ra.Text(a.sheets[0], r, c) != rb.Text(b.sheets[0], r, c);
    }
  }
  return differ;
}

}  // namespace

int main(int argc, char** argv) {
  int rows = 100000;
  int rounds = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--rows") rows = std::atoi(argv[i + 1]);
    if (flag == "--rounds") rounds = std::atoi(argv[i + 1]);
  }
  try {
    std::random_device random;
    const auto dir = std::filesystem::temp_directory_path() / ("cw_ods_bench_" + std::to_string(random()));
    std::filesystem::create_directory(dir);
    const std::string xlsx = (dir / "contacts.xlsx").string();
    const std::string ods = (dir / "contacts.ods").string();
    std::printf("writing %d rows x %d columns...\n", rows, cw::bench::kContactColumns);
    cw::bench::WriteContactsWorkbook(xlsx, rows);
    const cw::sheet::Workbook from_xlsx = cw::sheet::ReadWorkbookFile(xlsx);
    WriteOds(from_xlsx, ods);
    {
      int error = 0;
      zip_t* archive = zip_open(ods.c_str(), ZIP_RDONLY, &error);
      zip_stat_t content;
      zip_stat(archive, "content.xml", 0, &content);
      std::printf("file %.1f MB; content.xml %.1f MB\n", static_cast<double>(std::filesystem::file_size(ods)) / 1e6,
                  static_cast<double>(content.size) / 1e6);
      zip_discard(archive);
    }
    std::printf("cells showing otherwise than in the .xlsx: %zu\n",
                Differences(from_xlsx, cw::sheet::ReadWorkbookFile(ods)));
    std::vector<double> bare, read, stream, bare_cpu, read_cpu, stream_cpu;
    std::size_t cells = 0, streamed = 0;
    for (int r = 0; r < rounds; ++r) {
      bare.push_back(BareSeconds(ods));
      bare_cpu.push_back(last_cpu);
      read.push_back(ReadSeconds(ods, &cells));
      read_cpu.push_back(last_cpu);
      stream.push_back(StreamSeconds(ods, rows, &streamed));
      stream_cpu.push_back(last_cpu);
      std::printf("round %d: bare %.3f s, read %.3f s, stream %.3f s\n", r + 1, bare.back(), read.back(),
                  stream.back());
    }
    const double b = Median(bare), bc = Median(bare_cpu);
    std::printf("median of %d: bare inflate+expat of content.xml %.3f s (CPU %.3f s)\n", rounds, b, bc);
    std::printf("  object model read %.3f s, ratio %.2f (aim <= 1.50); CPU ratio %.2f; %zu cells\n", Median(read),
                Median(read) / b, Median(read_cpu) / bc, cells);
    std::printf("  stream of every row %.3f s, ratio %.2f; CPU ratio %.2f; %zu non-empty texts\n", Median(stream),
                Median(stream) / b, Median(stream_cpu) / bc, streamed);
    std::filesystem::remove_all(dir);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
