#include "run/statements.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "tests/support/test_support.h"

namespace cw::run {
namespace {

TEST(ApplicationErrorText, IsDescriptionLocationLineNumberAndRequest) {
  EXPECT_EQ(ApplicationErrorText("in Tabulon5/20/2014.Form1.PushButton5_Click ", 104, "Path not found"),
            "Path not found\r\nin Tabulon5/20/2014.Form1.PushButton5_Click at line 104\r\r"
            "Please email screenshot of this message to support@marrowind.com");
  EXPECT_EQ(ApplicationErrorText("in x ", 100, "").substr(0, 7), "\r\nin x ");
}

// What the window and vcfexport show for a failure that escapes a command: never "std::bad_alloc".
TEST(FailureInWords, AFailedAllocationIsSaidInWords) {
  EXPECT_STREQ(FailureInWords(std::bad_alloc()), kOutOfMemoryText);
  EXPECT_STREQ(FailureInWords(std::runtime_error("The workbook is damaged.")), "The workbook is damaged.");
}

TEST(Statements, ReportEachFailureAndGoOn) {
  testing::RecordingReporter reporter;
  Statements s(reporter, "in L ");
  std::vector<int> ran;
  s.Step(100, [&] { ran.push_back(100); });
  s.Step(102, [&] { throw std::runtime_error("first"); });
  s.Step(104, [&] { ran.push_back(104); });
  for (int pass = 0; pass < 3; ++pass) s.Step(106, [&] { throw std::runtime_error("again"); });
  // A failing branch test counts as held.
  EXPECT_TRUE(s.Test(108, []() -> bool { throw std::out_of_range("no count"); }));
  EXPECT_FALSE(s.Test(110, [] { return false; }));
  s.Step(112, [] { throw 42; });  // a failure without a description
  EXPECT_EQ(ran, (std::vector<int>{100, 104}));
  EXPECT_EQ(reporter.Statements(), (std::vector<int>{102, 106, 106, 106, 108, 112}));
  EXPECT_EQ(reporter.reports[0].description, "first");
  EXPECT_EQ(reporter.reports[0].location, "in L ");
  EXPECT_EQ(reporter.reports.back().description, "");
}

}  // namespace
}  // namespace cw::run
