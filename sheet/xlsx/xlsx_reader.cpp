#include "sheet/xlsx/xlsx_reader.h"

#include <algorithm>
#include <string>
#include <vector>

#include "sheet/xlsx/relationships.h"
#include "sheet/xlsx/workbook_parts.h"
#include "sheet/xlsx/worksheet_part.h"
#include "sheet/xlsx/xlsx_values.h"
#include "sheet/xlsx/zip_package.h"

namespace cw::sheet {
namespace xlsx {
namespace {

std::string StoredName(const ZipPackage& package, const std::string& part, std::string_view what) {
  auto stored = package.Find(part);
  if (!stored) FailXlsx(XlsxErrorCode::kMissingPart, part, what);
  return *stored;
}

}  // namespace

Workbook ReadPackage(const ZipPackage& package, const WorkbookLimits& limits) {
  // The package's own relationships name the workbook part.
  const auto root_rels = package.Find("_rels/.rels");
  if (!root_rels) {
    if (package.Find("mimetype") || package.Find("content.xml")) FailXlsx(XlsxErrorCode::kOpenDocument);
    FailXlsx(XlsxErrorCode::kNotWorkbookPackage);
  }
  const std::vector<Relationship> package_rels = ReadRelationships(package, "");
  const Relationship* main = FindByType(package_rels, "/officeDocument");
  if (!main) FailXlsx(XlsxErrorCode::kNotWorkbookPackage);
  const std::string workbook_part = StoredName(package, main->target, "the workbook part");
  // An .xlsb package has the same relationships, but its parts are binary records.
  if (EndsWith(workbook_part, ".bin") || EndsWith(workbook_part, ".BIN")) FailXlsx(XlsxErrorCode::kBinaryWorkbook);

  Workbook book;
  const WorkbookPart workbook = ReadWorkbookPart(package, workbook_part);
  if (workbook.sheets.empty()) FailXlsx(XlsxErrorCode::kNoSheets);
  book.date_system = workbook.date1904 ? DateSystem::k1904 : DateSystem::k1900;
  book.active_sheet = workbook.active_tab < workbook.sheets.size() ? workbook.active_tab : 0;

  const std::vector<Relationship> rels = ReadRelationships(package, workbook_part);
  if (const Relationship* styles = FindByType(rels, "/styles")) {
    if (const auto stored = package.Find(styles->target)) {
      ReadStyles(package, *stored, book, limits.max_styles);
    }
  }
  if (const Relationship* strings = FindByType(rels, "/sharedStrings")) {
    if (const auto stored = package.Find(strings->target)) {
      ReadSharedStrings(package, *stored, book, limits.max_strings);
    } else {
      FailXlsx(XlsxErrorCode::kMissingPart, strings->target, "the shared strings");
    }
  }
  const std::size_t shared_count = book.strings.size();

  std::uint64_t cells_left = limits.max_cells;
  std::uint64_t row_span_left = limits.max_row_span;
  book.sheets.reserve(workbook.sheets.size());
  for (const SheetEntry& entry : workbook.sheets) {
    Worksheet& sheet = book.sheets.emplace_back(entry.name);
    const auto rel = std::find_if(rels.begin(), rels.end(),
                                  [&](const Relationship& r) { return !r.external && r.id == entry.relationship_id; });
    if (rel == rels.end()) {
      FailXlsx(XlsxErrorCode::kBadValue, RelationshipsPartOf(workbook_part),
               "the sheet \"" + entry.name + "\" names a relationship that is missing");
    }
    // A chart sheet holds no cells; it keeps its tab so that the active tab still counts right.
    if (EndsWith(rel->type, "/chartsheet")) {
      sheet.Finish();
      continue;
    }
    const std::string part = StoredName(package, rel->target, "the sheet \"" + entry.name + "\"");
    const std::uint64_t span = ReadWorksheet(package, part, book, sheet, shared_count, cells_left, limits.max_cells);
    // Many sheets with one cell in row 1 and one in row 1048576 would each cost a full row index.
    if (span > row_span_left) FailXlsx(XlsxErrorCode::kTooManyRows, part, std::to_string(limits.max_row_span));
    row_span_left -= span;
    sheet.Finish();
  }
  return book;
}

}  // namespace xlsx

Workbook ReadXlsx(std::span<const std::byte> bytes) {
  const xlsx::ZipPackage package(bytes);
  return xlsx::ReadPackage(package);
}

}  // namespace cw::sheet