#include "sheet/xlsx/xlsx_reader.h"

#include <algorithm>
#include <map>
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

// Workbooks hold well under one cell or string per stored byte, even sheets of one value
// repeated; a small file that claims millions of them is compressed filler, and reading it
// whole would take seconds and hundreds of megabytes. So the counts are held to one per byte
// of the archive (a real cell costs a few compressed bytes: its reference at least changes),
// above a floor of a million.
constexpr std::uint64_t kItemsPerByte = 1;
constexpr std::uint64_t kItemsFloor = std::uint64_t{1} << 20;

WorkbookLimits HeldToArchive(WorkbookLimits limits, const ZipPackage& package) {
  const std::uint64_t archive = package.ArchiveSize();
  const std::uint64_t by_size =
      archive > UINT64_MAX / kItemsPerByte ? UINT64_MAX : std::max(kItemsFloor, archive * kItemsPerByte);
  limits.max_cells = std::min(limits.max_cells, by_size);
  limits.max_strings = std::min(limits.max_strings, by_size);
  return limits;
}

std::string StoredName(const ZipPackage& package, const std::string& part, std::string_view what) {
  auto stored = package.Find(part);
  if (!stored) FailXlsx(XlsxErrorCode::kMissingPart, part, what);
  return *stored;
}

}  // namespace

OpenedPackage OpenPackage(const ZipPackage& package, const WorkbookLimits& given, SharedStrings shared) {
  const WorkbookLimits limits = HeldToArchive(given, package);
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

  OpenedPackage opened;
  Workbook& book = opened.book;
  const WorkbookPart workbook = ReadWorkbookPart(package, workbook_part);
  if (workbook.sheets.empty()) FailXlsx(XlsxErrorCode::kNoSheets);
  {
    std::vector<std::string> names;
    names.reserve(workbook.sheets.size());
    for (const SheetEntry& entry : workbook.sheets) names.push_back(entry.name);
    if (const auto twins = CaseTwins(names)) {
      FailXlsx(XlsxErrorCode::kSheetNameTwins, names[twins->first], names[twins->second]);
    }
  }
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
      if (shared == SharedStrings::kRead) ReadSharedStrings(package, *stored, book, limits.max_strings);
      opened.shared_part = *stored;
    } else {
      FailXlsx(XlsxErrorCode::kMissingPart, strings->target, "the shared strings");
    }
  }
  opened.shared_count = book.strings.size();
  opened.max_strings = limits.max_strings;

  // Which sheet took each worksheet part, by its folded name: two sheets on one part would
  // read it twice (a crafted file of a few KB naming one part thousands of times), so such a
  // workbook is refused, naming both sheets.
  std::map<std::string, std::string, std::less<>> taken;
  book.sheets.reserve(workbook.sheets.size());
  opened.sheet_parts.reserve(workbook.sheets.size());
  for (const SheetEntry& entry : workbook.sheets) {
    Worksheet& sheet = book.sheets.emplace_back(entry.name);
    const auto rel = std::find_if(rels.begin(), rels.end(),
                                  [&](const Relationship& r) { return !r.external && r.id == entry.relationship_id; });
    if (rel == rels.end()) {
      FailXlsx(XlsxErrorCode::kBadValue, RelationshipsPartOf(workbook_part),
               "the sheet \"" + entry.name + "\" names a relationship that is missing");
    }
    sheet.Finish();
    // A chart sheet holds no cells; it keeps its tab so that the active tab still counts right.
    if (EndsWith(rel->type, "/chartsheet")) {
      opened.sheet_parts.emplace_back();
      continue;
    }
    std::string part = StoredName(package, rel->target, "the sheet \"" + entry.name + "\"");
    std::string folded = part;
    for (char& c : folded) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    const auto [at, fresh] = taken.emplace(std::move(folded), entry.name);
    if (!fresh) {
      FailXlsx(XlsxErrorCode::kPartNamedTwice, part,
               "the sheets \"" + at->second + "\" and \"" + entry.name + "\" both name it");
    }
    opened.sheet_parts.push_back(std::move(part));
  }
  return opened;
}

Workbook ReadPackage(const ZipPackage& package, const WorkbookLimits& given) {
  const WorkbookLimits limits = HeldToArchive(given, package);
  OpenedPackage opened = OpenPackage(package, limits);
  Workbook& book = opened.book;
  std::uint64_t cells_left = limits.max_cells;
  std::uint64_t row_span = 0;
  for (std::size_t i = 0; i < book.sheets.size(); ++i) {
    const std::string& part = opened.sheet_parts[i];
    if (part.empty()) continue;
    Worksheet& sheet = book.sheets[i];
    row_span += ReadWorksheet(package, part, book, sheet, opened.shared_count, cells_left, limits.max_cells);
    // Many sheets with one cell in row 1 and one in row 1048576 would each cost a full row
    // index; the rows spanned are held to what the cells read so far justify.
    const std::uint64_t cells = limits.max_cells - cells_left;
    const std::uint64_t allowed = std::min(limits.max_row_span, kFreeRowSpan + kRowSpanPerCell * cells);
    if (row_span > allowed) FailXlsx(XlsxErrorCode::kTooManyRows, part, std::to_string(allowed));
    sheet.Finish();
  }
  return std::move(book);
}

}  // namespace xlsx

Workbook ReadXlsx(std::span<const std::byte> bytes) {
  const xlsx::ZipPackage package(bytes);
  return xlsx::ReadPackage(package);
}

}  // namespace cw::sheet