// The export run against a scripted spreadsheet engine, so every step can be made to fail.
#include "run/export_run.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>

#include "run/regional_settings.h"
#include "tests/run/write_seam.h"
#include "tests/support/test_support.h"
#include "vcard/record_file.h"

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
  std::string other_cells;  // the text of every cell not in `cells` (empty: the row holds no contact)
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
    return it == s_.cells.end() ? s_.other_cells : it->second;
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

  void Run(ExportEncoding encoding, std::string folder = {}, bool one_file = false,
           vcard::VCardVersion version = vcard::VCardVersion::k21) {
    ExportInputs inputs{workbook_, "A1:B3", columns_, folder.empty() ? out_.File("out") : folder, version, one_file};
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
  CodePage code_page_ = AnsiCodePage(1252);
  DateRecognizer dates_ = DatesForLocale("en_US");
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
  columns_.SetType(1, "Email");
  script_.last_row = 5;
  for (std::uint32_t r = 1; r <= 5; ++r) script_.cells[{r, 1}] = "a@x.example";
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
  // Row 2 is empty: no contact, no file; the rows after keep their positions.
  EXPECT_EQ(FilesIn(out_.File("out")),
            (std::vector<std::string>{"ANSI_ Kim_Row3.vcf", "ANSI_A B C D      _Row4.vcf", "ANSI_Ann Lee_Row1.vcf"}));
  EXPECT_TRUE(testing::SameBytes(
      "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Lee;Ann;;\r\nFN:Ann  Lee\r\nREV:20260101T090503\r\nEND:VCARD\r\n",
      ReadBytes(out_.File("out/ANSI_Ann Lee_Row1.vcf"))));
  // Leading and trailing blanks leave the name but stay in the record.
  EXPECT_NE(ReadBytes(out_.File("out/ANSI_A B C D      _Row4.vcf")).find("N:C D*?<>|\\; A/B ;;\r\n"),
            std::string::npos);
  EXPECT_EQ(Messages(), std::vector<std::string>{"Done. 1 empty row was skipped: every cell of the mapped columns "
                                                 "is empty there, so it holds no contact."});
  EXPECT_EQ(messages_.shown[0].icon, MessageIcon::kNone);
  EXPECT_EQ(script_.calls.back(), "quit");
  EXPECT_EQ(pointer_.current, PointerSetting::kDefault);
  EXPECT_EQ(pointer_.history.front(), PointerSetting::kBusy);

  // Running again overwrites; the UTF-8 command never touches the ANSI files.
  Run(ExportEncoding::Utf8);
  EXPECT_EQ(FilesIn(out_.File("out")).size(), 6u);
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

// A row whose mapped cells are all empty or white space holds no contact: no card in any
// version, per row or in one file, and the final message counts the rows skipped. A block of
// such rows only writes nothing and says so.
TEST_F(ExportRunTest, BlankRowsGiveNoContactInEveryMode) {
  struct Case {
    vcard::VCardVersion version;
    bool one_file;
    ExportEncoding encoding;
    std::vector<std::string> files;
  };
  const Case kCases[] = {
      {vcard::VCardVersion::k21, false, ExportEncoding::Ansi, {"ANSI_Ann _Row1.vcf", "ANSI_Row4.vcf"}},
      {vcard::VCardVersion::k21, true, ExportEncoding::Utf8, {"UTF8_book.vcf"}},
      {vcard::VCardVersion::k30, true, ExportEncoding::Utf8, {"UTF8_book.vcf"}},
      {vcard::VCardVersion::k40, false, ExportEncoding::Utf8, {"UTF8_Ann _Row1.vcf", "UTF8_Row4.vcf"}},
  };
  columns_.FillColumnList(2);
  columns_.SetType(1, "First Name");
  columns_.SetType(2, "Cellular");
  script_.last_row = 4;
  script_.last_column = 2;
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(vcard::VersionText(c.version)) + (c.one_file ? " one file" : " per row"));
    std::filesystem::remove_all(out_.File("out"));
    std::filesystem::create_directory(out_.File("out"));
    messages_.shown.clear();
    // Row 2 empty, row 3 spaces, a tab and a no-break space.
    script_.cells = {{{1, 1}, "Ann"}, {{1, 2}, "1"}, {{3, 1}, " \t"}, {{3, 2}, "\xC2\xA0"}, {{4, 2}, "2"}};
    Run(c.encoding, {}, c.one_file, c.version);
    EXPECT_EQ(FilesIn(out_.File("out")), c.files);
    std::size_t cards = 0;
    for (const auto& f : c.files) {
      const std::string bytes = ReadBytes(out_.File("out/" + f));
      for (auto at = bytes.find("BEGIN:VCARD"); at != std::string::npos; at = bytes.find("BEGIN:VCARD", at + 1))
        ++cards;
    }
    EXPECT_EQ(cards, 2u);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Done. 2 empty rows were skipped: every cell of the mapped columns "
                                                   "is empty there, so it holds no contact."});

    std::filesystem::remove_all(out_.File("out"));
    std::filesystem::create_directory(out_.File("out"));
    messages_.shown.clear();
    script_.cells = {{{3, 1}, " "}};
    Run(c.encoding, {}, c.one_file, c.version);
    EXPECT_TRUE(FilesIn(out_.File("out")).empty());
    EXPECT_EQ(Messages(),
              std::vector<std::string>{"No contact was written: every cell of the block's mapped columns is empty."});
  }
  // A list of "Ignore" only is refused before a cell is read or a file written.
  columns_.SetType(1, "Ignore");
  columns_.SetType(2, "Ignore");
  script_.reads.clear();
  messages_.shown.clear();
  Run(ExportEncoding::Ansi);
  EXPECT_EQ(Messages(),
            std::vector<std::string>{"Every column of the list is \"Ignore\", so the rows hold no contact "
                                     "field. Choose the field of at least one column. Nothing was written."});
  EXPECT_TRUE(script_.reads.empty());
  EXPECT_TRUE(FilesIn(out_.File("out")).empty());
}

