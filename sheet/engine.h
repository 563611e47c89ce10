// The spreadsheet engine: our stand-in for a spreadsheet application driven by automation.
// A command creates an Application, opens the workbook, asks for ranges and the displayed
// text of cells, closes the workbook and quits, with the operations and results of the
// automation model (Workbooks.Open, Workbooks(Count), Range(address), Row, Column,
// Rows.Count, Columns.Count, Cells(row, column).Text, Address, Close, Quit).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "sheet/block_rows.h"
#include "sheet/calendar.h"
#include "sheet/cell_text.h"
#include "sheet/number_format.h"
#include "sheet/workbook.h"
#include "sheet/workbook_file.h"

namespace cw::sheet {

// A failing engine operation; what() is the description for the person.
struct EngineError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A block on one sheet, 1-based sheet coordinates, first <= last.
class Range {
 public:
  Range(std::size_t sheet, std::uint32_t first_row, std::uint32_t first_column, std::uint32_t last_row,
        std::uint32_t last_column)
      : sheet_(sheet),
        first_row_(first_row),
        first_column_(first_column),
        last_row_(last_row),
        last_column_(last_column) {}

  std::size_t SheetIndex() const { return sheet_; }
  std::uint32_t Row() const { return first_row_; }
  std::uint32_t Column() const { return first_column_; }
  std::uint32_t RowsCount() const { return last_row_ - first_row_ + 1; }
  std::uint32_t ColumnsCount() const { return last_column_ - first_column_ + 1; }
  // Rows(Rows.Count).Row and Columns(Columns.Count).Column.
  std::uint32_t LastRow() const { return last_row_; }
  std::uint32_t LastColumn() const { return last_column_; }

 private:
  std::size_t sheet_;
  std::uint32_t first_row_;
  std::uint32_t first_column_;
  std::uint32_t last_row_;
  std::uint32_t last_column_;
};

// One workbook opened in an Application; it stays where it is until the Application goes.
// Opened for streaming, it holds the workbook's shared parts and reads cells only through
// the row stream of a block; an operation that needs the cells themselves (CellText, a
// whole row or column) loads the workbook whole at that point.
class OpenedWorkbook {
 public:
  OpenedWorkbook(Workbook model, std::string path, FormatLocale locale, ReadOptions read = {});
  OpenedWorkbook(std::unique_ptr<WorkbookStream> stream, std::string path, FormatLocale locale, ReadOptions read = {});
  OpenedWorkbook(const OpenedWorkbook&) = delete;
  OpenedWorkbook& operator=(const OpenedWorkbook&) = delete;

  // The model: with its cells, or the shared parts alone when opened for streaming.
  const Workbook& Model() const;
  const std::string& Path() const { return path_; }
  bool IsOpen() const { return open_; }

  // The block an address names: on the sheet it names, else on the active sheet. Whole
  // columns ("A:C") and whole rows ("2:5") are clipped to the sheet's used range. A bad
  // address or an unknown sheet raises an EngineError naming it.
  Range GetRange(std::string_view address);
  // Worksheet.Cells(row, column).Text on the range's sheet; row and column 1-based.
  std::string CellText(const Range& on, std::uint32_t row, std::uint32_t column);
  // The calendar date that cell shows when it is a number shown through a date or date-time
  // format (CellTextRenderer::DateShown); nothing for any other cell. Checks and loads as
  // CellText does.
  std::optional<CivilDate> CellDate(const Range& on, std::uint32_t row, std::uint32_t column);
  // The rows of the range, first to last, with the displayed texts of the columns flagged in
  // `wanted` (one flag per range column): the workbook's own stream the first time, rows
  // over the loaded model after. The rows must be let go before the workbook closes.
  std::unique_ptr<BlockRows> Rows(const Range& range, std::vector<bool> wanted);
  // "$A$1:$C$10" ("$B$2" for one cell), with the quoted sheet name and "!" in front only
  // when the range is not on the active sheet.
  std::string Address(const Range& range) const;
  // Closes the workbook; later calls on it raise an EngineError. Closing twice is harmless.
  void Close();

 private:
  void CheckOpen() const;
  // The stored cell at (row, column), 1-based, of the range's sheet, with the workbook loaded
  // and the renderer made; null for an empty cell. Raises an EngineError as CellText does.
  const Cell* FindCell(const Range& on, std::uint32_t row, std::uint32_t column);
  const Workbook& Whole();

  Workbook model_;                          // the whole workbook, once loaded
  std::unique_ptr<WorkbookStream> stream_;  // when opened for streaming
  const Workbook* whole_ = nullptr;         // the model holding the cells, once there is one
  bool stream_taken_ = false;
  std::string path_;
  FormatLocale locale_;
  ReadOptions read_;
  std::optional<CellTextRenderer> renderer_;
  bool open_ = true;
};

// One spreadsheet application instance; one per command.
class Application {
 public:
  // `read` holds what the readers take from the user's settings (the ANSI code page of text
  // files).
  explicit Application(FormatLocale locale = {}, ReadOptions read = {});
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Workbooks.Open: reads the workbook at `path` and adds it to the list. Throws ReadError
  // (a file it cannot read) or EngineError (after Quit).
  OpenedWorkbook& Open(const std::string& path);
  // Workbooks.Open for a streaming read of one block (the export): reads the workbook's
  // shared parts now and its cells as the block's rows are taken. Throws as Open does.
  OpenedWorkbook& OpenForStreaming(const std::string& path);
  // Workbooks.Count: the open workbooks.
  int WorkbooksCount() const;
  // Workbooks(index), 1-based in the order opened; a bad index raises an EngineError.
  OpenedWorkbook& Workbooks(int index);
  // Closes every workbook and ends the instance; later Open calls raise an EngineError.
  void Quit();

 private:
  FormatLocale locale_;
  ReadOptions read_;
  std::vector<std::unique_ptr<OpenedWorkbook>> books_;
  bool quit_ = false;
};

}  // namespace cw::sheet
