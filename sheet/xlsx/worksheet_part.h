// One worksheet part of an .xlsx package: the cells of <sheetData>, with and without r
// attributes, of every value type (t="n", "s", "str", "inlineStr", "b", "e", "d"),
// formulas by their cached value, each with its style index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sheet/workbook.h"
#include "sheet/xlsx/zip_package.h"

namespace cw::sheet::xlsx {

// Adds the cells of `part` to `sheet` (Finish() is the caller's). Shared-string indices must
// lie below `shared_count`, style indices below book.style_formats.size(); inline strings go
// to book.strings. Each cell takes one of `cells_left` (of `max_cells` in all). Returns the
// rows spanned from the first to the last row holding a cell.
std::uint64_t ReadWorksheet(const ZipPackage& package, const std::string& part, Workbook& book, Worksheet& sheet,
                            std::size_t shared_count, std::uint64_t& cells_left, std::uint64_t max_cells);

}  // namespace cw::sheet::xlsx
