// The row stream of a block against the object model it must agree with: every fixture
// workbook streamed sheet by sheet gives exactly the texts of CellTextRenderer, and the
// engine's streamed ranges give what Cells(r, c).Text gives.
#include "sheet/block_rows.h"

#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <cstdlib>
#include <filesystem>

#include "sheet/cell_text.h"
#include "sheet/engine.h"
#include "sheet/model_stream.h"
#include "sheet/read_ahead_rows.h"
#include "sheet/read_error.h"
#include "sheet/workbook_file.h"
#include "tests/sheet/xlsx/test_package.h"

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
  for (const char* folder : {"xls", "xlsx", "csv", "ods"}) {
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(CW_FIXTURES_DIR) / folder)) {
      const std::string ext = entry.path().extension().string();
      if (ext != ".xls" && ext != ".xlsx" && ext != ".csv" && ext != ".tsv" && ext != ".txt" && ext != ".ods" &&
          ext != ".fods") {
        continue;
      }
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

// The date a cell shows comes beside its text: from the .xlsx and .xls readers' streams, from
// the walk over the loaded model and from CellDate; never for an unwanted column.
TEST(BlockRowsTest, DateFormattedNumbersGiveTheirDate) {
  struct Row {
    const char* xlsx_value;  // a number, or a string in quotes
    const char* format;
    const char* date;  // what DateOf gives, "-" for nothing
  };
  const Row kRows[] = {
      {"29287", "d mmmm yyyy", "1980-3-7"},
      {"29287.6042", "m/d/yy h:mm", "1980-3-7"},  // the time of day is dropped
      {"29287", "0", "-"},
      {"0.6042", "h:mm", "-"},  // a time without a date
      {"'3/7/1980'", "General", "-"},
  };
  const auto shown = [](const std::optional<CivilDate>& d) {
    return d ? std::to_string(d->year) + "-" + std::to_string(d->month) + "-" + std::to_string(d->day) : "-";
  };
  testing::TempDir dir;
  // Column A holds a date in every row but is not wanted.
  testing::WriteWorkbook(dir.File("dates.xlsx"), [&](lxw_workbook* book) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Dates");
    for (lxw_row_t r = 0; r < std::size(kRows); ++r) {
      lxw_format* format = workbook_add_format(book);
      format_set_num_format(format, kRows[r].format);
      worksheet_write_number(sheet, r, 0, 29287, format);
      const std::string value = kRows[r].xlsx_value;
      if (value[0] == '\'') {
        worksheet_write_string(sheet, r, 1, value.substr(1, value.size() - 2).c_str(), format);
      } else {
        worksheet_write_number(sheet, r, 1, std::stod(value), format);
      }
    }
  });
  std::string script = "import sys, xlwt\nwb = xlwt.Workbook()\nws = wb.add_sheet('Dates')\n";
  for (std::size_t r = 0; r < std::size(kRows); ++r) {
    const std::string style = "xlwt.easyxf(num_format_str='" + std::string(kRows[r].format) + "')";
    script += "ws.write(" + std::to_string(r) + ", 0, 29287, " + style + ")\n";
    script += "ws.write(" + std::to_string(r) + ", 1, " + kRows[r].xlsx_value + ", " + style + ")\n";
  }
  testing::WriteFile(dir.File("make.py"), script + "wb.save(sys.argv[1])\n");
  ASSERT_EQ(std::system(("/usr/bin/python3 '" + dir.File("make.py") + "' '" + dir.File("dates.xls") + "'").c_str()), 0);

  for (const char* name : {"dates.xlsx", "dates.xls"}) {
    Application app;
    OpenedWorkbook& book = app.OpenForStreaming(dir.File(name));
    const Range range = book.GetRange("A1:B5");
    // The first walk is the reader's own stream, the second one over the loaded model.
    for (const char* walk : {"stream", "model"}) {
      SCOPED_TRACE(std::string(name) + ", " + walk);
      const auto rows = book.Rows(range, {false, true});
      std::vector<std::string> texts;
      for (std::uint32_t r = 0; r < std::size(kRows); ++r) {
        ASSERT_TRUE(rows->NextRow(texts));
        EXPECT_EQ(shown(rows->DateOf(1)), kRows[r].date) << "row " << r + 1 << " shows " << texts[1];
        EXPECT_EQ(shown(rows->DateOf(0)), "-") << "row " << r + 1;
      }
      EXPECT_FALSE(rows->NextRow(texts));
      EXPECT_EQ(shown(rows->DateOf(1)), "-");
    }
    for (std::uint32_t r = 0; r < std::size(kRows); ++r) {
      EXPECT_EQ(shown(book.CellDate(range, r + 1, 2)), kRows[r].date) << name << " row " << r + 1;
    }
  }
}

