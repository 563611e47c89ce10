// The export run against a scripted spreadsheet engine, so every step can be made to fail.
#include "run/export_run.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <stdexcept>

#include "tests/support/test_support.h"

namespace cw::run {
namespace {

using vcard::CodePage;
using vcard::DateRecognizer;
using vcard::ExportEncoding;

using testing::FilesIn;
using testing::ReadBytes;
using testing::TempFolder;

// A scripted engine: a grid of displayed texts, a block, and switches that make steps fail.
struct Script {
  std::map<std::pair<std::uint32_t, std::uint32_t>, std::string> cells;  // (row, column), 1-based
  std::uint32_t row = 1, column = 1, last_row = 1, last_column = 1;
  bool fail_open = false;
  bool fail_range = false;
  std::pair<std::uint32_t, std::uint32_t> failing_cell{0, 0};
  std::function<void(std::uint32_t row)> on_read;  // runs before each cell read
  std::vector<std::pair<std::uint32_t, std::uint32_t>> reads;
  std::vector<std::string> calls;
};

class FakeRange : public SheetRange {
 public:
  explicit FakeRange(Script& s) : s_(s) {}
  std::uint32_t Row() override { return s_.row; }
  std::uint32_t Column() override { return s_.column; }
  std::uint32_t LastRow() override { return s_.last_row; }
  std::uint32_t LastColumn() override { return s_.last_column; }
  std::string CellText(std::uint32_t row, std::uint32_t column) override {
    if (s_.on_read) s_.on_read(row);
    s_.reads.emplace_back(row, column);
    if (std::make_pair(row, column) == s_.failing_cell) throw std::runtime_error("Unable to read the cell");
    const auto it = s_.cells.find({row, column});
    return it == s_.cells.end() ? "" : it->second;
  }

 private:
  Script& s_;
};

class FakeWorkbook : public SheetWorkbook {
 public:
  explicit FakeWorkbook(Script& s) : s_(s) {}
  void Close() override { s_.calls.push_back("close"); }

 private:
  Script& s_;
};

class FakeApplication : public SheetApplication {
 public:
  explicit FakeApplication(Script& s) : s_(s) {}
  int WorkbooksCount() override { return 1; }
  std::unique_ptr<SheetWorkbook> Workbooks(int) override { return std::make_unique<FakeWorkbook>(s_); }
  std::unique_ptr<SheetRange> Range(std::string_view address) override {
    s_.calls.push_back("range " + std::string(address));
    if (s_.fail_range) throw std::runtime_error("Method 'Range' of object '_Global' failed");
    return std::make_unique<FakeRange>(s_);
  }
  void Quit() override { s_.calls.push_back("quit"); }

 private:
  Script& s_;
};

class FakeEngine : public SheetEngine {
 public:
  explicit FakeEngine(Script& s) : s_(s) {}
  std::unique_ptr<SheetApplication> OpenWorkbook(const std::string& path) override {
    s_.calls.push_back("open " + path);
    if (s_.fail_open) throw std::runtime_error("This workbook is password-protected.");
    return std::make_unique<FakeApplication>(s_);
  }

 private:
  Script& s_;
};

class ExportRunTest : public ::testing::Test {
 protected:
  ExportRunTest() : clock_({2026, 1, 1, 9, 5, 3}), engine_(script_) {
    workbook_ = out_.File("book.xlsx");
    std::ofstream(workbook_) << "stand-in";
    std::filesystem::create_directory(out_.File("out"));
  }

  void Run(ExportEncoding encoding, std::string folder = {}) {
    ExportInputs inputs{workbook_, "A1:B3", columns_, folder.empty() ? out_.File("out") : folder};
    ExportServices services{messages_, reporter_, clock_, pointer_, engine_, code_page_, dates_, progress_};
    ExportRun(encoding, inputs, services);
  }

  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const auto& m : messages_.shown) texts.push_back(m.text);
    return texts;
  }

  TempFolder out_;
  std::string workbook_;
  Script script_;
  mapping::ColumnList columns_;
  testing::RecordingMessages messages_;
  testing::RecordingReporter reporter_;
  testing::FixedClock clock_;
  testing::RecordingPointer pointer_;
  FakeEngine engine_;
  CodePage code_page_{1252};
  DateRecognizer dates_{"en_US"};
  RunProgress* progress_ = nullptr;
};

// Counts the rows reported and asks to stop once `stop_after` rows are through.
class StoppingProgress : public RunProgress {
 public:
  explicit StoppingProgress(std::size_t stop_after) : stop_after_(stop_after) {}
  void RowsDone(std::size_t done, std::size_t total) override { seen.emplace_back(done, total); }
  bool CancelRequested() override { return seen.size() >= stop_after_; }
  std::vector<std::pair<std::size_t, std::size_t>> seen;

 private:
  std::size_t stop_after_;
};

