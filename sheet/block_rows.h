// Streaming a block of a sheet for the export: the workbook's shared parts (sheet names,
// active sheet, date system, styles, number formats, shared strings) are read first, then
// the rows of one block come straight out of the sheet's data in order, each row's cells as
// the spreadsheet shows them, without holding the whole sheet. The object model of
// workbook.h stays for everything else (the sheet window, sheetdump, small runs).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sheet/calendar.h"
#include "sheet/number_format.h"
#include "sheet/workbook.h"

namespace cw::sheet {

// The rows of one block, from its first row to its last, in order.
class BlockRows {
 public:
  virtual ~BlockRows() = default;
  // Fills `texts` with one entry per block column: the displayed text of each wanted column
  // (exactly what CellTextRenderer gives for that cell), "" for an empty cell or a column not
  // wanted. A row the file does not hold gives all "". False after the block's last row.
  // Throws ReadError when the sheet's data is damaged at this point; rows already given stay
  // valid, and later calls throw again.
  virtual bool NextRow(std::vector<std::string>& texts) = 0;
  // After the last NextRow: checks that the rows came from whole data, reading what is left
  // of the sheet's data without parsing it, so that its checksum is checked to its end.
  // Throws ReadError when the data is damaged or changed since it was opened.
  virtual void Finish() {}
  // After NextRow: the calendar date the wanted cell at `block_column` (0-based) of the row
  // just given shows, when it is a number shown through a date or date-time format
  // (CellTextRenderer::DateShown); nothing for any other cell.
  std::optional<CivilDate> DateOf(std::size_t block_column) const {
    for (const auto& [column, date] : dates_) {
      if (column == block_column) return date;
    }
    return std::nullopt;
  }
  // After NextRow: why the wanted cell at `block_column` of the row just given could not be
  // read (its text is then ""); nothing for a cell that was read. One damaged cell does not
  // stop the rows.
  std::optional<std::string> ErrorOf(std::size_t block_column) const {
    for (const auto& [column, why] : errors_) {
      if (column == block_column) return why;
    }
    return std::nullopt;
  }

  // The dates of a row by block column: few cells of a row show one, so most rows hold none.
  using RowDates = std::vector<std::pair<std::size_t, CivilDate>>;
  // The unreadable cells of a row by block column, with why; almost every row holds none.
  using RowErrors = std::vector<std::pair<std::size_t, std::string>>;
  // After NextRow: moves the row's dates and unreadable cells into `dates` and `errors`
  // (whose storage this keeps, emptied), for rows that pass these rows on.
  void TakeRowDetails(RowDates& dates, RowErrors& errors) {
    dates.swap(dates_);
    dates_.clear();
    errors.swap(errors_);
    errors_.clear();
  }

 protected:
  // What NextRow fills with the dates of the row it gives, replacing the last row's.
  RowDates& GivenDates() { return dates_; }
  // What NextRow fills with the unreadable cells of the row it gives.
  RowErrors& GivenErrors() { return errors_; }
  // Sets or clears the date of `block_column` in `dates`, as a later cell there replaces an
  // earlier one.
  static void SetDate(RowDates& dates, std::size_t block_column, std::optional<CivilDate> date) {
    for (auto it = dates.begin(); it != dates.end(); ++it) {
      if (it->first == block_column) {
        if (date) {
          it->second = *date;
        } else {
          dates.erase(it);
        }
        return;
      }
    }
    if (date) dates.emplace_back(block_column, *date);
  }

 private:
  RowDates dates_;
  RowErrors errors_;
};

// A workbook opened for streaming.
class WorkbookStream {
 public:
  virtual ~WorkbookStream() = default;
  // Everything but the cells: the sheets are there with their names, without cells.
  virtual const Workbook& Model() const = 0;
  // The rows of `block` (0-based, inclusive) on sheet `sheet`; `wanted` has one flag per
  // block column. May be called once per stream.
  virtual std::unique_ptr<BlockRows> Rows(std::size_t sheet, const Extent& block, std::vector<bool> wanted,
                                          FormatLocale locale) = 0;
};

}  // namespace cw::sheet
