// Structure-aware fuzz entry point of the .xlsx reader: the input is a recipe for a deflated
// package, so that mutations reach inflation, many sheet entries, shared parts and the
// budgets rather than stopping at zip checksums.
//   byte 0      sheet count (1 to 8)
//   bytes 1..8  per sheet: bits 0-1 which of four worksheet parts it names, bit 2 a
//               relationship of its own (else the one of the sheet naming that part first),
//               bit 3 a chart sheet
//   byte 9      bit 0 styles, bit 1 shared strings, bit 2 an extra entry whose name differs
//               from a sheet part's only in case, bit 3 stored instead of deflated, bits 4-7
//               how often (2^n) the first worksheet part's text repeats
//   the rest    texts separated by NUL: styles, shared strings, worksheet parts 1 to 4; each
//               is wrapped in its root element unless it starts with "<?" or that element.
// Each package is read into the object model and every cell rendered; then every sheet is
// streamed over its used range, and the streamed texts must equal the model's.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz/xlsx/memory_zip.h"
#include "sheet/cell_text.h"
#include "sheet/xlsx/xlsx_reader.h"
#include "sheet/xlsx/xlsx_stream.h"

namespace {

using cw::fuzz::Entries;
using cw::fuzz::MemoryZip;

constexpr std::string_view kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
constexpr std::size_t kMaxRepeated = 4u << 20;

std::string Wrapped(std::string_view text, std::string_view root) {
  const std::string open(root);
  if (text.starts_with("<?") || text.starts_with("<" + open)) return std::string(text);
  if (root == "worksheet") return "<worksheet><sheetData>" + std::string(text) + "</sheetData></worksheet>";
  return "<" + open + ">" + std::string(text) + "</" + open + ">";
}

Entries Recipe(std::span<const std::uint8_t> data) {
  const auto byte = [&](std::size_t i) { return i < data.size() ? data[i] : std::uint8_t{0}; };
  const std::size_t sheets = 1 + byte(0) % 8;
  const std::uint8_t flags = byte(9);
  std::string_view rest;
  if (data.size() > 10) rest = std::string_view(reinterpret_cast<const char*>(data.data()) + 10, data.size() - 10);
  std::vector<std::string_view> texts;
  while (texts.size() < 6) {
    const std::size_t cut = rest.find('\0');
    texts.push_back(rest.substr(0, cut));
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
  }

  Entries entries;
  entries.emplace_back("_rels/.rels", "<Relationships><Relationship Id=\"w\" Type=\"" + std::string(kRel) +
                                          "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
  std::string book = "<workbook><sheets>";
  std::string rels = "<Relationships>";
  std::vector<bool> part_used(4, false);
  std::vector<std::string> first_rel(4);
  for (std::size_t s = 0; s < sheets; ++s) {
    const std::uint8_t b = byte(1 + s);
    const std::size_t part = b & 3;
    const bool chart = b & 8;
    std::string id = "r" + std::to_string(s);
    if (!chart && !(b & 4) && !first_rel[part].empty()) {
      id = first_rel[part];
    } else {
      rels += "<Relationship Id=\"" + id + "\" Type=\"" + std::string(kRel) + (chart ? "chartsheet" : "worksheet") +
              "\" Target=\"" + (chart ? "charts/c.xml" : "worksheets/s" + std::to_string(part) + ".xml") + "\"/>";
      if (!chart && first_rel[part].empty()) first_rel[part] = id;
    }
    if (!chart) part_used[part] = true;
    book += "<sheet name=\"S" + std::to_string(s) + "\" r:id=\"" + id + "\"/>";
  }
  if (flags & 1) {
    rels += "<Relationship Id=\"st\" Type=\"" + std::string(kRel) + "styles\" Target=\"styles.xml\"/>";
    entries.emplace_back("xl/styles.xml", Wrapped(texts[0], "styleSheet"));
  }
  if (flags & 2) {
    rels += "<Relationship Id=\"ss\" Type=\"" + std::string(kRel) + "sharedStrings\" Target=\"sharedStrings.xml\"/>";
    entries.emplace_back("xl/sharedStrings.xml", Wrapped(texts[1], "sst"));
  }
  entries.emplace_back("xl/workbook.xml", book + "</sheets><bookViews><workbookView activeTab=\"" +
                                              std::to_string(byte(0) >> 4) + "\"/></bookViews></workbook>");
  entries.emplace_back("xl/_rels/workbook.xml.rels", rels + "</Relationships>");
  for (std::size_t p = 0; p < 4; ++p) {
    if (!part_used[p]) continue;
    std::string text(texts[2 + p]);
    if (p == 0 && !text.empty()) {
      const std::size_t times = std::min<std::size_t>(std::size_t{1} << (flags >> 4), kMaxRepeated / text.size() + 1);
      std::string repeated;
      repeated.reserve(text.size() * times);
      for (std::size_t i = 0; i < times; ++i) repeated += text;
      text = std::move(repeated);
    }
    entries.emplace_back("xl/worksheets/s" + std::to_string(p) + ".xml", Wrapped(text, "worksheet"));
  }
  if (flags & 4) entries.emplace_back("XL/Worksheets/S0.xml", "<worksheet/>");
  return entries;
}

// Streams `block` of sheet `sheet`; the texts must be the model's. A stream may refuse rows
// that go backwards, which the model reads; any other refusal of what the model read is a
// fault.
void CheckStream(std::span<const std::byte> bytes, const cw::sheet::Workbook& book, std::size_t sheet,
                 const cw::sheet::Extent& block) {
  cw::sheet::CellTextRenderer renderer(book);
  const std::size_t width = block.last_column - block.first_column + 1;
  try {
    const auto stream = cw::sheet::OpenXlsxStream(bytes);
    const auto rows = stream->Rows(sheet, block, std::vector<bool>(width, true), {});
    std::vector<std::string> texts;
    for (std::uint32_t r = block.first_row; r <= block.last_row; ++r) {
      if (!rows->NextRow(texts) || texts.size() != width) std::abort();
      for (std::uint32_t c = block.first_column; c <= block.last_column; ++c) {
        if (texts[c - block.first_column] == renderer.Text(book.sheets[sheet], r, c)) continue;
        // Rows that come back after a row past the block are not reached by the stream; a
        // stream to the sheet's end refuses them.
        try {
          const auto whole = cw::sheet::OpenXlsxStream(bytes)->Rows(
              sheet, {block.first_row, 0, cw::sheet::kMaxRows - 1, 0}, {true}, {});
          while (whole->NextRow(texts)) {
          }
        } catch (const cw::sheet::XlsxError& e) {
          if (e.code == cw::sheet::XlsxErrorCode::kRowsOutOfOrder) return;
        }
        std::abort();
      }
    }
    if (rows->NextRow(texts)) std::abort();
  } catch (const cw::sheet::XlsxError& e) {
    if (e.code != cw::sheet::XlsxErrorCode::kRowsOutOfOrder) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Entries entries = Recipe(std::span<const std::uint8_t>(data, size));
  const std::vector<std::byte> bytes = MemoryZip(entries, size > 9 && (data[9] & 8));
  if (bytes.empty()) return 0;
  cw::sheet::Workbook book;
  try {
    book = cw::sheet::ReadXlsx(bytes);
  } catch (const cw::sheet::ReadError&) {
    // The stream meets the same damage, or none when it lies outside the block.
    try {
      const auto stream = cw::sheet::OpenXlsxStream(bytes);
      const auto rows = stream->Rows(0, {0, 0, 40, 5}, std::vector<bool>(6, true), {});
      std::vector<std::string> texts;
      while (rows->NextRow(texts)) {
      }
    } catch (const cw::sheet::ReadError&) {
    }
    return 0;
  }
  cw::sheet::CellTextRenderer renderer(book);
  for (const auto& sheet : book.sheets) {
    for (const auto& cell : sheet.Cells()) renderer.Text(cell);
  }
  for (std::size_t s = 0; s < book.sheets.size(); ++s) {
    const auto used = book.sheets[s].UsedRange();
    // A used range of more than 65,536 places is left out: the stream would give every empty one.
    if (!used || std::uint64_t{used->last_row - used->first_row + 1} * (used->last_column - used->first_column + 1) >
                     (1u << 16)) {
      continue;
    }
    CheckStream(bytes, book, s, *used);
  }
  return 0;
}
