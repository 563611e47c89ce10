// Reads a workbook in the Office Open XML format (.xlsx .xlsm .xltx .xltm, transitional and
// Strict) into the workbook model: the package's relationships lead to the workbook part,
// its sheets, shared strings and styles; every part is streamed, never held whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sheet/workbook.h"
#include "sheet/xlsx/xlsx_error.h"

namespace cw::sheet {

namespace xlsx {
class ZipPackage;

// Caps on what one workbook may hold, beyond the caps on each part.
struct WorkbookLimits {
  std::uint64_t max_cells = 100'000'000;   // about 2.4 GB of cell records
  std::uint64_t max_strings = 16'777'216;  // shared strings
  std::uint64_t max_styles = 1'048'576;    // cell formats (cellXfs), and number formats
  std::uint64_t max_row_span = 64u << 20;  // rows spanned by the cells of all sheets together
};

// Row indexes are sized to the content: the sheets together may span two full sheets of rows,
// and this many more for each cell read.
inline constexpr std::uint64_t kFreeRowSpan = std::uint64_t{2} * kMaxRows;
inline constexpr std::uint64_t kRowSpanPerCell = 16;

// A package with everything but the cells read: the workbook facts, the sheets (named,
// without cells), the styles and the shared strings.
struct OpenedPackage {
  Workbook book;
  // Per sheet, the stored name of its worksheet part; empty for a chart sheet. No two sheets
  // share a part.
  std::vector<std::string> sheet_parts;
  std::size_t shared_count = 0;  // book.strings below this are the shared strings
  // With SharedStrings::kLeft: the stored name of the shared-strings part (empty when the
  // workbook has none) and the most strings it may hold; book.strings stays empty.
  std::string shared_part;
  std::uint64_t max_strings = 0;
};

enum class SharedStrings : bool { kRead, kLeft };

// Reads the package's relationships, workbook part and styles, and its shared strings unless
// they are left for the caller to read.
OpenedPackage OpenPackage(const ZipPackage& package, const WorkbookLimits& limits = {},
                          SharedStrings shared = SharedStrings::kRead);

// Reads the workbook held in an opened package.
Workbook ReadPackage(const ZipPackage& package, const WorkbookLimits& limits = {});
}  // namespace xlsx

// Throws XlsxError, whose description a person can act on, for anything it cannot read.
Workbook ReadXlsx(std::span<const std::byte> bytes);

}  // namespace cw::sheet
