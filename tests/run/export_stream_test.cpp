// The export run reading its block through a row stream: the rows are taken from the
// stream, never cell by cell, and a row the stream cannot give is reported once, at the
// statement of that row's first read, after the rows before it are written.
#include <gtest/gtest.h>

#include <stdexcept>

#include "run/export_run.h"
#include "run/regional_settings.h"
#include "tests/support/test_support.h"

namespace cw::run {
namespace {

using testing::FilesIn;

// Rows of (first name, email); the stream fails when asked for row `fail_at` (1-based;
// 0: never) and `fail_open` makes asking for the stream fail.
struct StreamScript {
  std::vector<std::vector<std::string>> rows;
  std::size_t fail_at = 0;
  bool fail_open = false;
  bool fail_finish = false;          // the data's checksum fails once the rows are read
  std::size_t damaged_cell_row = 0;  // this row's Email cell cannot be read
  std::size_t cell_reads = 0;
  std::vector<std::string> calls;
};

class ScriptedRows : public sheet::BlockRows {
 public:
  explicit ScriptedRows(StreamScript& s) : s_(s) {}
  bool NextRow(std::vector<std::string>& texts) override {
    if (next_ == s_.rows.size()) return false;
    if (++next_ == s_.fail_at) throw std::runtime_error("The sheet's data is damaged at row 3.");
    texts = s_.rows[next_ - 1];
    GivenErrors().clear();
    if (next_ == s_.damaged_cell_row) {
      texts[1].clear();
      GivenErrors().emplace_back(1, "The workbook is damaged: the cell B3 holds \"abc\".");
    }
    return true;
  }
  void Finish() override {
    s_.calls.push_back("finish");
    if (s_.fail_finish) throw std::runtime_error("Its part sheet1.xml cannot be unpacked (CRC error).");
  }

 private:
  StreamScript& s_;
  std::size_t next_ = 0;
};

class StreamRange : public SheetRange {
 public:
  explicit StreamRange(StreamScript& s) : s_(s) {}
  std::uint32_t Row() override { return 1; }
  std::uint32_t Column() override { return 1; }
  std::uint32_t LastRow() override { return static_cast<std::uint32_t>(s_.rows.size()); }
  std::uint32_t LastColumn() override { return 2; }
  std::string CellText(std::uint32_t, std::uint32_t) override {
    ++s_.cell_reads;
    return "read cell by cell";
  }
  std::unique_ptr<sheet::BlockRows> Rows(const std::vector<bool>& wanted) override {
    s_.calls.push_back("rows " + std::to_string(wanted.size()));
    if (s_.fail_open) throw std::runtime_error("The sheet's data cannot be found.");
    return std::make_unique<ScriptedRows>(s_);
  }

 private:
  StreamScript& s_;
};

class StreamApplication : public SheetApplication {
 public:
  explicit StreamApplication(StreamScript& s) : s_(s) {}
  int WorkbooksCount() override { return 1; }
  std::unique_ptr<SheetWorkbook> Workbooks(int) override {
    struct Book : SheetWorkbook {
      explicit Book(StreamScript& s) : s_(s) {}
      void Close() override { s_.calls.push_back("close"); }
      StreamScript& s_;
    };
    return std::make_unique<Book>(s_);
  }
  std::unique_ptr<SheetRange> Range(std::string_view) override { return std::make_unique<StreamRange>(s_); }
  void Quit() override { s_.calls.push_back("quit"); }

 private:
  StreamScript& s_;
};

class StreamEngine : public SheetEngine {
 public:
  explicit StreamEngine(StreamScript& s) : s_(s) {}
  std::unique_ptr<SheetApplication> OpenWorkbook(const std::string&) override {
    return std::make_unique<StreamApplication>(s_);
  }