// Several columns of one kind: a later blank cell never replaces an earlier value, in 2.1 as
// in the later versions, whether the kind holds one value or several.
TEST_F(ExportRunTest, ALaterBlankColumnNeverReplacesAnEarlierValue) {
  columns_.FillColumnList(4);
  columns_.SetType(1, "First Name");
  columns_.SetType(2, "First Name");
  columns_.SetType(3, "Cellular");
  columns_.SetType(4, "Cellular");
  script_.last_column = 4;
  script_.cells = {{{1, 1}, "Ann"}, {{1, 3}, "111"}, {{1, 4}, ""}};
  Run(ExportEncoding::Ansi);
  EXPECT_TRUE(testing::SameBytes(
      "BEGIN:VCARD\r\nVERSION:2.1\r\nN:;Ann;;\r\nFN:Ann  \r\nTEL;CELL:111\r\nREV:20260101T090503\r\nEND:VCARD\r\n",
      ReadBytes(out_.File("out/ANSI_Ann _Row1.vcf"))));
  Run(ExportEncoding::Utf8, {}, false, vcard::VCardVersion::k30);
  const std::string v30 = ReadBytes(out_.File("out/UTF8_Ann _Row1.vcf"));
  EXPECT_NE(v30.find("\r\nN:;Ann;;;\r\nFN:Ann\r\nTEL;TYPE=CELL:111\r\nREV:"), std::string::npos) << v30;
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

// The kinds after the original 26 read their cells at numbers above every original one; an
// earlier column of a repeated kind reads at its kind's number.
TEST_F(ExportRunTest, CellsOfTheAddedKindsAreReadAtTheirOwnStatements) {
  struct Case {
    std::vector<std::string_view> kinds;
    int statement;
  };
  const Case kCases[] = {{{"Organization", "Ignore"}, 400}, {{"Photo", "Ignore"}, 440}, {{"Email", "Email"}, 200}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.kinds[0]);
    columns_.Clear();
    columns_.FillColumnList(2);
    columns_.SetType(1, c.kinds[0]);
    columns_.SetType(2, c.kinds[1]);
    script_.last_column = 2;
    script_.failing_cell = {1, 1};
    reporter_.reports.clear();
    Run(ExportEncoding::Utf8, {}, false, vcard::VCardVersion::k30);
    EXPECT_EQ(reporter_.Statements(), std::vector<int>{c.statement});
  }
}

