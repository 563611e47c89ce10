// Fuzz entry point of the OpenDocument reader. The first byte says how the rest is taken: even,
// as a flat .fods document; odd, as the content.xml of an .ods package whose styles.xml holds
// a few number styles (stored when the byte's second bit is set). Any bytes must give a
// workbook or a ReadError, and when the workbook is read, the stream of each sheet's used range
// must give the same texts as the model.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "fuzz/xlsx/memory_zip.h"
#include "sheet/cell_text.h"
#include "sheet/ods/ods_reader.h"

namespace {

constexpr const char* kStyles =
    R"(<office:document-styles xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
    R"(xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" )"
    R"(xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0"><office:styles>)"
    R"(<number:date-style style:name="N1" number:language="ru" number:country="RU"><number:day/><number:text> </number:text>)"
    R"(<number:month number:textual="true" number:style="long"/></number:date-style>)"
    R"(<number:number-style style:name="N2P0" number:language="de" number:country="DE"><number:number )"
    R"(number:decimal-places="2" number:min-integer-digits="1" number:grouping="true"/></number:number-style>)"
    R"(<number:number-style style:name="N2"><number:text>-</number:text><number:number number:decimal-places="0"/>)"
    R"(<style:map style:condition="value()&gt;=0" style:apply-style-name="N2P0"/></number:number-style>)"
    R"(<style:style style:name="a" style:family="table-cell" style:data-style-name="N1"/>)"
    R"(<style:style style:name="b" style:family="table-cell" style:data-style-name="N2"/>)"
    R"(</office:styles></office:document-styles>)";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::vector<std::byte> bytes;
  if (data[0] % 2 == 0) {
    bytes.resize(rest.size());
    for (std::size_t i = 0; i < rest.size(); ++i) bytes[i] = static_cast<std::byte>(rest[i]);
  } else {
    bytes = cw::fuzz::MemoryZip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                                 {"styles.xml", kStyles},
                                 {"content.xml", rest}},
                                (data[0] & 2) != 0);
  }
  cw::sheet::Workbook model;
  try {
    model = cw::sheet::ReadOds(bytes);
  } catch (const cw::sheet::ReadError&) {
    return 0;
  }
  cw::sheet::CellTextRenderer renderer(model);
  for (std::size_t s = 0; s < model.sheets.size(); ++s) {
    const cw::sheet::Worksheet& sheet = model.sheets[s];
    const auto used = sheet.UsedRange();
    if (!used) continue;
    const auto cells = sheet.Cells();
    // The rows that hold cells, as runs of rows (gaps of up to kGap empty rows inside), each
    // streamed as a block of its own of the used range's width: a used range of a million
    // rows with a few cells costs what its cells cost, not a million rows of empty places.
    // Many runs in a used range of few places are streamed as that one block instead.
    constexpr std::uint32_t kGap = 64;
    constexpr std::size_t kMostRuns = 64;
    constexpr std::uint64_t kMostPlaces = std::uint64_t{1} << 22;
    std::vector<cw::sheet::Extent> blocks;
    for (const cw::sheet::Cell& cell : cells) {
      if (!blocks.empty() && cell.row <= blocks.back().last_row + kGap) {
        blocks.back().last_row = cell.row;
      } else {
        blocks.push_back({cell.row, used->first_column, cell.row, used->last_column});
      }
    }
    const std::uint64_t places =
        std::uint64_t{used->last_row - used->first_row + 1} * (used->last_column - used->first_column + 1);
    if (blocks.size() > kMostRuns && places <= kMostPlaces) blocks = {*used};
    std::size_t next = 0;
    std::vector<std::string> texts;
    for (const cw::sheet::Extent& block : blocks) {
      const auto stream = cw::sheet::OpenOdsStream(bytes);
      const auto rows = stream->Rows(s, block, std::vector<bool>(block.last_column - block.first_column + 1, true), {});
      // Each existing cell's text where it is, and nothing elsewhere.
      for (std::uint32_t r = block.first_row; rows->NextRow(texts); ++r) {
        std::size_t shown = 0;
        for (; next < cells.size() && cells[next].row == r; ++next) {
          const std::size_t c = cells[next].column - block.first_column;
          if (c >= texts.size() || texts[c] != renderer.Text(cells[next])) std::abort();
          if (!texts[c].empty()) ++shown;
        }
        std::size_t non_empty = 0;
        for (const std::string& text : texts) non_empty += text.empty() ? 0 : 1;
        if (non_empty != shown) std::abort();
      }
    }
    if (next != cells.size()) std::abort();
  }
  return 0;
}
