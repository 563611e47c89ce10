// The row stream of a block against the object model it must agree with: every fixture
// workbook streamed sheet by sheet gives exactly the texts of CellTextRenderer, and the
// engine's streamed ranges give what Cells(r, c).Text gives.
#include "sheet/block_rows.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "sheet/cell_text.h"
#include "sheet/engine.h"
#include "sheet/model_stream.h"
#include "sheet/workbook_file.h"

namespace cw::sheet {
namespace {

std::vector<std::vector<std::string>> Stream(BlockRows& rows) {
  std::vector<std::vector<std::string>> all;
  std::vector<std::string> texts;
  while (rows.NextRow(texts)) all.push_back(texts);
  return all;
}

TEST(BlockRowsTest, EveryFixtureStreamsTheTextsOfTheObjectModel) {
  std::size_t streamed_cells = 0;
  for (const char* folder : {"xls", "xlsx"}) {
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(CW_FIXTURES_DIR) / folder)) {
      const std::string ext = entry.path().extension().string();
      if (ext != ".xls" && ext != ".xlsx") continue;
      SCOPED_TRACE(entry.path().filename().string());
      Workbook model;
      try {
        model = ReadWorkbookFile(entry.path().string());
      } catch (const ReadError&) {
        // A workbook the engine refuses (a password of the user's) is refused by the stream too.
        EXPECT_THROW(OpenWorkbookStreamFile(entry.path().string()), ReadError);
        continue;
      }
      const auto stream = OpenWorkbookStreamFile(entry.path().string());
      ASSERT_EQ(stream->Model().sheets.size(), model.sheets.size());
      EXPECT_EQ(stream->Model().active_sheet, model.active_sheet);
      CellTextRenderer renderer(model);
      // One stream per sheet, as the export takes one block per stream.
      for (std::size_t s = 0; s < model.sheets.size(); ++s) {
        const auto used = model.sheets[s].UsedRange();
        if (!used) continue;
        const auto sheet_stream = OpenWorkbookStreamFile(entry.path().string());
        const std::size_t width = used->last_column - used->first_column + 1;
        const auto rows = Stream(*sheet_stream->Rows(s, *used, std::vector<bool>(width, true), {}));
        ASSERT_EQ(rows.size(), used->last_row - used->first_row + 1);
        for (std::size_t r = 0; r < rows.size(); ++r) {
          ASSERT_EQ(rows[r].size(), width);
          for (std::size_t c = 0; c < width; ++c) {
            EXPECT_EQ(rows[r][c], renderer.Text(model.sheets[s], used->first_row + static_cast<std::uint32_t>(r),
                                                used->first_column + static_cast<std::uint32_t>(c)))
                << "sheet " << s << " row " << r << " column " << c;
            streamed_cells += !rows[r][c].empty();
          }
        }
      }
    }
  }
  EXPECT_GT(streamed_cells, 100u);
}

// A block in the middle of a sheet, past its last row and with gaps: the same texts as
// Cells(r, c).Text, unwanted columns empty; a whole column is clipped to the used range.
TEST(BlockRowsTest, EngineRangesStreamWhatCellTextShows) {
  const std::string path = std::string(CW_FIXTURES_DIR) + "/xlsx/contacts_5_rows.xlsx";
  Application loaded_app;
  OpenedWorkbook& loaded = loaded_app.Open(path);
  struct Case {
    std::string_view address;
    std::vector<bool> wanted;
    std::size_t rows;
  };
  const Case cases[] = {
      {"B3:D4", {true, false, true}, 2},  // the middle of the sheet, one column not wanted
      {"C5:E9", {true, true, true}, 5},   // runs past the sheet's last row: those rows are empty
      {"A1:A1", {true}, 1},
      {"B:C", {true, true}, 0},  // rows of the used range
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    Application app;
    OpenedWorkbook& streamed = app.OpenForStreaming(path);
    const Range range = streamed.GetRange(c.address);
    const auto rows = Stream(*streamed.Rows(range, c.wanted));
    ASSERT_EQ(rows.size(), range.RowsCount());
    if (c.rows) {
      EXPECT_EQ(rows.size(), c.rows);
    }
    for (std::uint32_t r = 0; r < range.RowsCount(); ++r) {
      for (std::uint32_t col = 0; col < range.ColumnsCount(); ++col) {
        const std::string shown =
            c.wanted[col] ? loaded.CellText(range, range.Row() + r, range.Column() + col) : std::string();
        EXPECT_EQ(rows[r][col], shown) << "row " << r << " column " << col;
      }
    }
    // A second walk of the same workbook reads the loaded model: the same texts.
    EXPECT_EQ(Stream(*streamed.Rows(range, c.wanted)), rows);
  }
}

}  // namespace
}  // namespace cw::sheet
