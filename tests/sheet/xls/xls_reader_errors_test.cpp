// Workbooks the reader must refuse with a clear message, hand-built where no writer at
// hand makes them, and every truncation of the real fixtures.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "sheet/cell_text.h"
#include "sheet/xls/biff_records.h"
#include "sheet/xls/compound_file.h"
#include "sheet/xls/xls_error.h"
#include "sheet/xls/xls_reader.h"
#include "tests/sheet/xls/xls_test_support.h"

namespace cw::sheet {
namespace {

using testing::B;
using testing::Bytes;
using testing::Concat;
using testing::Le16Bytes;
using testing::Le32Bytes;

using Records = std::vector<std::pair<std::uint16_t, Bytes>>;

Bytes Bof(std::uint16_t version, std::uint16_t kind) {
  return Concat({Le16Bytes(version), Le16Bytes(kind), Bytes(version == 0x0600 ? 12 : 4)});
}

struct SheetPlan {
  std::string name;
  std::uint8_t type = 0;  // BOUNDSHEET dt: 0 worksheet, 2 chart
  Records records;
};

// A workbook stream of the given BIFF version (0x0600 or 0x0500) with these sheets.
Bytes BiffStream(std::uint16_t version, const Records& globals_records, const std::vector<SheetPlan>& sheets) {
  testing::BiffBuilder globals;
  globals.Record(biff::kBof, Bof(version, 0x0005));
  for (const auto& [type, data] : globals_records) globals.Record(type, data);
  std::vector<std::size_t> positions;
  for (const SheetPlan& s : sheets) {
    positions.push_back(globals.Size() + 4);
    Bytes name = version == 0x0600 ? Concat({B({static_cast<int>(s.name.size()), 0}), testing::Latin1(s.name)})
                                   : Concat({B({static_cast<int>(s.name.size())}), testing::Latin1(s.name)});
    globals.Record(biff::kBoundSheet, Concat({Le32Bytes(0), B({0, s.type}), name}));
  }
  globals.Record(biff::kEof, Bytes{});
  Bytes stream = globals.Data();
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    testing::PutU32(stream, positions[i], static_cast<std::uint32_t>(stream.size()));
    testing::BiffBuilder sheet;
    sheet.Record(biff::kBof, Bof(version, sheets[i].type == 2 ? 0x0020 : 0x0010));
    for (const auto& [type, data] : sheets[i].records) sheet.Record(type, data);
    sheet.Record(biff::kEof, Bytes{});
    stream.insert(stream.end(), sheet.Data().begin(), sheet.Data().end());
  }
  return stream;
}

Bytes Cell(std::uint16_t row, std::uint16_t column, const Bytes& rest) {
  return Concat({Le16Bytes(row), Le16Bytes(column), Le16Bytes(0), rest});
}

std::optional<XlsErrorCode> ErrorOf(const Bytes& bytes, std::string* message = nullptr) {
  try {
    ReadXls(bytes);
  } catch (const XlsReadError& e) {
    if (message) *message = e.what();
    return e.code;
  }
  return std::nullopt;
}

std::string Shown(const Workbook& wb, std::size_t sheet, std::uint32_t row, std::uint32_t column) {
  CellTextRenderer renderer(wb);
  return renderer.Text(wb.sheets.at(sheet), row, column);
}

// ---- refused workbooks -------------------------------------------------------------------

TEST(XlsRefused, ClearErrorForEachKind) {
  const Bytes xlwt_stream = *CompoundFile(testing::ReadFixture("xlwt_cells.xls")).ReadStream(u"Workbook");
  // FILEPASS right after the globals' BOF, as Excel writes it for an encrypted workbook.
  Bytes with_filepass(xlwt_stream.begin(), xlwt_stream.begin() + 4 + 16);
  const Bytes filepass = Concat({Le16Bytes(biff::kFilePass), Le16Bytes(6), Le16Bytes(1), Le16Bytes(1), Le16Bytes(1)});
  with_filepass.insert(with_filepass.end(), filepass.begin(), filepass.end());
  with_filepass.insert(with_filepass.end(), xlwt_stream.begin() + 20, xlwt_stream.end());

  struct Case {
    const char* what;
    Bytes file;
    XlsErrorCode code;
    const char* message_part;
  };
  const Case kCases[] = {
      {"FILEPASS: password to open", testing::BuildCompoundFile({{u"Workbook", with_filepass}}),
       XlsErrorCode::kPasswordProtected, "This workbook is password-protected."},
      {"encrypted .xlsx package",
       testing::BuildCompoundFile({{u"EncryptionInfo", Bytes(200)}, {u"EncryptedPackage", Bytes(5000)}}),
       XlsErrorCode::kEncryptedPackage, "This workbook is password-protected."},
      {"Word document", testing::BuildCompoundFile({{u"WordDocument", Bytes(5000)}, {u"1Table", Bytes(300)}}),
       XlsErrorCode::kNoWorkbookStream, "Word document"},
      {"Excel 2.1", Concat({B({0x09, 0x00, 0x04, 0x00, 0x02, 0x00, 0x10, 0x00}), Bytes(20)}), XlsErrorCode::kBiff2,
       "Excel 2.1"},
      {"Excel 3.0", Concat({B({0x09, 0x02, 0x06, 0x00, 0x00, 0x00, 0x10, 0x00, 0, 0}), Bytes(20)}),
       XlsErrorCode::kBiff3, "Excel 3.0"},
      {"Excel 4.0", Concat({B({0x09, 0x04, 0x06, 0x00, 0x00, 0x00, 0x10, 0x00, 0, 0}), Bytes(20)}),
       XlsErrorCode::kBiff4, "Excel 4.0"},
      {"Excel 4.0 inside a compound file",
       testing::BuildCompoundFile({{u"Book", Concat({B({0x09, 0x04, 0x06, 0x00, 0x00, 0x00, 0x00, 0x01, 0, 0}), Bytes(5000)})}}),
       XlsErrorCode::kBiff4, "Excel 4.0"},
      {"unknown BIFF version", testing::BuildCompoundFile({{u"Workbook", BiffStream(0x0300, {}, {{"S", 0, {}}})}}),
       XlsErrorCode::kUnknownBiffVersion, "version"},
      {"sheet names that differ only in case",
       testing::BuildCompoundFile({{u"Workbook", BiffStream(0x0600, {}, {{"Kunden", 0, {}}, {"KUNDEN", 0, {}}})}}),
       XlsErrorCode::kSheetNameTwins, "differ only in case"},
      {"a chart named as a worksheet but for case",
       testing::BuildCompoundFile({{u"Workbook", BiffStream(0x0600, {}, {{"data", 2, {}}, {"Data", 0, {}}})}}),
       XlsErrorCode::kSheetNameTwins, "differ only in case"},
      {"two Workbook streams that differ only in case",
       testing::BuildCompoundFile({{u"Workbook", BiffStream(0x0600, {}, {{"A", 0, {}}})},
                                   {u"WORKBOOK", BiffStream(0x0600, {}, {{"B", 0, {}}})}}),
       XlsErrorCode::kWorkbookStreamTwins, "two workbook streams"},
      {"only chart sheets", testing::BuildCompoundFile({{u"Workbook", BiffStream(0x0600, {}, {{"Chart1", 2, {}}})}}),
       XlsErrorCode::kNoWorksheets, "no worksheet"},
      {"zip (an .xlsx given to this reader)", Concat({testing::Latin1("PK\x03\x04"), Bytes(100)}), XlsErrorCode::kNotXls,
       "Not a workbook"},
      {"text", testing::Latin1("Name,Phone\nJohn,555\n"), XlsErrorCode::kNotXls, "Not a workbook"},
      {"empty", Bytes{}, XlsErrorCode::kNotXls, "Not a workbook"},
      {"sheet position past the stream",
       [] {
         Bytes s = BiffStream(0x0600, {}, {{"S", 0, {}}});
         testing::PutU32(s, 20 + 4, 0x00FFFFFF);
         return testing::BuildCompoundFile({{u"Workbook", s}});
       }(),
       XlsErrorCode::kRecordTruncated, "incomplete"},
      {"sheet position not at a BOF",
       [] {
         Bytes s = BiffStream(0x0600, {}, {{"S", 0, {}}});
         testing::PutU32(s, 20 + 4, 20);  // the BOUNDSHEET record itself
         return testing::BuildCompoundFile({{u"Workbook", s}});
       }(),
       XlsErrorCode::kRecordDamaged, "damaged"},
      {"cell record too short",
       testing::BuildCompoundFile({{u"Workbook", BiffStream(0x0600, {}, {{"S", 0, {{biff::kNumber, Bytes(8)}}}})}}),
       XlsErrorCode::kRecordDamaged, "damaged"},
      {"string longer than its record",
       testing::BuildCompoundFile(
           {{u"Workbook", BiffStream(0x0600, {}, {{"S", 0, {{biff::kLabel, Cell(0, 0, Concat({Le16Bytes(50), B({0}), testing::Latin1("ab")}))}}}})}}),
       XlsErrorCode::kRecordDamaged, "damaged"},
      {"sheet without EOF",
       [] {
         Bytes s = BiffStream(0x0600, {}, {{"S", 0, {}}});
         s.resize(s.size() - 4);
         return testing::BuildCompoundFile({{u"Workbook", s}});
       }(),
       XlsErrorCode::kRecordTruncated, "incomplete"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    std::string message;
    EXPECT_EQ(ErrorOf(c.file, &message), c.code);
    EXPECT_NE(message.find(c.message_part), std::string::npos) << message;
  }
}

// ---- hand-built records no writer at hand produces ---------------------------------------

TEST(XlsHandBuilt, Excel95StringsInTheirCodePage) {
  // Gnumeric writes Excel 95 files with CODEPAGE 1200 only, so these are built by hand:
  // 8-bit LABEL and BOUNDSHEET strings in the code page the CODEPAGE record names.
  struct Case {
    std::uint16_t code_page;
    Bytes bytes;
    const char* shown;
  };
  const Case kCases[] = {
      {1251, B({0xC8, 0xE2, 0xE0, 0xED}), "Иван"},
      {1252, B({0x80, 0x20, 0x5A, 0x6F, 0xEB}), "€ Zoë"},
      {1250, B({0xA3, 0x75, 0x6B, 0x61, 0x73, 0x7A}), "Łukasz"},
      {1253, B({0xC1, 0xE8, 0xDE, 0xED, 0xE1}), "Αθήνα"},
      {0x8000, B({0x8A, 0x9A}), "äö"},  // Macintosh Roman
      {932, B({0x93, 0x8C, 0x8B, 0x9E}), "東京"},
      {932, B({0x41, 0xFF, 0x42}), "A\uFFFDB"},     // a byte the page lacks: the replacement character
      {65001, B({0x5A, 0x6F, 0xC3, 0xAB}), "Zoë"},  // UTF-8, as some tools declare it
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.code_page);
    const Bytes label = Cell(1, 2, Concat({Le16Bytes(static_cast<std::uint16_t>(c.bytes.size())), c.bytes}));
    const Bytes name = c.bytes;
    const Bytes stream = BiffStream(0x0500, {{biff::kCodePage, Le16Bytes(c.code_page)}},
                                    {{std::string(name.size(), '?'), 0, {{biff::kLabel, label}}}});
    // Put the code page's bytes into the sheet name as well.
    Bytes patched = stream;
    const std::size_t name_at = 4 + 8 + 4 + 2 + 4 + 4 + 2 + 1;  // BOF, CODEPAGE, BOUNDSHEET header, fields, cch
    std::copy(name.begin(), name.end(), patched.begin() + static_cast<std::ptrdiff_t>(name_at));
    const Workbook wb = ReadXls(testing::BuildCompoundFile({{u"Book", patched}}));
    EXPECT_EQ(Shown(wb, 0, 1, 2), c.shown);
    EXPECT_EQ(wb.sheets[0].Name(), c.shown);
  }
}

TEST(XlsHandBuilt, ActiveSheetCountsChartSheetsInTheTabOrder) {
  struct Case {
    std::uint16_t selected_tab;
    std::size_t active;
  };
  // Tabs: Chart1 (chart), Data, Chart2 (chart), More. Worksheets: Data = 0, More = 1.
  constexpr Case kCases[] = {{1, 0}, {3, 1}, {0, 0}, {2, 0}, {99, 0}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.selected_tab);
    const Bytes window1 = Concat({Bytes(10), Le16Bytes(c.selected_tab), Le16Bytes(0), Le16Bytes(1), Le16Bytes(600)});
    const Bytes stream = BiffStream(0x0600, {{biff::kWindow1, window1}},
                                    {{"Chart1", 2, {}},
                                     {"Data", 0, {{biff::kRk, Cell(0, 0, Le32Bytes((1u << 2) | 2))}}},
                                     {"Chart2", 2, {}},
                                     {"More", 0, {}}});
    const Workbook wb = ReadXls(testing::BuildCompoundFile({{u"Workbook", stream}}));
    ASSERT_EQ(wb.sheets.size(), 2u);
    EXPECT_EQ(wb.sheets[0].Name(), "Data");
    EXPECT_EQ(wb.active_sheet, c.active);
  }
}