 private:
  StreamScript& s_;
};

// Records the reports and how many files the output folder held when each showed.
struct FolderReporter : testing::RecordingReporter {
  explicit FolderReporter(std::string folder) : folder_(std::move(folder)) {}
  void ShowApplicationError(std::string_view location, int statement, std::string_view description) override {
    files_at_report.push_back(FilesIn(folder_).size());
    RecordingReporter::ShowApplicationError(location, statement, description);
  }
  std::vector<std::size_t> files_at_report;
  std::string folder_;
};

// One UTF-8 run over a block of (First Name, Email) rows read through the scripted stream.
struct StreamRun {
  explicit StreamRun(StreamScript& script) {
    const std::string book = dir.File("book.xlsx");
    std::ofstream(book) << "stand-in";
    std::filesystem::create_directory(dir.File("out"));
    StreamEngine engine(script);
    mapping::ColumnList columns;
    columns.FillColumnList(2);
    columns.SetType(1, "First Name");
    columns.SetType(2, "Email");
    testing::FixedClock clock({2026, 1, 1, 9, 5, 3});
    vcard::CodePage code_page = AnsiCodePage(1252);
    vcard::DateRecognizer dates = DatesForLocale("en_US");
    ExportServices services{messages, reporter, clock, pointer, engine, code_page, dates};
    const std::string address = "A1:B" + std::to_string(script.rows.size());
    ExportRun(vcard::ExportEncoding::Utf8, ExportInputs{book, address, columns, dir.File("out")}, services);
    for (const auto& m : messages.shown) shown.push_back(m.text);
  }
  testing::TempFolder dir;
  testing::RecordingMessages messages;
  FolderReporter reporter{dir.File("out")};
  testing::RecordingPointer pointer;
  std::vector<std::string> shown;
};

TEST(ExportStreamTest, RowsComeFromTheStreamAndAnUnreadableRowStopsTheRunOnce) {
  struct Case {
    std::string_view name;
    std::size_t fail_at;
    bool fail_open;
    bool fail_finish;
    std::vector<int> statements;  // 184: First Name's read, the row's first mapped cell
    std::vector<std::string> files;
    std::vector<std::string> messages;
    std::size_t damaged_cell_row = 0;
  };
  const std::vector<Case> cases = {
      {"whole stream",
       0,
       false,
       false,
       {},
       {"UTF8_Ann _Row1.vcf", "UTF8_Bo _Row2.vcf", "UTF8_Cy _Row3.vcf", "UTF8_Row4.vcf"},
       {"Done."}},
      {"damaged at row 3", 3, false, false, {184}, {"UTF8_Ann _Row1.vcf", "UTF8_Bo _Row2.vcf"}, {}},
      {"no stream to be had", 0, true, false, {184}, {}, {}},
      {"checksum fails after the last row",
       0,
       false,
       true,
       {},
       {"UTF8_Ann _Row1.vcf", "UTF8_Bo _Row2.vcf", "UTF8_Cy _Row3.vcf", "UTF8_Row4.vcf"},
       {"Its part sheet1.xml cannot be unpacked (CRC error). The workbook is damaged or was changed during the "
        "export. 4 files were written to OUT; they may not match the workbook."}},
      // One damaged cell is reported under its own read (200: Email's), and the rows go on.
      {"a damaged cell in row 3",
       0,
       false,
       false,
       {200},
       {"UTF8_Ann _Row1.vcf", "UTF8_Bo _Row2.vcf", "UTF8_Cy _Row3.vcf", "UTF8_Row4.vcf"},
       {"Done."},
       3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StreamScript script;
    script.rows = {{"Ann", "a@example.com"}, {"Bo", ""}, {"Cy", "c@example.com"}, {"", "d@example.com"}};
    script.fail_at = c.fail_at;
    script.fail_open = c.fail_open;
    script.fail_finish = c.fail_finish;
    script.damaged_cell_row = c.damaged_cell_row;
    StreamRun run(script);
    for (std::string& m : run.shown) {
      if (const auto at = m.find(run.dir.File("out")); at != std::string::npos)
        m.replace(at, run.dir.File("out").size(), "OUT");
    }
    EXPECT_EQ(run.reporter.Statements(), c.statements);
    if (!c.statements.empty()) {
      EXPECT_EQ(run.reporter.reports[0].description, c.damaged_cell_row
                                                         ? "The workbook is damaged: the cell B3 holds \"abc\"."
                                                     : c.fail_open ? "The sheet's data cannot be found."
                                                                   : "The sheet's data is damaged at row 3.");
    }
    EXPECT_EQ(FilesIn(run.dir.File("out")), c.files);
    EXPECT_EQ(run.shown, c.messages);
    EXPECT_EQ(script.cell_reads, 0u);
    const bool whole = c.fail_at == 0 && !c.fail_open;
    const std::vector<std::string> calls = whole ? std::vector<std::string>{"rows 2", "finish", "close", "quit"}
                                                 : std::vector<std::string>{"rows 2", "close", "quit"};
    EXPECT_EQ(script.calls, calls);
    EXPECT_EQ(run.pointer.current, PointerSetting::kDefault);
    if (!c.files.empty()) {
      EXPECT_NE(
          testing::ReadBytes(run.dir.File("out/UTF8_Ann _Row1.vcf")).find("EMAIL;INTERNET;PREF:a@example.com\r\n"),
          std::string::npos);
    }
  }
}

// Many batches of files on their way to the writer when the sheet turns out damaged: every
// row before the damaged one has its file, complete, before the report shows.
TEST(ExportStreamTest, ADamagedRowFarIntoALongBlockFindsEveryRowBeforeWritten) {
  StreamScript script;
  for (int i = 1; i <= 1500; ++i) script.rows.push_back({"P" + std::to_string(i), "p@example.com"});
  script.fail_at = 1200;
  StreamRun run(script);
  EXPECT_EQ(run.reporter.Statements(), std::vector<int>{184});
  EXPECT_EQ(run.reporter.files_at_report, std::vector<std::size_t>{1199});
  EXPECT_EQ(FilesIn(run.dir.File("out")).size(), 1199u);
  EXPECT_EQ(testing::ReadBytes(run.dir.File("out/UTF8_P1199 _Row1199.vcf")).substr(0, 14),
            "\xEF\xBB\xBF"
            "BEGIN:VCARD");
  EXPECT_TRUE(run.shown.empty());
}

}  // namespace
}  // namespace cw::run
