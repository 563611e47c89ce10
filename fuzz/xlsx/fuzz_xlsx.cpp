// Fuzz entry point of the .xlsx reader. An input that starts with "PK" is read as a whole
// package. Any other input holds the parts the reader parses, separated by NUL bytes:
// xl/workbook.xml, xl/styles.xml, xl/sharedStrings.xml, xl/worksheets/sheet1.xml; they are
// packed into a stored zip with fixed relationships, so that mutations reach the XML
// handling instead of stopping at the zip checksums. Every cell read is then rendered, as
// the export would.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "fuzz/xlsx/memory_zip.h"
#include "sheet/cell_text.h"
#include "sheet/xlsx/xlsx_reader.h"

namespace {

constexpr std::string_view kRootRels =
    "<Relationships><Relationship Id=\"r\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
    "relationships/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
constexpr std::string_view kWorkbookRels =
    "<Relationships>"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
    "Target=\"worksheets/sheet1.xml\"/>"
    "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
    "Target=\"styles.xml\"/>"
    "<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    "sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>";
constexpr const char* kPartNames[] = {"xl/workbook.xml", "xl/styles.xml", "xl/sharedStrings.xml",
                                      "xl/worksheets/sheet1.xml"};

// A stored zip holding the fixed relationships and the parts cut from `input`.
std::vector<std::byte> PackParts(std::string_view input) {
  cw::fuzz::Entries entries = {{"_rels/.rels", std::string(kRootRels)},
                               {"xl/_rels/workbook.xml.rels", std::string(kWorkbookRels)}};
  for (const char* name : kPartNames) {
    if (input.data() == nullptr) break;
    const std::size_t cut = input.find('\0');
    entries.emplace_back(name, std::string(input.substr(0, cut)));
    input = cut == std::string_view::npos ? std::string_view() : input.substr(cut + 1);
  }
  return cw::fuzz::MemoryZip(entries, /*stored=*/true);
}

void ReadAndRender(std::span<const std::byte> bytes) {
  try {
    const cw::sheet::Workbook book = cw::sheet::ReadXlsx(bytes);
    cw::sheet::CellTextRenderer renderer(book);
    for (const auto& sheet : book.sheets) {
      for (const auto& cell : sheet.Cells()) renderer.Text(cell);
    }
  } catch (const cw::sheet::ReadError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (input.starts_with("PK")) {
    ReadAndRender(std::span<const std::byte>(reinterpret_cast<const std::byte*>(data), size));
  } else {
    const std::vector<std::byte> package = PackParts(input);
    if (!package.empty()) ReadAndRender(package);
  }
  return 0;
}