TEST(XlsHandBuilt, FormulaResults) {
  const Bytes shrfmla = Bytes(10);
  auto formula = [](std::uint16_t column, const Bytes& result) {
    return Cell(0, column, Concat({result, Le16Bytes(0), Le32Bytes(0), Le16Bytes(0)}));
  };
  auto special = [](int type, int value) { return B({type, 0, value, 0, 0, 0, 0xFF, 0xFF}); };
  const Records records = {
      {biff::kFormula, formula(0, special(0, 0))},
      {0x04BC, shrfmla},  // SHRFMLA may stand between a FORMULA and its STRING
      {biff::kString, Concat({Le16Bytes(5), B({0}), testing::Latin1("hello")})},
      {biff::kFormula, formula(1, special(1, 1))},
      {biff::kFormula, formula(2, special(2, 0x2A))},
      {biff::kFormula, formula(3, special(3, 0))},
      {biff::kFormula, formula(4, special(0, 0))},  // string result whose STRING never comes
      {biff::kRk, Cell(0, 5, Le32Bytes((5u << 2) | 2))},
      {biff::kString, Concat({Le16Bytes(3), B({0}), testing::Latin1("odd")})},      // no FORMULA before it
      {biff::kFormula, formula(6, Concat({Le32Bytes(0), Le32Bytes(0x40091EB8)}))},  // 3.14 as a double
  };
  const Workbook wb = ReadXls(testing::BuildCompoundFile({{u"Workbook", BiffStream(0x0600, {}, {{"S", 0, records}})}}));
  const char* expected[] = {"hello", "TRUE", "#N/A", "", "", "5", nullptr};
  for (std::uint32_t col = 0; col < 6; ++col) {
    SCOPED_TRACE(col);
    EXPECT_EQ(Shown(wb, 0, 0, col), expected[col]);
  }
  ASSERT_NE(wb.sheets[0].Find(0, 6), nullptr);
  EXPECT_NEAR(wb.sheets[0].Find(0, 6)->number, 3.14, 1e-6);
}

