#include "sheet/xls/xls_reader.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "sheet/cell_text.h"
#include "sheet/xls/biff_records.h"
#include "sheet/xls/compound_file.h"
#include "sheet/xls/xls_error.h"
#include "tests/sheet/xls/xls_test_support.h"

namespace cw::sheet {
namespace {

using testing::Bytes;
using testing::Concat;
using testing::Le16Bytes;
using testing::Le32Bytes;
using testing::ReadFixture;

// The texts of the long shared-string fixtures, as their scripts make them.
std::string LongText(int i) {
  std::string s;
  for (int k = 0; k < 1000; ++k) s.push_back(static_cast<char>('a' + (i + k) % 26));
  return s;
}
std::string LongWideText(int i) {
  std::string s;
  for (int k = 0; k < 1000; ++k) {
    const int c = 0x0410 + (i + k) % 32;  // Cyrillic А..Я: two UTF-8 bytes each
    s.push_back(static_cast<char>(0xC0 | (c >> 6)));
    s.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
  return s;
}

Workbook Read(const Bytes& bytes) { return ReadXls(bytes); }

// The displayed text of the cell at an A1-style position ("B3") of the named sheet.
std::string Shown(const Workbook& wb, std::string_view sheet, std::string_view a1) {
  const auto index = wb.FindSheet(sheet);
  if (!index) return "<no sheet " + std::string(sheet) + ">";
  const std::uint32_t column = static_cast<std::uint32_t>(a1[0] - 'A');
  const std::uint32_t row = static_cast<std::uint32_t>(std::stoul(std::string(a1.substr(1)))) - 1;
  CellTextRenderer renderer(wb);
  return renderer.Text(wb.sheets[*index], row, column);
}

const Cell* At(const Workbook& wb, std::string_view sheet, std::uint32_t row, std::uint32_t column) {
  const auto index = wb.FindSheet(sheet);
  return index ? wb.sheets[*index].Find(row, column) : nullptr;
}

std::vector<std::string> SheetNames(const Workbook& wb) {
  std::vector<std::string> names;
  for (const auto& s : wb.sheets) names.push_back(s.Name());
  return names;
}

XlsReadError ReadError(const Bytes& bytes) {
  try {
    ReadXls(bytes);
  } catch (const XlsReadError& e) {
    return e;
  }
  ADD_FAILURE() << "read without error";
  return XlsReadError(XlsErrorCode::kNotXls, "", 0);
}

// ---- files from real writers ------------------------------------------------------------

TEST(XlsRealWriters, DisplayedTexts) {
  struct Case {
    const char* file;
    const char* sheet;
    const char* cell;
    const char* shown;
  };
  constexpr Case kCases[] = {
      // Shared strings, one-byte and UTF-16, a surrogate pair, a rich-text string.
      {"xlwt_cells.xls", "Contacts", "A1", "John"},
      {"xlwt_cells.xls", "Contacts", "B2", "Łukasz"},
      {"xlwt_cells.xls", "Contacts", "A2", "Zoë"},
      {"xlwt_cells.xls", "Contacts", "A3", "Иван"},
      {"xlwt_cells.xls", "Contacts", "B3", "Grin 😀"},
      {"xlwt_cells.xls", "Contacts", "A10", "Rich text"},
      // RK integers, RK integers / 100, NUMBER, MULRK.
      {"xlwt_cells.xls", "Contacts", "A5", "42"},
      {"xlwt_cells.xls", "Contacts", "B5", "-7"},
      {"xlwt_cells.xls", "Contacts", "C5", "12.34"},
      {"xlwt_cells.xls", "Contacts", "D5", "1234567.891"},
      {"xlwt_cells.xls", "Contacts", "F5", "0.3"},
      {"xlwt_cells.xls", "Contacts", "G5", "536870911"},
      {"xlwt_cells.xls", "Contacts", "H5", "-536870912"},
      {"xlwt_cells.xls", "Contacts", "I5", "536870912"},
      {"xlwt_cells.xls", "Contacts", "A6", "0"},
      {"xlwt_cells.xls", "Contacts", "E6", "40"},
      // BOOLERR.
      {"xlwt_cells.xls", "Contacts", "A7", "TRUE"},
      {"xlwt_cells.xls", "Contacts", "B7", "FALSE"},
      {"xlwt_cells.xls", "Contacts", "C7", "#DIV/0!"},
      {"xlwt_cells.xls", "Contacts", "D7", "#N/A"},
      // Styled blanks show nothing.
      {"xlwt_cells.xls", "Contacts", "A9", ""},
      {"xlwt_cells.xls", "Hidden", "A1", "kept though hidden"},
      {"xlwt_cells.xls", "Third sheet", "D3", "active"},
      // LibreOffice: shared strings in code points past Latin-1, RK doubles, formulas.
      {"lo_biff8.xls", "Names", "B2", "Müller"},
      {"lo_biff8.xls", "Names", "B3", "Price €5"},
      {"lo_biff8.xls", "Names", "A5", "0.5"},
      {"lo_biff8.xls", "Names", "B5", "-0.125"},
      {"lo_biff8.xls", "Names", "C5", "12.34"},
      {"lo_biff8.xls", "Names", "D5", "42"},
      {"lo_biff8.xls", "Names", "E5", "0.0125"},
      {"lo_biff8.xls", "Names", "F5", "3.14159265358979"},
      {"lo_biff8.xls", "Names", "A7", "3"},        // =1+2: cached number
      {"lo_biff8.xls", "Names", "B7", "abcd"},     // ="ab"&"cd": cached in the STRING record
      {"lo_biff8.xls", "Names", "C7", "TRUE"},     // =1=1
      {"lo_biff8.xls", "Names", "D7", "#DIV/0!"},  // =1/0
      {"lo_biff8.xls", "Names", "E7", ""},         // ="": an empty string result
      {"lo_biff8.xls", "Names", "F7", "#N/A"},     // =NA()
      {"lo_biff8.xls", "Second", "B2", "on the active sheet"},
      // Gnumeric's Excel 95 files: 8-bit LABEL records and the older FORMAT and BOUNDSHEET.
      {"gnumeric_biff5.xls", "Contacts", "A1", "John"},
      {"gnumeric_biff5.xls", "Contacts", "A2", "Zoë"},
      {"gnumeric_biff5.xls", "Contacts", "B2", "Łukasz"},
      {"gnumeric_biff5.xls", "Contacts", "A3", "Иван"},
      {"gnumeric_biff5.xls", "Contacts", "B3", "Grin 😀"},
      {"gnumeric_biff5.xls", "Contacts", "C5", "12.34"},
      {"gnumeric_biff5.xls", "Contacts", "A7", "TRUE"},
      {"gnumeric_biff5.xls", "Contacts", "D7", "#N/A"},
      {"gnumeric_biff5.xls", "Hidden", "A1", "kept though hidden"},
      {"gnumeric_biff5.xls", "Third sheet", "D3", "active"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(::testing::Message() << c.file << " " << c.sheet << "!" << c.cell);
    const Workbook wb = Read(ReadFixture(c.file));
    EXPECT_EQ(Shown(wb, c.sheet, c.cell), c.shown);
  }
}

TEST(XlsRealWriters, ExactNumbersAndFormats) {
  struct Case {
    const char* file;
    const char* sheet;
    std::uint32_t row, column;
    double value;
    const char* format_code;  // "" for a built-in id
    std::uint32_t builtin_id;
  };
  constexpr Case kCases[] = {
      {"xlwt_cells.xls", "Contacts", 4, 4, 1e20, "General", 0},
      {"xlwt_cells.xls", "Contacts", 4, 5, 0.1 + 0.2, "General", 0},
      {"xlwt_cells.xls", "Contacts", 7, 0, 45351, "YYYY-MM-DD", 0},  // 2024-02-29, 1900 system
      {"xlwt_cells.xls", "Contacts", 7, 1, 45351.5, "", 2},          // "0.00" is built-in id 2
      {"xlwt_1904.xls", "Dates", 0, 0, 43889, "YYYY-MM-DD", 0},      // 2024-02-29, 1904 system
      {"gnumeric_biff5_1904.xls", "Dates", 0, 0, 43889, "YYYY-MM-DD", 0},
      {"lo_biff8.xls", "Names", 8, 0, 45351, "yyyy\\-mm\\-dd", 0},
      {"lo_biff8.xls", "Names", 4, 4, 0.0125, "General", 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(::testing::Message() << c.file << " " << c.sheet << " R" << c.row << "C" << c.column);
    const Workbook wb = Read(ReadFixture(c.file));
    const Cell* cell = At(wb, c.sheet, c.row, c.column);
    ASSERT_NE(cell, nullptr);
    ASSERT_EQ(cell->kind, CellKind::kNumber);
    EXPECT_EQ(cell->number, c.value);
    const std::uint32_t id = wb.FormatIdOf(cell->style);
    if (*c.format_code) {
      EXPECT_EQ(wb.CustomCode(id), c.format_code);
    } else {
      EXPECT_EQ(id, c.builtin_id);
    }
  }
}

TEST(XlsRealWriters, SheetsActiveSheetAndDateSystem) {
  struct Case {
    const char* file;
    std::vector<std::string> sheets;
    std::size_t active;
    DateSystem dates;
  };
  const Case kCases[] = {
      {"xlwt_cells.xls", {"Contacts", "Hidden", "Third sheet"}, 2, DateSystem::k1900},
      {"xlwt_1904.xls", {"Dates"}, 0, DateSystem::k1904},
      {"gnumeric_biff5_1904.xls", {"Dates"}, 0, DateSystem::k1904},
      {"lo_biff8.xls", {"Names", "Second", "Long"}, 0, DateSystem::k1900},
      {"gnumeric_biff5.xls", {"Contacts", "Hidden", "Third sheet"}, 0, DateSystem::k1900},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.file);
    const Workbook wb = Read(ReadFixture(c.file));
    EXPECT_EQ(SheetNames(wb), c.sheets);
    EXPECT_EQ(wb.active_sheet, c.active);
    EXPECT_EQ(wb.date_system, c.dates);
  }
}

TEST(XlsRealWriters, SampleWorkbookHoldsThreeContactsInA1B3) {
  const Workbook wb = Read(testing::ReadSourceFile("Samples/sample.xls"));
  ASSERT_EQ(wb.sheets.size(), 1u);
  const auto used = wb.sheets[0].UsedRange();
  ASSERT_TRUE(used);
  EXPECT_EQ(used->last_row, 2u);
  EXPECT_EQ(used->last_column, 1u);
  const std::string sheet = wb.sheets[0].Name();
  EXPECT_EQ(Shown(wb, sheet, "A1") + " " + Shown(wb, sheet, "B1"), "John Smith");
  EXPECT_EQ(Shown(wb, sheet, "A2") + " " + Shown(wb, sheet, "B2"), "Maria Garcia");
  EXPECT_EQ(Shown(wb, sheet, "A3") + " " + Shown(wb, sheet, "B3"), "Wei Chen");
}

TEST(XlsRealWriters, DualStreamFileReadsItsExcel97Stream) {
  const Workbook wb = Read(ReadFixture("gnumeric_dual.xls"));
  EXPECT_EQ(SheetNames(wb), (std::vector<std::string>{"Contacts", "Hidden", "Third sheet"}));
  EXPECT_EQ(Shown(wb, "Contacts", "B3"), "Grin 😀");
}

// ---- shared strings across CONTINUE records -------------------------------------------

// The first byte of each CONTINUE record after the SST: a string cut at the boundary
// starts the continuation with its option byte (0 one-byte, 1 UTF-16).
std::vector<int> SstContinuationStarts(const Bytes& file) {
  const auto stream = CompoundFile(file).ReadStream(u"Workbook");
  std::vector<int> starts;
  BiffCursor cursor(*stream);
  bool after_sst = false;
  while (true) {
    const BiffRecord r = cursor.Next();
    if (r.type == biff::kEof) break;  // the end of the workbook globals, which hold the SST
    if (r.type == biff::kSst) {
      after_sst = true;
    } else if (after_sst && r.type == biff::kContinue) {
      starts.push_back(r.data.empty() ? -1 : std::to_integer<int>(r.data[0]));
    } else {
      after_sst = false;
    }
  }
  return starts;
}

TEST(XlsSharedStrings, LongTableWithStringsSplitInBothForms) {
  struct Case {
    const char* file;
    const char* sheet;
  };
  constexpr Case kCases[] = {{"xlwt_long_sst.xls", "Long"}, {"lo_biff8.xls", "Long"}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.file);
    const Bytes file = ReadFixture(c.file);
    // The fixture really splits one one-byte and one UTF-16 string at a record boundary.
    const std::vector<int> starts = SstContinuationStarts(file);
    EXPECT_NE(std::find(starts.begin(), starts.end(), 0), starts.end());
    EXPECT_NE(std::find(starts.begin(), starts.end(), 1), starts.end());
    const Workbook wb = Read(file);
    for (int i = 0; i < 10; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(Shown(wb, c.sheet, "A" + std::to_string(i + 1)), LongText(i));
      if (i < 6) {
        EXPECT_EQ(Shown(wb, c.sheet, "A" + std::to_string(i + 11)), LongWideText(i));
      }
    }
  }
}

// A BIFF8 workbook with one worksheet "S": the given records after the globals' BOF and
// after the sheet's BOF.
Bytes WorkbookWithSheet(const std::vector<std::pair<std::uint16_t, Bytes>>& globals_records,
                        const std::vector<std::pair<std::uint16_t, Bytes>>& sheet_records) {
  testing::BiffBuilder sheet;
  sheet.Record(biff::kBof, Concat({Le16Bytes(0x0600), Le16Bytes(0x0010), Bytes(12)}));
  for (const auto& [type, data] : sheet_records) sheet.Record(type, data);
  sheet.Record(biff::kEof, Bytes{});

  testing::BiffBuilder globals;
  globals.Record(biff::kBof, Concat({Le16Bytes(0x0600), Le16Bytes(0x0005), Bytes(12)}));
  const std::size_t boundsheet_at = globals.Size();
  globals.Record(biff::kBoundSheet, Concat({Le32Bytes(0), Bytes{std::byte{0}, std::byte{0}, std::byte{1}, std::byte{0}},
                                            testing::Latin1("S")}));
  for (const auto& [type, data] : globals_records) globals.Record(type, data);
  globals.Record(biff::kEof, Bytes{});

  Bytes stream = globals.Data();
  testing::PutU32(stream, boundsheet_at + 4, static_cast<std::uint32_t>(stream.size()));
  stream.insert(stream.end(), sheet.Data().begin(), sheet.Data().end());
  return testing::BuildCompoundFile({{u"Workbook", stream}});
}

// An SST record and its CONTINUE records, from raw pieces, in a workbook whose one sheet
// shows string i in cell A(i+1).
Bytes WorkbookWithSst(const std::vector<Bytes>& sst_pieces, std::uint32_t count) {
  std::vector<std::pair<std::uint16_t, Bytes>> globals{
      {biff::kSst, Concat({Le32Bytes(count), Le32Bytes(count), sst_pieces[0]})}};
  for (std::size_t i = 1; i < sst_pieces.size(); ++i) globals.emplace_back(biff::kContinue, sst_pieces[i]);
  std::vector<std::pair<std::uint16_t, Bytes>> cells;
  for (std::uint32_t i = 0; i < count; ++i) {
    cells.emplace_back(biff::kLabelSst,
                       Concat({Le16Bytes(static_cast<std::uint16_t>(i)), Le16Bytes(0), Le16Bytes(0), Le32Bytes(i)}));
  }
  return WorkbookWithSheet(globals, cells);
}

using testing::B;

TEST(XlsSharedStrings, SplitsAtRecordBoundaries) {
  struct Case {
    const char* what;
    std::vector<Bytes> pieces;
    std::vector<std::string> shown;
  };
  const Case kCases[] = {
      {"one-byte string continued as UTF-16",
       {Concat({Le16Bytes(4), B({0x00}), testing::Latin1("ab")}), Concat({B({0x01}), testing::Utf16(u"\u0416\u0436")})},
       {"ab\u0416\u0436"}},
      {"UTF-16 string continued as one byte",
       {Concat({Le16Bytes(3), B({0x01}), testing::Utf16(u"\u0416")}), Concat({B({0x00}), testing::Latin1("\xe9z")})},
       {"\u0416\xc3\xa9z"}},
      {"surrogate pair split across the boundary",
       {Concat({Le16Bytes(2), B({0x01}), Le16Bytes(0xD83D)}), Concat({B({0x01}), Le16Bytes(0xDE00)})},
       {"\xf0\x9f\x98\x80"}},
      {"formatting runs and phonetic block run into the next record",
       {Concat({Le16Bytes(2), B({0x0C}), Le16Bytes(2), Le32Bytes(6), testing::Latin1("hi"), Bytes(5)}),
        Concat({Bytes(3), Bytes(6), Le16Bytes(2), B({0x00}), testing::Latin1("ok")})},
       {"hi", "ok"}},
      {"next string starts a fresh record, no option byte",
       {Concat({Le16Bytes(1), B({0x00}), testing::Latin1("x")}),
        Concat({Le16Bytes(1), B({0x01}), testing::Utf16(u"y")})},
       {"x", "y"}},
      {"empty CONTINUE record in between",
       {Concat({Le16Bytes(2), B({0x00}), testing::Latin1("a")}), Bytes{}, Concat({B({0x00}), testing::Latin1("b")})},
       {"ab"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    const Workbook wb = Read(WorkbookWithSst(c.pieces, static_cast<std::uint32_t>(c.shown.size())));
    for (std::size_t i = 0; i < c.shown.size(); ++i) {
      EXPECT_EQ(Shown(wb, "S", "A" + std::to_string(i + 1)), c.shown[i]);
    }
  }
}

TEST(XlsSharedStrings, BrokenTablesGiveTheirError) {
  struct Case {
    const char* what;
    std::vector<Bytes> pieces;
    std::uint32_t count;
    XlsErrorCode expected;
  };
  const Case kCases[] = {
      {"characters run out",
       {Concat({Le16Bytes(5), B({0x00}), testing::Latin1("ab")})},
       1,
       XlsErrorCode::kRecordTruncated},
      {"phonetic block longer than the data",
       {Concat({Le16Bytes(1), B({0x04}), Le32Bytes(0x7FFFFFFF), testing::Latin1("a")})},
       1,
       XlsErrorCode::kRecordTruncated},
      {"half a UTF-16 character before the boundary",
       {Concat({Le16Bytes(2), B({0x01}), B({0x41})}), Concat({B({0x01}), testing::Utf16(u"AB")})},
       1,
       XlsErrorCode::kRecordDamaged},
      {"cell refers past the table",
       {Concat({Le16Bytes(1), B({0x00}), testing::Latin1("a")})},
       2,
       XlsErrorCode::kRecordDamaged},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ReadError(WorkbookWithSst(c.pieces, c.count)).code, c.expected);
  }
}

// ---- RK numbers --------------------------------------------------------------------------

TEST(XlsNumbers, RkValuesOfAllFourKinds) {
  struct Case {
    std::uint32_t rk;
    double value;
  };
  constexpr Case kCases[] = {
      {0x3FF00000, 1.0},           // double, top 30 bits
      {0x3FF00001, 0.01},          // double / 100
      {(42u << 2) | 2, 42.0},      // 30-bit integer
      {(1234u << 2) | 3, 12.34},   // 30-bit integer / 100
      {0xFFFFFFFE, -1.0},          // negative integer
      {0x80000002, -536870912.0},  // smallest integer
      {0xC0000000, -2.0},          // negative double
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.rk);
    EXPECT_EQ(DecodeRk(c.rk), c.value);
  }
}

TEST(XlsNumbers, RealWritersUseTheIntegerRkKinds) {
  // xlwt, LibreOffice and Gnumeric write RK only for integers and integers / 100 and a
  // NUMBER record for every other value; Excel also writes the two double kinds, which
  // the hand-built MULRK below covers.
  const auto stream = CompoundFile(ReadFixture("xlwt_cells.xls")).ReadStream(u"Workbook");
  std::set<unsigned> kinds;
  std::set<std::uint16_t> types;
  BiffCursor cursor(*stream);
  for (int eof = 0; eof < 2;) {
    const BiffRecord r = cursor.Next();
    types.insert(r.type);
    if (r.type == biff::kEof) ++eof;
    if (r.type == biff::kRk) kinds.insert(Le32(r.data, 6) & 3);
    if (r.type == biff::kMulRk) {
      for (std::size_t at = 4; at + 6 <= r.data.size(); at += 6) kinds.insert(Le32(r.data, at + 2) & 3);
    }
  }
  EXPECT_EQ(kinds, (std::set<unsigned>{2, 3}));
  EXPECT_TRUE(types.count(biff::kMulRk));
  EXPECT_TRUE(types.count(biff::kNumber));
}

TEST(XlsNumbers, MulRkWithAllFourKinds) {
  const Bytes mulrk = Concat({Le16Bytes(3), Le16Bytes(1),                  // row 4, from column B
                              Le16Bytes(0), Le32Bytes(0x3FE00000),         // 0.5: double
                              Le16Bytes(0), Le32Bytes(0x3FF40001),         // 1.25 / 100: double / 100
                              Le16Bytes(0), Le32Bytes((7u << 2) | 2),      // 7: integer
                              Le16Bytes(0), Le32Bytes((12345u << 2) | 3),  // 123.45: integer / 100
                              Le16Bytes(4)});                              // last column E
  const Workbook wb = Read(WorkbookWithSheet({}, {{biff::kMulRk, mulrk}}));
  EXPECT_EQ(Shown(wb, "S", "B4"), "0.5");
  EXPECT_EQ(Shown(wb, "S", "C4"), "0.0125");
  EXPECT_EQ(Shown(wb, "S", "D4"), "7");
  EXPECT_EQ(Shown(wb, "S", "E4"), "123.45");
  EXPECT_EQ(Shown(wb, "S", "F4"), "");
}

}  // namespace
}  // namespace cw::sheet