// Rows read ahead on their own thread: the same rows, dates and unreadable cells in the same
// order as read directly, across many batches; an error after the rows before it and again on
// later calls; Finish passes the reader's own check on; a caller that stops early is not held.
TEST(BlockRowsTest, ReadAheadGivesWhatTheRowsGive) {
  // Row r holds "r"; every seventh row shows a date, every eleventh has an unreadable cell;
  // the rows end after `count`, or fail there when `fails`.
  class Numbered : public BlockRows {
   public:
    Numbered(int count, bool fails, bool finish_fails) : count_(count), fails_(fails), finish_fails_(finish_fails) {}
    bool NextRow(std::vector<std::string>& texts) override {
      GivenDates().clear();
      GivenErrors().clear();
      if (next_ == count_) {
        if (fails_) throw ReadError("damaged at row " + std::to_string(next_), 0);
        return false;
      }
      texts.assign(2, std::to_string(next_));
      if (next_ % 7 == 0) SetDate(GivenDates(), 1, CivilDate{2000, 1, next_ % 28 + 1});
      if (next_ % 11 == 0) GivenErrors().emplace_back(0, "bad " + std::to_string(next_));
      ++next_;
      return true;
    }
    void Finish() override {
      if (finish_fails_) throw ReadError("checksum", 0);
    }

   private:
    int next_ = 0;
    const int count_;
    const bool fails_;
    const bool finish_fails_;
  };
  const auto seen = [](BlockRows& rows, int at_most) {
    std::vector<std::string> given;
    std::vector<std::string> texts;
    try {
      for (int r = 0; r < at_most && rows.NextRow(texts); ++r) {
        const auto date = rows.DateOf(1);
        given.push_back(texts.at(0) + (date ? " d" + std::to_string(date->day) : "") +
                        (rows.ErrorOf(0) ? " " + *rows.ErrorOf(0) : ""));
      }
    } catch (const ReadError& e) {
      given.push_back(e.what());
      try {
        rows.NextRow(texts);
        given.emplace_back("no second error");
      } catch (const ReadError& again) {
        given.push_back(again.what());
      }
    }
    return given;
  };
  for (const int count : {0, 1, 64, 65, 1000}) {
    for (const bool fails : {false, true}) {
      SCOPED_TRACE(std::to_string(count) + (fails ? " failing" : ""));
      Numbered direct(count, fails, false);
      const auto ahead = ReadAhead(std::make_unique<Numbered>(count, fails, false));
      EXPECT_EQ(seen(*ahead, 100000), seen(direct, 100000));
      if (!fails) {
        EXPECT_NO_THROW(ahead->Finish());
      }
    }
  }
  const auto checked = ReadAhead(std::make_unique<Numbered>(3, false, true));
  EXPECT_EQ(seen(*checked, 10).size(), 3u);
  EXPECT_THROW(checked->Finish(), ReadError);
  // Taken only in part: the reading thread is stopped where it waits.
  const auto partly = ReadAhead(std::make_unique<Numbered>(100000, false, false));
  EXPECT_EQ(seen(*partly, 5).size(), 5u);
}

}  // namespace
}  // namespace cw::sheet