TEST(XlsHandBuilt, InlineStringsOfBiff8) {
  // LABEL and RSTRING carry their string in the cell record, one-byte or UTF-16; RSTRING
  // adds formatting runs after it. Older writers use them instead of the SST.
  const Records records = {
      {biff::kLabel, Cell(0, 0, Concat({Le16Bytes(3), B({1}), testing::Utf16(u"\u0416\u00e9x")}))},
      {biff::kRString, Cell(0, 1, Concat({Le16Bytes(4), B({0}), testing::Latin1("bold"), Le16Bytes(1), Bytes(4)}))},
      {biff::kLabel, Cell(0, 2, Concat({Le16Bytes(0), B({0})}))},  // empty: no cell
      {biff::kLabel, Cell(0, 3, Concat({Le16Bytes(2), B({1}), Le16Bytes(0xD83D), Le16Bytes(0xDE00)}))},
      {biff::kLabel, Cell(0, 4, Concat({Le16Bytes(1), B({1}), Le16Bytes(0xDC00)}))},  // lone low surrogate
  };
  const Workbook wb = ReadXls(testing::BuildCompoundFile({{u"Workbook", BiffStream(0x0600, {}, {{"S", 0, records}})}}));
  EXPECT_EQ(Shown(wb, 0, 0, 0), "\u0416\u00e9x");
  EXPECT_EQ(Shown(wb, 0, 0, 1), "bold");
  EXPECT_EQ(wb.sheets[0].Find(0, 2), nullptr);
  EXPECT_EQ(Shown(wb, 0, 0, 3), "\xf0\x9f\x98\x80");
  EXPECT_EQ(Shown(wb, 0, 0, 4), "\xef\xbf\xbd");  // U+FFFD
}

