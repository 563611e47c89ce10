// The workbook-wide parts of an .xlsx package: the workbook part (sheets in order with
// their relationship ids, the date system, the active tab), the styles (number formats and
// the cell formats that use them) and the shared strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sheet/workbook.h"
#include "sheet/xlsx/zip_package.h"

namespace cw::sheet::xlsx {

struct SheetEntry {
  std::string name;
  std::string relationship_id;
};

struct WorkbookPart {
  std::vector<SheetEntry> sheets;
  bool date1904 = false;
  std::size_t active_tab = 0;  // as written; may lie past the sheets
};

// Reads the workbook part; a Word or PowerPoint main part is an error that says so.
WorkbookPart ReadWorkbookPart(const ZipPackage& package, const std::string& part);
// Fills book.custom_formats (numFmts) and book.style_formats (cellXfs).
void ReadStyles(const ZipPackage& package, const std::string& part, Workbook& book, std::uint64_t max_styles);
// Where shared strings go as they are read.
class StringSink {
 public:
  virtual ~StringSink() = default;
  // Room for `count` more strings and `bytes` more text, as the part declares them.
  virtual void Reserve(std::size_t count, std::size_t bytes) = 0;
  virtual void Add(std::string_view text) = 0;
};

// Hands the shared strings of `part` to `sink`, in order; refuses more than `max_strings`.
void ReadSharedStrings(const ZipPackage& package, const std::string& part, StringSink& sink, std::uint64_t max_strings);
// Appends the shared strings to book.strings.
void ReadSharedStrings(const ZipPackage& package, const std::string& part, Workbook& book, std::uint64_t max_strings);

}  // namespace cw::sheet::xlsx