TEST_F(ExportRunTest, CancelStopsAfterTheCurrentRowAndSaysWhatWasWritten) {
  columns_.FillColumnList(1);
  columns_.SetType(1, "First Name");
  script_.last_row = 5;
  StoppingProgress progress(2);
  progress_ = &progress;
  Run(ExportEncoding::Utf8);
  EXPECT_EQ(progress.seen, (std::vector<std::pair<std::size_t, std::size_t>>{{1, 5}, {2, 5}}));
  EXPECT_EQ(FilesIn(out_.File("out")), (std::vector<std::string>{"UTF8_Row1.vcf", "UTF8_Row2.vcf"}));
  EXPECT_EQ(Messages(),
            std::vector<std::string>{"Export cancelled. 2 files were written to " + out_.File("out") + "."});
  EXPECT_EQ(script_.calls.back(), "quit");
  EXPECT_EQ(pointer_.current, PointerSetting::kDefault);
}

TEST_F(ExportRunTest, EmptyListOnlySaysSo) {
  Run(ExportEncoding::Ansi);
  EXPECT_EQ(Messages(), std::vector<std::string>{"No columns found in the list."});
  EXPECT_EQ(messages_.shown[0].title, "Cardwright");
  EXPECT_EQ(messages_.shown[0].icon, MessageIcon::kExclamation);
  EXPECT_TRUE(script_.calls.empty());
}

TEST_F(ExportRunTest, MissingWorkbookOrFolderIsReportedOnceBeforeAnythingOpens) {
  columns_.FillColumnList(2);
  workbook_ = out_.File("nowhere.xlsx");
  Run(ExportEncoding::Utf8);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, workbook_ + " file not found.");
  EXPECT_EQ(messages_.shown[0].title, "File Not Found");
  EXPECT_TRUE(pointer_.history.empty());

  workbook_ = out_.File("book.xlsx");
  messages_.shown.clear();
  Run(ExportEncoding::Ansi, out_.File("gone"));
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, out_.File("gone") + " folder not found.");
  EXPECT_EQ(messages_.shown[0].title, "Folder Not Found");
  EXPECT_TRUE(script_.calls.empty());
  EXPECT_TRUE(reporter_.reports.empty());
}

TEST_F(ExportRunTest, NamesFilesFromTheRowsNamesAndPosition) {
  columns_.FillColumnList(2);
  columns_.SetType(1, "First Name");
  columns_.SetType(2, "Last Name");
  script_.row = 4;
  script_.column = 3;
  script_.last_row = 7;
  script_.last_column = 4;
  script_.cells = {{{4, 3}, "Ann"}, {{4, 4}, "Lee"}, {{6, 4}, "Kim"}, {{7, 3}, " A/B "}, {{7, 4}, "C:D*?<>|\\"}};
  Run(ExportEncoding::Ansi);
  EXPECT_EQ(FilesIn(out_.File("out")), (std::vector<std::string>{"ANSI_ Kim_Row3.vcf", "ANSI_A B C D      _Row4.vcf",
                                                                 "ANSI_Ann Lee_Row1.vcf", "ANSI_Row2.vcf"}));
  EXPECT_TRUE(testing::SameBytes(
      "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Lee;Ann;;\r\nFN:Ann  Lee\r\nREV:20260101T090503\r\nEND:VCARD\r\n",
      ReadBytes(out_.File("out/ANSI_Ann Lee_Row1.vcf"))));
  // Leading and trailing blanks leave the name but stay in the record.
  EXPECT_NE(ReadBytes(out_.File("out/ANSI_A B C D      _Row4.vcf")).find("N:C D*?<>|\\; A/B ;;\r\n"),
            std::string::npos);
  EXPECT_EQ(Messages(), std::vector<std::string>{"Done."});
  EXPECT_EQ(messages_.shown[0].icon, MessageIcon::kNone);
  EXPECT_EQ(script_.calls.back(), "quit");
  EXPECT_EQ(pointer_.current, PointerSetting::kDefault);
  EXPECT_EQ(pointer_.history.front(), PointerSetting::kBusy);

  // Running again overwrites; the UTF-8 command never touches the ANSI files.
  Run(ExportEncoding::Utf8);
  EXPECT_EQ(FilesIn(out_.File("out")).size(), 8u);
  EXPECT_EQ(ReadBytes(out_.File("out/UTF8_Ann Lee_Row1.vcf")),
            "\xEF\xBB\xBF" + ReadBytes(out_.File("out/ANSI_Ann Lee_Row1.vcf")));
}

TEST_F(ExportRunTest, OnlyMappedColumnsAreReadAndTheRightmostDuplicateWins) {
  columns_.FillColumnList(4);
  columns_.SetType(2, "Email");
  columns_.SetType(3, "No Such Kind");
  columns_.SetType(4, "Email");
  script_.last_column = 4;
  script_.cells = {{{1, 1}, "ignored"}, {{1, 2}, "left@example.com"}, {{1, 4}, "right@example.com"}};
  Run(ExportEncoding::Ansi);
  EXPECT_EQ(script_.reads, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{1, 2}, {1, 4}}));
  const std::string file = ReadBytes(out_.File("out/ANSI_Row1.vcf"));
  EXPECT_NE(file.find("EMAIL;INTERNET;PREF:right@example.com\r\n"), std::string::npos);
  EXPECT_EQ(file.find("left@"), std::string::npos);
}