TEST(XlsHandBuilt, EmbeddedChartInsideAWorksheetIsSkipped) {
  const Records records = {
      {biff::kLabel, Cell(0, 0, Concat({Le16Bytes(2), B({0}), testing::Latin1("ok")}))},
      {biff::kBof, Bof(0x0600, 0x0020)},
      {biff::kNumber, Cell(5, 5, Bytes(8))},  // belongs to the chart, not to the sheet
      {biff::kEof, Bytes{}},
      {biff::kLabel, Cell(1, 0, Concat({Le16Bytes(4), B({0}), testing::Latin1("also")}))},
  };
  const Workbook wb = ReadXls(testing::BuildCompoundFile({{u"Workbook", BiffStream(0x0600, {}, {{"S", 0, records}})}}));
  EXPECT_EQ(wb.sheets[0].Cells().size(), 2u);
  EXPECT_EQ(Shown(wb, 0, 1, 0), "also");
}

TEST(XlsHandBuilt, BareBiffStreamsReadLikeTheStreamInACompoundFile) {
  const Bytes stream = BiffStream(0x0600, {}, {{"Only", 0, {{biff::kRk, Cell(2, 1, Le32Bytes((9u << 2) | 2))}}}});
  const Workbook wb = ReadXls(stream);
  ASSERT_EQ(wb.sheets.size(), 1u);
  EXPECT_EQ(Shown(wb, 0, 2, 1), "9");
}