TEST_F(ExportRunTest, AFolderVanishingMidRunGivesCreateAndWriteReportsPerRow) {
  columns_.FillColumnList(1);
  columns_.SetType(1, "Notes");
  script_.other_cells = "a note";
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

// A folder renamed while the run writes into it gets every file whole under its new name,
// and no temporary: files are made, replaced and named relative to the open folder. The
// second run replaces the first run's files, each through a named temporary.
TEST_F(ExportRunTest, AFolderRenamedMidRunGetsEveryFileWholeAndNoTemporary) {
  columns_.FillColumnList(1);
  columns_.SetType(1, "Notes");
  script_.last_row = 300;
  for (const bool one_file : {false, true}) {
    SCOPED_TRACE(one_file ? "one file" : "a file per row");
    TempFolder dir;
    const std::string folder = dir.File("out");
    const std::string moved = dir.File("moved");
    std::filesystem::create_directory(folder);
    for (const std::string_view note : {"old", "new"}) {
      for (std::uint32_t row = 1; row <= script_.last_row; ++row) script_.cells[{row, 1}] = std::string(note);
      script_.on_read = [&](std::uint32_t row) {
        if (note == "new" && row == 150 && !std::filesystem::exists(moved)) std::filesystem::rename(folder, moved);
      };
      reporter_.reports.clear();
      messages_.shown.clear();
      Run(ExportEncoding::Utf8, folder, one_file);
      EXPECT_TRUE(reporter_.reports.empty());
      EXPECT_EQ(Messages(), std::vector<std::string>{"Done."});
    }
    script_.on_read = nullptr;
    EXPECT_FALSE(std::filesystem::exists(folder));
    const auto files = FilesIn(moved);
    EXPECT_EQ(files.size(), one_file ? 1u : 300u);
    for (const auto& name : files) {
      SCOPED_TRACE(name);
      const std::string bytes = ReadBytes(moved + "/" + name);
      EXPECT_TRUE(name.starts_with("UTF8_") && name.ends_with(".vcf"));
      EXPECT_EQ(bytes.find("NOTE:old"), std::string::npos);
      EXPECT_NE(bytes.find("NOTE:new\r\nREV:20260101T090503\r\nEND:VCARD\r\n"), std::string::npos);
    }
  }
}

TEST_F(ExportRunTest, ReportsKeepTheOrderOfTheStatementsAcrossRows) {
  // Row 1's file fails (the folder goes during its read), then row 2's cell fails: the
  // reports come in the order the statements ran, whatever thread wrote the files.
  columns_.FillColumnList(1);
  columns_.SetType(1, "Notes");
  script_.other_cells = "a note";
  script_.last_row = 3;
  script_.failing_cell = {2, 1};
  script_.on_read = [&](std::uint32_t) { std::filesystem::remove_all(out_.File("out")); };
  Run(ExportEncoding::Ansi);
  EXPECT_EQ(reporter_.Statements(), (std::vector<int>{352, 354, 276, 352, 354, 352, 354}));
  // Three rows in a row without their file stop the run at the third.
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].rfind("The export stopped at row 3: ", 0), 0u) << Messages()[0];
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

TEST_F(ExportRunTest, AnOutputFolderThatCannotTakeFilesIsToldInWordsBeforeAnythingOpens) {
  columns_.FillColumnList(1);
  std::ofstream(out_.File("afile")) << "x";
  const std::string read_only = out_.File("read-only");
  std::filesystem::create_directory(read_only);
  // Root writes through permissions, so it gets a read-only file system; others a 0555 folder.
  const bool root = ::getuid() == 0;
  const bool read_only_ready = root ? ::mount("tmpfs", read_only.c_str(), "tmpfs", MS_RDONLY, "size=64k") == 0
                                    : (std::filesystem::permissions(read_only, std::filesystem::perms::owner_read |
                                                                                   std::filesystem::perms::owner_exec),
                                       true);
  struct Case {
    std::string folder;
    std::string message;
  };
  std::vector<Case> cases = {
      {"", "No output folder is given. Type or choose the folder the files are to be saved in."},
      {out_.File("afile"),
       out_.File("afile") + " is a file, not a folder. Choose the folder the files are to be saved in."},
      {read_only, "Files cannot be written in the folder " + read_only + " (" +
                      (root ? "Read-only file system" : "Permission denied") +
                      "). Choose another folder. Nothing was written."},
  };
  if (!read_only_ready) cases.pop_back();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    messages_.shown.clear();
    ExportInputs inputs{workbook_, "A1:B3", columns_, c.folder};
    ExportServices services{messages_, reporter_, clock_, pointer_, engine_, code_page_, dates_, progress_};
    ExportRun(ExportEncoding::Ansi, inputs, services);
    EXPECT_EQ(Messages(), std::vector<std::string>{c.message});
  }
  if (root && read_only_ready) ::umount(read_only.c_str());
  EXPECT_TRUE(script_.calls.empty());
  EXPECT_TRUE(reporter_.reports.empty());
  if (!read_only_ready) GTEST_SKIP() << "no read-only folder could be made here";
}