TEST_F(ExportRunTest, ABlockThatDoesNotMatchTheListSaysBothCountsAndWritesNothing) {
  columns_.FillColumnList(2);
  script_.last_row = 3;
  script_.last_column = 3;
  Run(ExportEncoding::Ansi);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_NE(messages_.shown[0].text.find("3 columns"), std::string::npos);
  EXPECT_NE(messages_.shown[0].text.find("2 lines"), std::string::npos);
  EXPECT_TRUE(FilesIn(out_.File("out")).empty());
  EXPECT_TRUE(script_.reads.empty());
  EXPECT_EQ(script_.calls.back(), "quit");
}

TEST_F(ExportRunTest, AnUnreadableCellIsReportedAtItsStatementAndTheRowGoesOn) {
  columns_.FillColumnList(2);
  columns_.SetType(1, "Email");  // kind 6: read at 200
  columns_.SetType(2, "Notes");  // kind 25: read at 276
  script_.last_row = 2;
  script_.last_column = 2;
  script_.cells = {{{1, 2}, "note one"}, {{2, 1}, "b@example.com"}};
  script_.failing_cell = {1, 1};
  Run(ExportEncoding::Ansi);
  ASSERT_EQ(reporter_.Statements(), std::vector<int>{200});
  EXPECT_EQ(reporter_.reports[0].location, "in Tabulon5/20/2014.Form1.PushButton1_Click ");
  EXPECT_EQ(reporter_.reports[0].description, "Unable to read the cell");
  EXPECT_NE(ReadBytes(out_.File("out/ANSI_Row1.vcf")).find("NOTE:note one"), std::string::npos);
  EXPECT_NE(ReadBytes(out_.File("out/ANSI_Row2.vcf")).find("EMAIL;INTERNET;PREF:b@example.com"), std::string::npos);
  EXPECT_EQ(Messages(), std::vector<std::string>{"Done."});
}

TEST_F(ExportRunTest, AFolderVanishingMidRunGivesCreateAndWriteReportsPerRow) {
  columns_.FillColumnList(1);
  columns_.SetType(1, "First Name");
  script_.last_row = 2;
  script_.on_read = [&](std::uint32_t) { std::filesystem::remove_all(out_.File("out")); };
  Run(ExportEncoding::Ansi);
  EXPECT_EQ(reporter_.Statements(), (std::vector<int>{352, 354, 352, 354}));
  EXPECT_EQ(Messages(), std::vector<std::string>{"Done."});

  reporter_.reports.clear();
  std::filesystem::create_directory(out_.File("out"));
  Run(ExportEncoding::Utf8);
  EXPECT_EQ(reporter_.Statements(), (std::vector<int>{354, 356, 354, 356}));
  for (const auto& r : reporter_.reports) EXPECT_EQ(r.location, "in Tabulon5/20/2014.Form1.PushButton3_Click ");
}

TEST_F(ExportRunTest, ReportsKeepTheOrderOfTheStatementsAcrossRows) {
  // Row 1's file fails (the folder goes during its read), then row 2's cell fails: the
  // reports come in the order the statements ran, whatever thread wrote the files.
  columns_.FillColumnList(1);
  columns_.SetType(1, "Notes");
  script_.last_row = 3;
  script_.failing_cell = {2, 1};
  script_.on_read = [&](std::uint32_t) { std::filesystem::remove_all(out_.File("out")); };
  Run(ExportEncoding::Ansi);
  EXPECT_EQ(reporter_.Statements(), (std::vector<int>{352, 354, 276, 352, 354, 352, 354}));
  EXPECT_EQ(Messages(), std::vector<std::string>{"Done."});
}

TEST_F(ExportRunTest, AFailureBeforeTheFirstRowIsReportedOnceAndEverythingIsClosed) {
  columns_.FillColumnList(2);
  script_.last_column = 2;
  script_.fail_open = true;
  Run(ExportEncoding::Ansi);
  EXPECT_EQ(reporter_.Statements(), std::vector<int>{106});
  EXPECT_EQ(reporter_.reports[0].description, "This workbook is password-protected.");
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_EQ(pointer_.current, PointerSetting::kDefault);

  reporter_.reports.clear();
  script_.fail_open = false;
  script_.fail_range = true;
  script_.calls.clear();
  Run(ExportEncoding::Utf8);
  EXPECT_EQ(reporter_.Statements(), std::vector<int>{114});
  EXPECT_EQ(script_.calls, (std::vector<std::string>{"open " + workbook_, "range A1:B3", "close", "quit"}));
  EXPECT_TRUE(FilesIn(out_.File("out")).empty());
  EXPECT_EQ(pointer_.current, PointerSetting::kDefault);
}

}  // namespace
}  // namespace cw::run