TEST(XlsHandBuilt, ManySheetsSharingOneSubstreamAreRefusedNotReadOverAndOver) {
  // BOUNDSHEET records all pointing at one sheet: reading each would take quadratic time
  // and memory (300 sheets of two cells 65535 rows apart: 77 MB of row index from 5 KB).
  struct Case {
    const char* what;
    int sheets;
    std::vector<std::uint16_t> rows;
  };
  std::vector<std::uint16_t> two_thousand(2000);
  for (std::uint16_t r = 0; r < 2000; ++r) two_thousand[r] = r;
  const Case kCases[] = {{"2000 cells", 3000, two_thousand}, {"two cells far apart", 300, {0, 65535}}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    testing::BiffBuilder globals;
    globals.Record(biff::kBof, Bof(0x0600, 0x0005));
    const Bytes boundsheet = Concat({Le32Bytes(0), B({0, 0, 1, 0}), testing::Latin1("S")});
    for (int i = 0; i < c.sheets; ++i) globals.Record(biff::kBoundSheet, boundsheet);
    globals.Record(biff::kEof, Bytes{});
    Bytes many = globals.Data();
    const std::uint32_t sheet_at = static_cast<std::uint32_t>(many.size());
    for (std::size_t i = 0; i < static_cast<std::size_t>(c.sheets); ++i)
      testing::PutU32(many, 20 + i * (4 + boundsheet.size()) + 4, sheet_at);
    testing::BiffBuilder sheet;
    sheet.Record(biff::kBof, Bof(0x0600, 0x0010));
    for (const std::uint16_t r : c.rows) sheet.Record(biff::kRk, Cell(r, 0, Le32Bytes((1u << 2) | 2)));
    sheet.Record(biff::kEof, Bytes{});
    many.insert(many.end(), sheet.Data().begin(), sheet.Data().end());
    EXPECT_EQ(ErrorOf(testing::BuildCompoundFile({{u"Workbook", many}})), XlsErrorCode::kRecordDamaged);
  }
}

// ---- truncation ------------------------------------------------------------------------------

bool SameCells(const Workbook& a, const Workbook& b) {
  if (a.sheets.size() != b.sheets.size()) return false;
  CellTextRenderer ra(a), rb(b);
  for (std::size_t s = 0; s < a.sheets.size(); ++s) {
    const auto ca = a.sheets[s].Cells();
    const auto cb = b.sheets[s].Cells();
    if (ca.size() != cb.size() || a.sheets[s].Name() != b.sheets[s].Name()) return false;
    for (std::size_t i = 0; i < ca.size(); ++i) {
      if (ca[i].row != cb[i].row || ca[i].column != cb[i].column || ra.Text(ca[i]) != rb.Text(cb[i])) return false;
    }
  }
  return true;
}

TEST(XlsTruncation, EveryPrefixFailsCleanlyOrReadsTheWholeWorkbook) {
  struct Case {
    const char* file;
    std::size_t step;
  };
  constexpr Case kCases[] = {
      {"xlwt_cells.xls", 1}, {"gnumeric_biff5.xls", 1}, {"xlwt_1904.xls", 3},
      {"lo_biff8.xls", 13},  {"gnumeric_dual.xls", 5},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.file);
    const Bytes file = testing::ReadFixture(c.file);
    const Workbook whole = ReadXls(file);
    std::size_t read = 0;
    for (std::size_t size = 0; size < file.size(); size += c.step) {
      const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
      try {
        const Workbook part = ReadXls(cut);
        ++read;
        EXPECT_TRUE(SameCells(part, whole)) << "prefix of " << size << " bytes read differently";
      } catch (const XlsReadError& e) {
        EXPECT_FALSE(std::string(e.what()).empty());
      }
    }
    // Writers pad the last sector, so a few prefixes that cut only padding read in full.
    EXPECT_LT(read, file.size() / c.step / 2);
  }
}

}  // namespace
}  // namespace cw::sheet
