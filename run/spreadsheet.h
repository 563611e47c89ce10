// What the export run needs of the spreadsheet engine, as a small interface so tests can
// make any step fail: open a workbook in a fresh instance, take the workbook just opened,
// resolve an address, read a block's geometry and its cells' displayed text (cell by cell or
// as a stream of rows), close, quit.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sheet/block_rows.h"
#include "sheet/number_format.h"
#include "sheet/readers.h"
#include "vcard/dates.h"

namespace cw::run {

class SheetRange {
 public:
  virtual ~SheetRange() = default;
  virtual std::uint32_t Row() = 0;         // first row, 1-based
  virtual std::uint32_t Column() = 0;      // first column, 1-based
  virtual std::uint32_t LastRow() = 0;     // Rows(Rows.Count).Row
  virtual std::uint32_t LastColumn() = 0;  // Columns(Columns.Count).Column
  // The block's sheet's place in the workbook, 0 for the first.
  virtual std::size_t SheetIndex() { return 0; }
  // Worksheet.Cells(row, column).Text on the block's sheet, 1-based sheet coordinates.
  virtual std::string CellText(std::uint32_t row, std::uint32_t column) = 0;
  // The block's rows for one walk from its first row to its last, each row's texts exactly
  // what CellText gives for the columns flagged in `wanted` (one flag per block column), ""
  // for the others, and beside them the dates CellDate gives (BlockRows::DateOf); nothing
  // when this range offers no stream and is read through CellText and CellDate.
  // The rows must be let go before the workbook closes.
  virtual std::unique_ptr<sheet::BlockRows> Rows(const std::vector<bool>& /*wanted*/) { return nullptr; }
  // The date a cell holds when it is a number shown through a date or date-time format,
  // in the workbook's date system; nothing for any other cell.
  virtual std::optional<vcard::Date> CellDate(std::uint32_t /*row*/, std::uint32_t /*column*/) { return std::nullopt; }
};

class SheetWorkbook {
 public:
  virtual ~SheetWorkbook() = default;
  virtual void Close() = 0;
};

// One instance of the spreadsheet stand-in, with a workbook open in it.
class SheetApplication {
 public:
  virtual ~SheetApplication() = default;
  virtual int WorkbooksCount() = 0;
  virtual std::unique_ptr<SheetWorkbook> Workbooks(int index) = 0;
  // The block an address names: on its sheet when it names one, else on the active sheet.
  virtual std::unique_ptr<SheetRange> Range(std::string_view address) = 0;
  virtual void Quit() = 0;
};

class SheetEngine {
 public:
  virtual ~SheetEngine() = default;
  // A new instance with the workbook at `path` open in it (OpenWorkbook); throws on failure.
  virtual std::unique_ptr<SheetApplication> OpenWorkbook(const std::string& path) = 0;
};

// The engine of sheet/ behind this interface, rendering under `locale` and reading text files
// in the ANSI code page of `read`.
std::unique_ptr<SheetEngine> MakeSheetEngine(sheet::FormatLocale locale, sheet::ReadOptions read = {});

}  // namespace cw::run
