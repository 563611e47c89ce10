// Fuzz entry point of the .xlsx reader. An input that starts with "PK" is read as a whole
// package. Any other input holds the parts the reader parses, separated by NUL bytes:
// xl/workbook.xml, xl/styles.xml, xl/sharedStrings.xml, xl/worksheets/sheet1.xml; they are
// packed into a stored zip with fixed relationships, so that mutations reach the XML
// handling instead of stopping at the zip checksums. Every cell read is then rendered, as
// the export would.
#include <zip.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

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
  std::vector<std::byte> out;
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_error_fini(&error);
  if (!buffer) return out;
  zip_source_keep(buffer);
  zip_error_init(&error);
  zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
  zip_error_fini(&error);
  if (!archive) {
    zip_source_free(buffer);
    return out;
  }
  const auto add = [&](const char* name, std::string_view content) {
    zip_source_t* s = zip_source_buffer(archive, content.data(), content.size(), 0);
    const zip_int64_t index = s ? zip_file_add(archive, name, s, 0) : -1;
    if (index < 0) {
      zip_source_free(s);
      return;
    }
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
  };
  add("_rels/.rels", kRootRels);
  add("xl/_rels/workbook.xml.rels", kWorkbookRels);
  for (const char* name : kPartNames) {
    if (input.data() == nullptr) break;
    const std::size_t cut = input.find('\0');
    add(name, input.substr(0, cut));
    input = cut == std::string_view::npos ? std::string_view() : input.substr(cut + 1);
  }
  if (zip_close(archive) != 0) {
    zip_discard(archive);
    zip_source_free(buffer);
    return out;
  }
  zip_stat_t st;
  if (zip_source_stat(buffer, &st) == 0 && zip_source_open(buffer) == 0) {
    out.resize(st.size);
    const zip_int64_t got = zip_source_read(buffer, out.data(), out.size());
    out.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    zip_source_close(buffer);
  }
  zip_source_free(buffer);
  return out;
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