// A disk that fills up: the write call fails as a full disk does, for chosen calls, or for
// every file that holds a marker, whichever writer thread writes it.
std::atomic<int> g_write_calls{0};
std::atomic<unsigned> g_failing_calls{0};  // bit k: call k (from 1 to 31) fails
std::atomic<const char*> g_failing_marker{nullptr};
long FullDiskWrite(int fd, const void* data, std::size_t size) {
  const char* marker = g_failing_marker;
  const bool marked =
      marker && std::string_view(static_cast<const char*>(data), size).find(marker) != std::string_view::npos;
  const int call = ++g_write_calls;
  if ((call < 32 && (g_failing_calls & (1u << call))) || marked) {
    errno = ENOSPC;
    return -1;
  }
  return ::write(fd, data, size);
}

TEST_F(ExportRunTest, ThreeRowsInARowWithoutTheirFileStopTheRunWithOneMessage) {
  columns_.FillColumnList(1);
  columns_.SetType(1, "Notes");
  script_.other_cells = "a note";
  script_.last_row = 9;
  g_write_calls = 0;
  g_failing_calls = (1u << 2) | (1u << 3) | (1u << 5) | (1u << 6) | (1u << 7);  // rows 2, 3 and 5 to 7
  testing::SetWriteCall(FullDiskWrite);
  Run(ExportEncoding::Ansi);
  testing::SetWriteCall(nullptr);
  EXPECT_EQ(reporter_.Statements(), (std::vector<int>{354, 354, 354, 354, 354}));
  EXPECT_EQ(Messages(),
            std::vector<std::string>{"The export stopped at row 7: the files of 3 rows in a row could not "
                                     "be written (Cannot write file " +
                                     out_.File("out/ANSI_Row7.vcf") +
                                     ": No space left on device). 2 files were written to " + out_.File("out") + "."});
  // Rows written before stay; nothing partial or temporary is left.
  EXPECT_EQ(FilesIn(out_.File("out")), (std::vector<std::string>{"ANSI_Row1.vcf", "ANSI_Row4.vcf"}));
  EXPECT_EQ(script_.calls.back(), "quit");
  EXPECT_EQ(pointer_.current, PointerSetting::kDefault);
}

// One file for all rows: the records in row order, or, when the file cannot be written,
// one report, a message with the count of rows, and no file (an older file of that name
// stays as it was).
TEST_F(ExportRunTest, OneFileHoldsEveryRowOrNothing) {
  struct Case {
    std::string_view label;
    unsigned failing_calls;  // bit k: write call k fails as on a full disk
    bool folder_gone;
    std::vector<int> reports;
  };
  const Case kCases[] = {
      {"written", 0, false, {}},
      {"full disk", 1u << 1, false, {354}},
      {"folder removed during the run", 0, true, {356}},
  };
  columns_.FillColumnList(1);
  columns_.SetType(1, "First Name");
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    TempFolder dir;
    const std::string folder = dir.File("out");
    std::filesystem::create_directory(folder);
    std::ofstream(folder + "/ANSI_book.vcf") << "older";
    script_.last_row = 3;
    script_.cells = {{{1, 1}, "Ann"}, {{2, 1}, "Bo"}, {{3, 1}, "Cy"}};
    script_.on_read = [&](std::uint32_t) {
      if (c.folder_gone) std::filesystem::remove_all(folder);
    };
    reporter_.reports.clear();
    messages_.shown.clear();
    g_write_calls = 0;
    g_failing_calls = c.failing_calls;
    testing::SetWriteCall(FullDiskWrite);
    Run(ExportEncoding::Ansi, folder, /*one_file=*/true);
    testing::SetWriteCall(nullptr);
    EXPECT_EQ(reporter_.Statements(), c.reports);
    if (c.reports.empty()) {
      EXPECT_EQ(Messages(), std::vector<std::string>{"Done."});
      const auto card = [](std::string_view name) {
        return "BEGIN:VCARD\r\nVERSION:2.1\r\nN:;" + std::string(name) + ";;\r\nFN:" + std::string(name) +
               "  \r\nREV:20260101T090503\r\nEND:VCARD\r\n";
      };
      EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"ANSI_book.vcf"});
      EXPECT_TRUE(testing::SameBytes(card("Ann") + card("Bo") + card("Cy"), ReadBytes(folder + "/ANSI_book.vcf")));
      continue;
    }
    EXPECT_EQ(Messages(), std::vector<std::string>{"The file " + folder +
                                                   "/ANSI_book.vcf could not be written, so none of the 3 rows were "
                                                   "saved. The report before this message says why."});
    if (!c.folder_gone) {
      EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"ANSI_book.vcf"});
      EXPECT_EQ(ReadBytes(folder + "/ANSI_book.vcf"), "older");
    }
    script_.on_read = nullptr;
  }
}

