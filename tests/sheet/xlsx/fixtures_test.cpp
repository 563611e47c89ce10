// The committed .xlsx fixtures (tests/fixtures/xlsx/README.md), read through the engine.
#include <gtest/gtest.h>

#include "sheet/engine.h"

namespace cw::sheet {
namespace {

std::string Fixture(const char* name) { return std::string(CW_FIXTURES_DIR) + "/xlsx/" + name; }

TEST(XlsxFixtures, StrictPackageWithoutReferences) {
  struct Case {
    std::string_view address;
    std::uint32_t row, column;
    std::string_view text;
  };
  constexpr Case kCases[] = {
      {"People!A1", 1, 1, "First Name"}, {"People!A1", 2, 2, "Lee Jr."}, {"People!A1", 2, 3, "42"},
      {"B3", 3, 2, "call back"},         {"B3", 3, 3, "TRUE"},           {"B3", 1, 1, ""},
  };
  Application app;
  OpenedWorkbook& book = app.Open(Fixture("strict_no_refs.xlsx"));
  ASSERT_EQ(book.Model().sheets.size(), 2u);
  EXPECT_EQ(book.Model().sheets[1].Name(), "Notes & more");
  EXPECT_EQ(book.Model().active_sheet, 1u);
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(book.CellText(book.GetRange(c.address), c.row, c.column), c.text);
  }
  EXPECT_EQ(book.Address(book.GetRange("People!A:B")), "People!$A$1:$B$2");
  EXPECT_EQ(book.Address(book.GetRange("'Notes & more'!1:3")), "$B$1:$C$3");
}

TEST(XlsxFixtures, ContactsWorkbookFromTheBenchmarkGenerator) {
  Application app;
  OpenedWorkbook& book = app.Open(Fixture("contacts_5_rows.xlsx"));
  const Range block = book.GetRange("A:L");
  EXPECT_EQ(book.Address(block), "$A$1:$L$6");
  EXPECT_EQ(book.CellText(block, 1, 12), "Notes");
  EXPECT_EQ(book.CellText(block, 2, 3), "contact1@example.com");
  EXPECT_EQ(book.CellText(block, 6, 12), "Met at event 5\nCall back in spring");
  const Workbook& model = book.Model();
  const auto code_of = [&](std::uint32_t column) {
    const Cell* cell = model.sheets[0].Find(1, column);
    return cell ? std::string(model.CustomCode(model.FormatIdOf(cell->style))) : std::string("(empty)");
  };
  EXPECT_EQ(code_of(3), "(###) ###-####");
  EXPECT_EQ(code_of(7), "00000");
  EXPECT_EQ(code_of(9), "yyyy-mm-dd");
}

}  // namespace
}  // namespace cw::sheet
