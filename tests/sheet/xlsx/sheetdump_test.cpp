// sheetdump's output and exit codes, run as the program it is.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <xlsxwriter.h>

#include <array>
#include <cstdio>

#include "tests/sheet/xlsx/test_package.h"

namespace cw::sheet {
namespace {

struct ToolRun {
  std::string out;
  int exit_code;
};

ToolRun RunSheetdump(const std::string& arguments) {
  const std::string command = std::string(CW_SHEETDUMP) + " " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return {"", -1};
  ToolRun run;
  std::array<char, 4096> buffer;
  std::size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), got);
  const int status = pclose(pipe);
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

TEST(Sheetdump, PrintsEveryCellWithItsDisplayedTextEscaped) {
  testing::TempDir dir;
  const std::string written = dir.File("written.xlsx");
  testing::WriteWorkbook(written, [](lxw_workbook* book) {
    lxw_worksheet* first = workbook_add_worksheet(book, "Plain");
    lxw_worksheet* second = workbook_add_worksheet(book, "Second");
    worksheet_write_string(first, 0, 0, "a\tb\\c", nullptr);
    worksheet_write_string(first, 0, 2, "line1\r\nline2", nullptr);
    worksheet_write_number(first, 2, 1, 2.5, nullptr);
    worksheet_write_boolean(second, 0, 0, 1, nullptr);
    worksheet_activate(second);
  });
  // Sheet names with a backslash cannot be written by libxlsxwriter; rename in the XML.
  testing::Parts parts = testing::ReadParts(written);
  std::string& workbook = parts.at("xl/workbook.xml");
  workbook.replace(workbook.find("name=\"Plain\""), 12, "name=\"Pl\\ain\"");
  const std::string path = dir.File("dump me.xlsx");
  testing::WriteFile(path, testing::ZipBytes(parts));

  const ToolRun run = RunSheetdump(Quoted(path));
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out,
            "#active\tSecond\n"
            "Pl\\\\ain\tA1\ta\\tb\\\\c\n"
            "Pl\\\\ain\tC1\tline1\\r\\nline2\n"
            "Pl\\\\ain\tB3\t2.5\n"
            "Second\tA1\tTRUE\n");
}

TEST(Sheetdump, AnUnreadableWorkbookPrintsTheErrorAndExitsOne) {
  testing::TempDir dir;
  testing::WriteFile(dir.File("list.xls"), std::string("Name,Phone\n"));
  const ToolRun run = RunSheetdump(Quoted(dir.File("list.xls")));
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.out.find("CSV"), std::string::npos) << run.out;
  EXPECT_EQ(RunSheetdump(Quoted(dir.File("none.xlsx"))).exit_code, 1);
  EXPECT_EQ(RunSheetdump("").exit_code, 2);
}

}  // namespace
}  // namespace cw::sheet