// The signal that ends a child mid-write, and the write it comes at (the first is 1).
std::atomic<int> g_kill_signal{0};
std::atomic<int> g_kill_at_write{0};

long WriteHalfAndDie(int fd, const void* data, std::size_t size) {
  if (--g_kill_at_write > 0) return ::write(fd, data, size);
  (void)::write(fd, data, size / 2);
  ::raise(g_kill_signal.load());
  ::pause();  // the signal ends the process
  return -1;
}

// Each file's name and bytes.
std::map<std::string, std::string> FolderContents(const std::string& folder) {
  std::map<std::string, std::string> contents;
  for (const auto& name : FilesIn(folder)) contents[name] = ReadBytes(folder + "/" + name);
  return contents;
}

// A re-export killed mid-write, by SIGTERM or SIGKILL, one file or one per row, leaves the
// folder holding exactly what it held before: the earlier files whole, no temporary. Where
// the file system has no unnamed files, SIGTERM removes the named temporaries on its way
// out; after SIGKILL they stay until the next run's sweep takes them.
TEST_F(ExportRunTest, AKilledReExportLeavesTheFolderAsItWas) {
  columns_.FillColumnList(1);
  columns_.SetType(1, "Notes");
  script_.other_cells = "a note";
  script_.last_row = 3;
  script_.cells = {{{1, 1}, "Ann"}, {{2, 1}, "Bo"}, {{3, 1}, "Cy"}};
  struct Case {
    const char* what;
    int signal;
    bool one_file;
    bool unnamed_refused;
  };
  constexpr Case kCases[] = {
      {"SIGTERM, one file", SIGTERM, true, false},
      {"SIGKILL, one file", SIGKILL, true, false},
      {"SIGTERM, per row", SIGTERM, false, false},
      {"SIGKILL, per row", SIGKILL, false, false},
      {"SIGTERM, one file, named temporaries", SIGTERM, true, true},
      {"SIGKILL, one file, named temporaries", SIGKILL, true, true},
      {"SIGTERM, per row, named temporaries", SIGTERM, false, true},
      {"SIGKILL, per row, named temporaries", SIGKILL, false, true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    const std::string folder = out_.File(std::string("out-") + std::to_string(&c - kCases));
    std::filesystem::create_directory(folder);
    Run(ExportEncoding::Utf8, folder, c.one_file, vcard::VCardVersion::k30);  // the earlier files
    const auto before = FolderContents(folder);
    ASSERT_EQ(before.size(), c.one_file ? 1u : 3u);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      testing::RefuseUnnamedFiles(c.unnamed_refused);
      g_kill_signal = c.signal;
      g_kill_at_write = c.one_file ? 1 : 2;
      testing::SetWriteCall(WriteHalfAndDie);
      Run(ExportEncoding::Utf8, folder, c.one_file, vcard::VCardVersion::k30);
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), c.signal);
    if (c.signal == SIGKILL && c.unnamed_refused) {
      EXPECT_GT(FilesIn(folder).size(), before.size());  // the killed run's temporaries
      vcard::RemoveLeftoverTemporaries(folder);
    }
    EXPECT_EQ(FolderContents(folder), before);
  }
}

// A row that lost something for lack of memory (here its Notes cell, whose read ran out)
// is named in the final message, which is then never "Done.", in either mode.
TEST_F(ExportRunTest, ARowShortOfMemoryIsNamedAndTheRunDoesNotSayDone) {
  columns_.FillColumnList(2);
  columns_.SetType(1, "First Name");
  columns_.SetType(2, "Notes");
  script_.last_row = 14;
  script_.last_column = 2;
  for (std::uint32_t row = 1; row <= 14; ++row) script_.cells[{row, 1}] = "Ann";
  const std::set<std::uint32_t> short_rows = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13};
  std::uint32_t reads = 0;
  script_.on_read = [&](std::uint32_t row) {
    if (++reads % 2 == 0 && short_rows.count(row)) throw std::bad_alloc();  // the Notes cell
  };
  for (const bool one_file : {false, true}) {
    SCOPED_TRACE(one_file ? "one file" : "per row");
    reporter_.reports.clear();
    messages_.shown.clear();
    reads = 0;
    std::filesystem::create_directory(out_.File(one_file ? "one" : "rows"));
    Run(ExportEncoding::Utf8, out_.File(one_file ? "one" : "rows"), one_file, vcard::VCardVersion::k30);
    EXPECT_EQ(reporter_.Statements(), std::vector<int>(short_rows.size(), 276));
    EXPECT_EQ(Messages(), std::vector<std::string>{
                              "Not everything was saved: 11 rows lost a line, a photo or the whole card because the "
                              "program ran out of memory (rows 2, 3, 4, 5, 6, 7, 8, 9, 10, 11 and 1 more); the reports "
                              "before this message say what. Close other programs, or export those rows again in a "
                              "smaller block."});
    EXPECT_EQ(FilesIn(out_.File(one_file ? "one" : "rows")).size(), one_file ? 1u : 14u);
  }
}

TEST_F(ExportRunTest, ManyRowsKeepTheirOrderAndStopAtTheRightRowWhateverWriterWritesThem) {
  // Enough rows for many batches, so several writers take part.
  columns_.FillColumnList(1);
  columns_.SetType(1, "First Name");
  script_.last_row = 1000;
  const std::set<std::uint32_t> refused = {200, 450, 451, 700, 701, 702};
  for (std::uint32_t row = 1; row <= 1000; ++row) script_.cells[{row, 1}] = refused.count(row) ? "Refused" : "Ann";
  g_failing_calls = 0;
  g_failing_marker = "Refused";
  testing::SetWriteCall(FullDiskWrite);
  Run(ExportEncoding::Ansi);
  testing::SetWriteCall(nullptr);
  g_failing_marker = nullptr;
  EXPECT_EQ(reporter_.Statements(), std::vector<int>(6, 354));
  std::vector<std::string> reported;
  for (const auto& r : reporter_.reports) reported.push_back(r.description);
  std::vector<std::string> expected;
  for (const auto row : refused) {
    expected.push_back("Cannot write file " + out_.File("out/ANSI_Refused _Row" + std::to_string(row) + ".vcf") +
                       ": No space left on device");
  }
  EXPECT_EQ(reported, expected);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].rfind("The export stopped at row 702: ", 0), 0u) << Messages()[0];
  EXPECT_NE(Messages()[0].find(" 696 files were written"), std::string::npos) << Messages()[0];
  // Exactly the rows before the stop that could be written are there; none after it.
  const auto files = FilesIn(out_.File("out"));
  EXPECT_EQ(files.size(), 696u);
  for (const auto& name : files) EXPECT_LT(std::stoi(name.substr(name.rfind("_Row") + 4)), 702) << name;
}

TEST_F(ExportRunTest, ControlCharactersAndOverlongNamesStillGiveOneFilePerRow) {
  columns_.FillColumnList(2);
  columns_.SetType(1, "First Name");
  columns_.SetType(2, "Last Name");
  script_.last_row = 4;
  script_.last_column = 2;
  std::string long_name;
  for (int i = 0; i < 150; ++i) long_name += "\xC3\xA9";  // 300 bytes of é
  script_.cells = {{{1, 1}, std::string("A\0B", 3)},
                   {{1, 2}, "x"},
                   {{2, 1}, std::string("A\0C", 3)},
                   {{2, 2}, "x"},
                   {{3, 1}, "Tab\there\x7F"},
                   {{4, 1}, long_name},
                   {{4, 2}, "Lee"}};
  Run(ExportEncoding::Ansi);
  std::string shortened = "ANSI_";
  for (int i = 0; i < 120; ++i) shortened += "\xC3\xA9";
  EXPECT_EQ(FilesIn(out_.File("out")), (std::vector<std::string>{"ANSI_A B x_Row1.vcf", "ANSI_A C x_Row2.vcf",
                                                                 "ANSI_Tab here  _Row3.vcf", shortened + "_Row4.vcf"}));
  EXPECT_TRUE(reporter_.reports.empty());
  EXPECT_EQ(Messages(), std::vector<std::string>{"Done."});
}

// Birthdays through the real engine, from .xls workbooks written by xlwt in either date system.
TEST(ExportBirthdays, DateCellsGiveTheirDateAndOnlyTextIsRecognised) {
  struct Row {
    std::string_view cell;    // a Python expression for the Birthday cell
    std::string_view format;  // its number format
    std::string_view us, de;  // BDAY under en_US and de_DE ("" for none)
  };
  constexpr Row kRows[] = {
      {"datetime.date(1925, 3, 7)", "m/d/yy", "19250307", "19250307"},
      {"datetime.date(1980, 3, 7)", "d/m/yyyy", "19800307", "19800307"},
      {"datetime.date(1980, 3, 7)", "d mmmm yyyy", "19800307", "19800307"},
      {"datetime.datetime(1980, 3, 7, 14, 30)", "m/d/yy h:mm", "19800307", "19800307"},
      {"'3/7/1980'", "General", "19800307", "19800703"},
      {"19800307", "0", "", ""},
  };
  for (const bool dates_1904 : {false, true}) {
    testing::TempFolder dir;
    std::string script = "import datetime, sys, xlwt\nwb = xlwt.Workbook()\nwb.dates_1904 = " +
                         std::string(dates_1904 ? "True" : "False") + "\nws = wb.add_sheet('Contacts')\n";
    for (std::size_t r = 0; r < std::size(kRows); ++r) {
      script += "ws.write(" + std::to_string(r) + ", 0, 'Row" + std::to_string(r + 1) + "')\n";
      script += "ws.write(" + std::to_string(r) + ", 1, " + std::string(kRows[r].cell) +
                ", xlwt.easyxf(num_format_str='" + std::string(kRows[r].format) + "'))\n";
    }
    script += "wb.save(sys.argv[1])\n";
    std::ofstream(dir.File("make.py")) << script;
    ASSERT_EQ(std::system(("/usr/bin/python3 " + dir.File("make.py") + " " + dir.File("b.xls")).c_str()), 0);
    for (const char* locale : {"en_US.UTF-8", "de_DE.UTF-8"}) {
      SCOPED_TRACE(std::string(locale) + (dates_1904 ? ", 1904" : ", 1900"));
      const RegionalSettings regional = RegionalSettings::ForLocale(locale);
      const auto engine = MakeSheetEngine(regional.format);
      const std::string out = dir.File(locale);
      std::filesystem::create_directory(out);
      mapping::ColumnList columns;
      columns.FillColumnList(2);
      columns.SetType(1, "First Name");
      columns.SetType(2, "Birthday");
      testing::RecordingMessages messages;
      testing::RecordingReporter reporter;
      testing::FixedClock clock({2026, 1, 1, 9, 5, 3});
      testing::RecordingPointer pointer;
      ExportInputs inputs{dir.File("b.xls"), "A1:B" + std::to_string(std::size(kRows)), columns, out};
      ExportServices services{messages, reporter, clock, pointer, *engine, regional.code_page, regional.dates};
      ExportRun(ExportEncoding::Utf8, inputs, services);
      ASSERT_TRUE(reporter.reports.empty());
      for (std::size_t r = 0; r < std::size(kRows); ++r) {
        const std::string bday(locale[0] == 'e' ? kRows[r].us : kRows[r].de);
        const std::string file =
            ReadBytes(out + "/UTF8_Row" + std::to_string(r + 1) + " _Row" + std::to_string(r + 1) + ".vcf");
        SCOPED_TRACE("row " + std::to_string(r + 1) + ":\n" + file);
        if (bday.empty()) {
          EXPECT_EQ(file.find("BDAY"), std::string::npos);
        } else {
          EXPECT_NE(file.find("\r\nBDAY:" + bday + "\r\n"), std::string::npos);
        }
      }
    }
  }
}

}  // namespace
}  // namespace cw::run
