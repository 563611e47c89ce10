#include "sheet/xlsx/xlsx_reader.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <optional>
#include <string>

#include "sheet/address.h"
#include "sheet/cell_text.h"
#include "sheet/xlsx/xlsx_error.h"
#include "sheet/xlsx/xlsx_values.h"
#include "sheet/xlsx/zip_package.h"
#include "tests/sheet/xlsx/test_package.h"

namespace cw::sheet {
namespace {

using testing::MinimalParts;
using testing::Parts;
using testing::ZipBytes;

// "A1=text|B1=text" for every non-empty cell of sheet `index`, row-major.
std::string Dump(const Workbook& book, std::size_t index = 0) {
  CellTextRenderer renderer(book);
  std::string out;
  for (const Cell& cell : book.sheets.at(index).Cells()) {
    if (!out.empty()) out += '|';
    out += ColumnLetters(cell.column + 1u) + std::to_string(cell.row + 1u) + "=" + renderer.Text(cell);
  }
  return out;
}

Workbook Read(const Parts& parts) { return ReadXlsx(ZipBytes(parts)); }

// The error code a read of `parts` fails with; the test fails when it does not.
XlsxError ReadFailure(const Parts& parts) {
  try {
    Read(parts);
  } catch (const XlsxError& e) {
    return e;
  }
  ADD_FAILURE() << "the read succeeded";
  return XlsxError(XlsxErrorCode::kNotZip, "", "", 0, 0);
}

struct CellCase {
  std::string_view label;
  std::string sheet_data;
  std::vector<std::string> shared;
  std::string expected;
};

TEST(XlsxCells, EveryValueTypeReadsAsItsDisplayedText) {
  const CellCase cases[] = {
      {"number",
       R"(<row r="1"><c r="A1"><v>42</v></c><c r="B1"><v>-0.5</v></c><c r="C1"><v> 12 </v></c></row>)",
       {},
       "A1=42|B1=-0.5|C1=12"},
      {"shared string", R"(<row r="1"><c r="A1" t="s"><v>1</v></c></row>)", {"<t>zero</t>", "<t>one</t>"}, "A1=one"},
      {"rich-text runs joined",
       R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)",
       {R"(<r><rPr><b/></rPr><t>Bold</t></r><r><t xml:space="preserve"> plain</t></r>)"},
       "A1=Bold plain"},
      {"phonetic reading left out",
       R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)",
       {"<t>東京</t><rPh sb=\"0\" eb=\"2\"><t>トウキョウ</t></rPh>"},
       "A1=東京"},
      {"inline string", R"(<row r="1"><c r="A1" t="inlineStr"><is><t>inline</t></is></c></row>)", {}, "A1=inline"},
      {"inline rich text",
       R"(<row r="1"><c r="A1" t="inlineStr"><is><r><t>in</t></r><r><t>line</t></r></is></c></row>)",
       {},
       "A1=inline"},
      {"formula string result", R"(<row r="1"><c r="A1" t="str"><f>"a"&amp;"b"</f><v>ab</v></c></row>)", {}, "A1=ab"},
      {"formula number result", R"(<row r="1"><c r="A1"><f>1+2</f><v>3</v></c></row>)", {}, "A1=3"},
      {"formula without cached result is empty",
       R"(<row r="1"><c r="A1"><f>1+2</f></c><c r="B1"><v>1</v></c></row>)",
       {},
       "B1=1"},
      {"booleans",
       R"(<row r="1"><c r="A1" t="b"><v>1</v></c><c r="B1" t="b"><v>0</v></c></row>)",
       {},
       "A1=TRUE|B1=FALSE"},
      {"errors",
       R"(<row r="1"><c r="A1" t="e"><v>#DIV/0!</v></c><c r="B1" t="e"><f>A1</f><v>#N/A</v></c></row>)",
       {},
       "A1=#DIV/0!|B1=#N/A"},
      {"newer error codes show as their text",
       R"(<row r="1"><c r="A1" t="e"><v>#SPILL!</v></c></row>)",
       {},
       "A1=#SPILL!"},
      {"ISO date cell",
       R"(<row r="1"><c r="A1" t="d"><v>2024-02-29</v></c><c r="B1" t="d"><v>1900-01-01T12:00:00</v></c></row>)",
       {},
       "A1=45351|B1=1.5"},
      {"formatted empty cell stays empty", R"(<row r="1"><c r="A1" s="0"/><c r="B1"><v>5</v></c></row>)", {}, "B1=5"},
      {"escaped characters decoded",
       R"(<row r="1"><c r="A1" t="inlineStr"><is><t>a_x000D_b_x005F_x0041_</t></is></c></row>)",
       {},
       "A1=a\rb_x0041_"},
      {"cells without r follow each other",
       R"(<row><c><v>1</v></c><c><v>2</v></c></row><row><c><v>3</v></c></row>)",
       {},
       "A1=1|B1=2|A2=3"},
      {"a cell without r follows a cell with one",
       R"(<row r="3"><c r="C3"><v>1</v></c><c><v>2</v></c></row>)",
       {},
       "C3=1|D3=2"},
      {"a row without r follows a numbered row",
       R"(<row r="5"><c><v>1</v></c></row><row><c><v>2</v></c></row>)",
       {},
       "A5=1|A6=2"},
      {"prefixed elements",
       R"(<x:row xmlns:x="urn:x" r="1"><x:c r="A1" t="s"><x:v>0</x:v></x:c></x:row>)",
       {"<t>p</t>"},
       "A1=p"},
      {"a row without r follows the references of the row before",
       R"(<row><c r="B4"><v>1</v></c></row><row><c><v>2</v></c></row>)",
       {},
       "B4=1|A5=2"},
      {"inline string without its type", R"(<row r="1"><c r="A1"><is><t>bare</t></is></c></row>)", {}, "A1=bare"},
      {"cells out of order are sorted",
       R"(<row r="2"><c r="B2"><v>2</v></c></row><row r="1"><c r="A1"><v>1</v></c></row>)",
       {},
       "A1=1|B2=2"},
      {"last cell of the sheet", R"(<row r="1048576"><c r="XFD1048576"><v>9</v></c></row>)", {}, "XFD1048576=9"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Dump(Read(MinimalParts(c.sheet_data, c.shared))), c.expected);
  }
}

struct FailureCase {
  std::string_view label;
  std::string sheet_data;
  std::vector<std::string> shared;
  XlsxErrorCode code;
  std::string_view named;  // text the description must contain
};

TEST(XlsxCells, BadCellsAreErrorsNamingPartAndCell) {
  const FailureCase cases[] = {
      {"column beyond XFD",
       R"(<row r="1"><c r="XFE1"><v>1</v></c></row>)",
       {},
       XlsxErrorCode::kBadCellReference,
       "XFE1"},
      {"row beyond 1048576",
       R"(<row r="1"><c r="A1048577"><v>1</v></c></row>)",
       {},
       XlsxErrorCode::kBadCellReference,
       "A1048577"},
      {"malformed reference", R"(<row r="1"><c r="1A"><v>1</v></c></row>)", {}, XlsxErrorCode::kBadCellReference, "1A"},
      {"row zero", R"(<row r="0"><c><v>1</v></c></row>)", {}, XlsxErrorCode::kBadRowNumber, "\"0\""},
      {"row not a number", R"(<row r="x"><c><v>1</v></c></row>)", {}, XlsxErrorCode::kBadRowNumber, "\"x\""},
      {"shared string past the table",
       R"(<row r="1"><c r="B1" t="s"><v>1</v></c></row>)",
       {"<t>only</t>"},
       XlsxErrorCode::kStringIndex,
       "B1"},
      {"shared string without a table",
       R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)",
       {},
       XlsxErrorCode::kStringIndex,
       "A1"},
      {"style past cellXfs", R"(<row r="1"><c r="C1" s="3"><v>1</v></c></row>)", {}, XlsxErrorCode::kStyleIndex, "C1"},
      {"number that is not", R"(<row r="1"><c r="A1"><v>abc</v></c></row>)", {}, XlsxErrorCode::kBadValue, "abc"},
      {"number that is infinite", R"(<row r="1"><c r="A1"><v>1e999</v></c></row>)", {}, XlsxErrorCode::kBadValue, "A1"},
      {"boolean that is not", R"(<row r="1"><c r="A1" t="b"><v>2</v></c></row>)", {}, XlsxErrorCode::kBadValue, "A1"},
      {"unknown cell type", R"(<row r="1"><c r="A1" t="zz"><v>1</v></c></row>)", {}, XlsxErrorCode::kBadValue, "zz"},
      {"date that is not",
       R"(<row r="1"><c r="A1" t="d"><v>2023-02-29</v></c></row>)",
       {},
       XlsxErrorCode::kBadValue,
       "A1"},
      {"a cell after XFD",
       "<row r=\"1\"><c r=\"XFD1\"><v>1</v></c><c><v>2</v></c></row>",
       {},
       XlsxErrorCode::kBadCellReference,
       "XFD1"},
      {"unclosed element",
       R"(<row r="1"><c r="A1"><v>1</v></row>)",
       {},
       XlsxErrorCode::kXmlMalformed,
       "xl/worksheets/sheet1.xml"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const XlsxError e = ReadFailure(MinimalParts(c.sheet_data, c.shared));
    EXPECT_EQ(e.code, c.code) << e.what();
    EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos) << e.what();
    if (c.code != XlsxErrorCode::kXmlMalformed) {
      EXPECT_NE(std::string(e.what()).find("xl/worksheets/sheet1.xml"), std::string::npos) << e.what();
    }
  }
}

// A fault in a part's XML is placed by the part, and the line and column (in characters) in it.
TEST(XlsxReader, MalformedXmlSaysWhereInItsPart) {
  const XlsxError e = ReadFailure(MinimalParts("\n<row r=\"1\"><c r=\"A1\" t=\"str\"><v>Zoë</v></row>"));
  EXPECT_EQ(e.code, XlsxErrorCode::kXmlMalformed) << e.what();
  EXPECT_EQ(e.part, "xl/worksheets/sheet1.xml");
  EXPECT_EQ(e.line, 2u);
  EXPECT_EQ(e.column, 42u);  // the name in "</row>", counted in characters ("ë" is one)
  EXPECT_NE(std::string(e.what()).find("at line 2"), std::string::npos) << e.what();
}

TEST(XlsxPackage, DoctypeIsRefusedInEveryPart) {
  const std::string laughs =
      "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\"><!ENTITY lol2 \"&lol;&lol;&lol;&lol;\">]>";
  for (const std::string part : {"_rels/.rels", "xl/workbook.xml", "xl/_rels/workbook.xml.rels", "xl/styles.xml",
                                 "xl/sharedStrings.xml", "xl/worksheets/sheet1.xml"}) {
    SCOPED_TRACE(part);
    Parts parts = MinimalParts(R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)", {"<t>s</t>"});
    std::string& xml = parts.at(part);
    xml.replace(0, xml.find("?>") + 2, laughs);
    const XlsxError e = ReadFailure(parts);
    EXPECT_EQ(e.code, XlsxErrorCode::kDoctype) << e.what();
    EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
  }
}

TEST(XlsxPackage, WorkbookFactsAreRead) {
  Parts parts = MinimalParts(R"(<row r="1"><c r="A1" s="1"><v>1234</v></c><c r="B1" s="2"><v>0.5</v></c></row>)", {},
                             R"(<numFmt numFmtId="164" formatCode="00000"/>)",
                             R"(<xf numFmtId="0"/><xf numFmtId="164"/><xf numFmtId="10"/>)");
  std::string& workbook = parts.at("xl/workbook.xml");
  workbook.replace(workbook.find("<sheets>"), 8,
                   "<workbookPr date1904=\"1\"/><bookViews><workbookView activeTab=\"1\"/>"
                   "<workbookView activeTab=\"0\"/></bookViews><sheets>");
  workbook.replace(workbook.find("</sheets>"), 9,
                   "<sheet name=\"Zweite Seite\" sheetId=\"2\" r:id=\"rId9\"/></sheets>");
  std::string& rels = parts.at("xl/_rels/workbook.xml.rels");
  rels.replace(rels.find("</Relationships>"), 16,
               "<Relationship Id=\"rId9\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
               "relationships/worksheet\" Target=\"/xl/worksheets/other.xml\"/></Relationships>");
  parts["xl/worksheets/other.xml"] =
      "<worksheet><sheetData><row r=\"2\"><c r=\"B2\"><v>7</v></c></row></sheetData></worksheet>";

  const Workbook book = Read(parts);
  ASSERT_EQ(book.sheets.size(), 2u);
  EXPECT_EQ(book.sheets[0].Name(), "Sheet1");
  EXPECT_EQ(book.sheets[1].Name(), "Zweite Seite");
  EXPECT_EQ(book.active_sheet, 1u);
  EXPECT_EQ(book.date_system, DateSystem::k1904);
  const Cell* zip = book.sheets[0].Find(0, 0);
  ASSERT_NE(zip, nullptr);
  EXPECT_EQ(book.FormatIdOf(zip->style), 164u);
  EXPECT_EQ(book.CustomCode(164), "00000");
  EXPECT_EQ(book.FormatIdOf(book.sheets[0].Find(0, 1)->style), 10u);
  EXPECT_EQ(Dump(book, 1), "B2=7");
}

TEST(XlsxPackage, ActiveTabPastTheSheetsFallsBackToTheFirst) {
  Parts parts = MinimalParts("");
  std::string& workbook = parts.at("xl/workbook.xml");
  workbook.replace(workbook.find("<sheets>"), 8, "<bookViews><workbookView activeTab=\"7\"/></bookViews><sheets>");
  const Workbook book = Read(parts);
  EXPECT_EQ(book.active_sheet, 0u);
  EXPECT_FALSE(book.sheets[0].UsedRange());
}

// Parts are found through the relationships wherever they lie, with relative, ".." and
// absolute targets, in the Strict namespaces too.
TEST(XlsxPackage, PartsAreFoundThroughRelationships) {
  const std::string strict_rel = "http://purl.oclc.org/ooxml/officeDocument/relationships/";
  Parts parts;
  parts["_rels/.rels"] = "<Relationships><Relationship Id=\"a\" Type=\"" + strict_rel +
                         "officeDocument\" Target=\"book/main%20part.xml\"/></Relationships>";
  parts["book/main part.xml"] =
      "<workbook xmlns=\"http://purl.oclc.org/ooxml/spreadsheetml/main\" xmlns:rel=\"" +
      strict_rel.substr(0, strict_rel.size() - 1) +
      "\"><sheets><sheet name=\"Data\" sheetId=\"1\" rel:id=\"s1\"/><sheet name=\"Chart\" sheetId=\"2\" rel:id=\"c1\"/>"
      "</sheets></workbook>";
  parts["book/_rels/main part.xml.rels"] = "<Relationships><Relationship Id=\"s1\" Type=\"" + strict_rel +
                                           "worksheet\" Target=\"../data/./s.xml\"/>"
                                           "<Relationship Id=\"c1\" Type=\"" +
                                           strict_rel +
                                           "chartsheet\" Target=\"/charts/c.xml\"/>"
                                           "<Relationship Id=\"x\" Type=\"" +
                                           strict_rel +
                                           "sharedStrings\" Target=\"/strings.xml\"/>"
                                           "<Relationship Id=\"h\" Type=\"" +
                                           strict_rel +
                                           "hyperlink\" Target=\"http://example.invalid/\" TargetMode=\"External\"/>"
                                           "</Relationships>";
  parts["data/s.xml"] =
      "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row></sheetData></worksheet>";
  parts["strings.xml"] = "<sst><si><t>strict</t></si></sst>";
  // Decoys where a guess would look.
  parts["xl/workbook.xml"] = "<workbook><sheets><sheet name=\"Wrong\" r:id=\"rId1\"/></sheets></workbook>";
  parts["xl/worksheets/sheet1.xml"] = "<worksheet/>";
  const Workbook book = Read(parts);
  ASSERT_EQ(book.sheets.size(), 2u);
  EXPECT_EQ(book.sheets[0].Name(), "Data");
  EXPECT_EQ(Dump(book), "A1=strict");
  EXPECT_EQ(book.sheets[1].Name(), "Chart");
  EXPECT_FALSE(book.sheets[1].UsedRange());
}

struct PackageFailure {
  std::string_view label;
  std::function<void(Parts&)> change;
  XlsxErrorCode code;
};

TEST(XlsxPackage, BrokenPackagesAreClearErrors) {
  const PackageFailure cases[] = {
      {"no package relationships", [](Parts& p) { p.erase("_rels/.rels"); }, XlsxErrorCode::kNotWorkbookPackage},
      {"an OpenDocument spreadsheet",
       [](Parts& p) {
         p = Parts{{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}, {"content.xml", "<x/>"}};
       },
       XlsxErrorCode::kOpenDocument},
      {"a Word document",
       [](Parts& p) { p["xl/workbook.xml"] = "<w:document xmlns:w=\"urn:w\"><w:body/></w:document>"; },
       XlsxErrorCode::kOtherOfficeDocument},
      {"an Excel binary workbook",
       [](Parts& p) {
         p["_rels/.rels"] =
             "<Relationships><Relationship Id=\"r\" Type=\"http://schemas.openxmlformats.org/"
             "officeDocument/2006/relationships/officeDocument\" Target=\"xl/workbook.bin\"/>"
             "</Relationships>";
         p["xl/workbook.bin"] = std::string("\x83\x01\x00\x80\x01", 5);
       },
       XlsxErrorCode::kBinaryWorkbook},
      {"workbook part missing", [](Parts& p) { p.erase("xl/workbook.xml"); }, XlsxErrorCode::kMissingPart},
      {"sheet part missing", [](Parts& p) { p.erase("xl/worksheets/sheet1.xml"); }, XlsxErrorCode::kMissingPart},
      {"shared strings part missing", [](Parts& p) { p.erase("xl/sharedStrings.xml"); }, XlsxErrorCode::kMissingPart},
      {"sheet without relationship", [](Parts& p) { p.erase("xl/_rels/workbook.xml.rels"); }, XlsxErrorCode::kBadValue},
      {"no sheets", [](Parts& p) { p["xl/workbook.xml"] = "<workbook><sheets/></workbook>"; },
       XlsxErrorCode::kNoSheets},
      {"workbook part not XML", [](Parts& p) { p["xl/workbook.xml"] = "\x01\x02 garbage"; },
       XlsxErrorCode::kXmlMalformed},
      {"empty workbook part", [](Parts& p) { p["xl/workbook.xml"] = ""; }, XlsxErrorCode::kXmlMalformed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    Parts parts = MinimalParts(R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)", {"<t>s</t>"});
    c.change(parts);
    const XlsxError e = ReadFailure(parts);
    EXPECT_EQ(e.code, c.code) << e.what();
    EXPECT_FALSE(std::string(e.what()).empty());
  }
}

TEST(XlsxPackage, NotAZipIsAnError) {
  const std::string text = "PK\x03\x04 but not really a zip archive";
  std::vector<std::byte> bytes(text.size());
  std::memcpy(bytes.data(), text.data(), text.size());
  try {
    ReadXlsx(bytes);
    FAIL() << "read succeeded";
  } catch (const XlsxError& e) {
    EXPECT_EQ(e.code, XlsxErrorCode::kNotZip);
  }
}

TEST(XlsxLimits, AZipBombIsRefusedBeforeItIsInflated) {
  // 16 MiB of comments deflate to a few KiB.
  std::string rows;
  rows.reserve(16u << 20);
  while (rows.size() < (16u << 20)) rows += "<!-- padding -->";
  const std::string sheet = "<worksheet><sheetData>" + rows + "</sheetData></worksheet>";
  Parts parts = MinimalParts("");
  parts["xl/worksheets/sheet1.xml"] = sheet;
  const XlsxError e = ReadFailure(parts);
  EXPECT_EQ(e.code, XlsxErrorCode::kPartRatioTooHigh) << e.what();
  EXPECT_NE(std::string(e.what()).find("xl/worksheets/sheet1.xml"), std::string::npos);
}

// Tags far longer than any workbook has are refused before they are buffered whole (stored,
// so that the ratio cap stays out of the way); long text is read (see WhatRealWorkbooksHoldStillReads).
TEST(XlsxLimits, OverlongItemsAreRefused) {
  struct Case {
    std::string_view label;
    Parts parts;
    XlsxErrorCode code;
  };
  const Case cases[] = {
      {"attribute",
       MinimalParts("<row r=\"1\"><c r=\"A1\" x=\"" + std::string(5u << 20, 'y') + "\"><v>1</v></c></row>"),
       XlsxErrorCode::kPartTooLarge},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    try {
      ReadXlsx(ZipBytes(c.parts, /*stored=*/true));
      ADD_FAILURE() << "read succeeded";
    } catch (const XlsxError& e) {
      EXPECT_EQ(e.code, c.code) << e.what();
    }
  }
}

TEST(XlsxLimits, CapsOnPartSizeCellsAndStringsHold) {
  const auto bytes = ZipBytes(MinimalParts(
      R"(<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c></row>)", {"<t>a</t>", "<t>b</t>"}));
  struct LimitCase {
    std::string_view label;
    xlsx::PartLimits part;
    xlsx::WorkbookLimits book;
    XlsxErrorCode code;
  };
  const LimitCase cases[] = {
      {"part size", {200, 1u << 20, 250}, {}, XlsxErrorCode::kPartTooLarge},
      {"ratio", {1u << 30, 16, 1}, {}, XlsxErrorCode::kPartRatioTooHigh},
      {"cells", {}, {1, 100, 100, 100}, XlsxErrorCode::kTooManyCells},
      {"strings", {}, {100, 1, 100, 100}, XlsxErrorCode::kTooManyStrings},
      {"styles", {}, {100, 100, 0, 100}, XlsxErrorCode::kBadValue},
      {"row span", {}, {100, 100, 100, 0}, XlsxErrorCode::kTooManyRows},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const xlsx::ZipPackage package(bytes, c.part);
    try {
      xlsx::ReadPackage(package, c.book);
      ADD_FAILURE() << "read succeeded";
    } catch (const XlsxError& e) {
      EXPECT_EQ(e.code, c.code) << e.what();
    }
  }
}

// A large part is inflated ahead on a thread of its own: its reader gives the same bytes, and
// the same error after the same bytes, as one that inflates each chunk when asked.
TEST(XlsxLimits, ReadingAheadGivesTheSameBytesAndErrors) {
  std::string big;  // 3 MiB of varied cells, well over the size from which parts are read ahead
  for (int i = 0; big.size() < (std::size_t{3} << 20); ++i) {
    big += "<c r=\"A" + std::to_string(i) + "\"><v>" + std::to_string(i * 7919 % 100003) + "</v></c>";
  }
  const auto whole = ZipBytes({{"big.xml", big}});
  auto damaged = whole;
  damaged[damaged.size() / 2] ^= std::byte{0x5A};  // inside the deflated data
  xlsx::PartLimits low_ratio;
  low_ratio.max_ratio = 2;  // the cells compress better than that: refused from the stated sizes
  struct Outcome {
    std::string bytes;
    std::string error;
  };
  const auto read = [](const std::vector<std::byte>& zip, const xlsx::PartLimits& limits, bool ahead,
                       std::size_t give_up_after = std::string::npos) {
    const xlsx::ZipPackage package(zip, limits);
    Outcome out;
    try {
      xlsx::PartReader reader(package, "big.xml");
      if (ahead) reader.ReadAhead();
      for (auto chunk = reader.Next(); !chunk.empty() && out.bytes.size() < give_up_after; chunk = reader.Next()) {
        out.bytes.append(chunk.data(), chunk.size());
      }
    } catch (const XlsxError& e) {
      out.error = e.what();
    }
    return out;
  };
  const struct {
    const char* label;
    const std::vector<std::byte>& zip;
    xlsx::PartLimits limits;
  } cases[] = {{"whole", whole, {}}, {"damaged", damaged, {}}, {"over the ratio", whole, low_ratio}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const Outcome plain = read(c.zip, c.limits, false);
    const Outcome ahead = read(c.zip, c.limits, true);
    EXPECT_EQ(ahead.bytes, plain.bytes);
    EXPECT_EQ(ahead.error, plain.error);
    EXPECT_EQ(plain.error.empty(), c.zip == whole && c.limits.max_ratio != 2) << plain.error;
  }
  EXPECT_EQ(read(whole, {}, true).bytes, big);
  // A reader given up after its first chunk stops its thread on the way out.
  EXPECT_LT(read(whole, {}, true, 1).bytes.size(), big.size());
}

// Sheets whose cells lie far apart each need a row index as long as the gap; together they
// are held to a budget.
TEST(XlsxLimits, RowSpanOfAllSheetsIsCapped) {
  Parts parts =
      MinimalParts(R"(<row r="1"><c r="A1"><v>1</v></c></row><row r="1048576"><c r="A1048576"><v>2</v></c></row>)");
  const auto bytes = ZipBytes(parts);
  xlsx::WorkbookLimits limits;
  limits.max_row_span = 1048576;
  EXPECT_EQ(xlsx::ReadPackage(xlsx::ZipPackage(bytes), limits).sheets[0].Cells().size(), 2u);
  limits.max_row_span = 1048575;
  try {
    xlsx::ReadPackage(xlsx::ZipPackage(bytes), limits);
    ADD_FAILURE() << "read succeeded";
  } catch (const XlsxError& e) {
    EXPECT_EQ(e.code, XlsxErrorCode::kTooManyRows) << e.what();
  }
}

// A package whose entries name one part twice shows one content to one reader and another
// to the next; it is refused, naming both entries. Exact duplicates are written under a
// stand-in name of the same length and patched, as libzip will not write them.
TEST(XlsxPackage, TwoEntriesForOnePartAreRefused) {
  const std::string sheet = "xl/worksheets/sheet1.xml";
  struct Case {
    std::string_view label;
    std::string second;  // the name of the second entry
    std::string patched;
  };
  const Case cases[] = {
      {"same name", "xl/worksheets/sheet1.xmZ", sheet},
      {"case differs", "XL/Worksheets/Sheet1.xml", ""},
      {"backslashes", "xl\\worksheets\\sheet1.xml", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    Parts parts = MinimalParts(R"(<row r="1"><c r="A1"><v>1</v></c></row>)");
    parts[c.second] = "<worksheet><sheetData><row r=\"1\"><c r=\"A1\"><v>2</v></c></row></sheetData></worksheet>";
    std::vector<std::byte> bytes = ZipBytes(parts);
    if (!c.patched.empty()) {
      std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
      for (std::size_t at = text.find(c.second); at != std::string::npos; at = text.find(c.second, at + 1)) {
        std::memcpy(bytes.data() + at, c.patched.data(), c.patched.size());
      }
    }
    try {
      ReadXlsx(bytes);
      ADD_FAILURE() << "read succeeded";
    } catch (const XlsxError& e) {
      EXPECT_EQ(e.code, XlsxErrorCode::kAmbiguousPackage) << e.what();
      EXPECT_NE(std::string(e.what()).find("two entries for one part"), std::string::npos) << e.what();
    }
  }
}

// Crafted files of a few KB that once cost minutes or gigabytes end early with a clear error:
// each part is read at most once, all parts together inflate to a bounded multiple of the
// file, an unfinished XML item is measured from where it began, and row indexes are held to
// what the cells justify.
TEST(XlsxLimits, SmallHostileFilesAreRefused) {
  const std::string ns = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
  const auto many_sheets = [&](int count, bool own_relationships) {
    Parts parts = MinimalParts(R"(<row r="1"><c r="A1"><v>1</v></c></row>)");
    std::string sheets, rels;
    for (int i = 0; i < count; ++i) {
      const std::string id = own_relationships ? "rS" + std::to_string(i) : "rId1";
      sheets +=
          "<sheet name=\"S" + std::to_string(i) + "\" sheetId=\"" + std::to_string(i + 1) + "\" r:id=\"" + id + "\"/>";
      if (own_relationships) {
        rels += "<Relationship Id=\"" + id + "\" Type=\"" + ns + "worksheet\" Target=\"worksheets/sheet1.xml\"/>";
      }
    }
    std::string& workbook = parts.at("xl/workbook.xml");
    const std::size_t from = workbook.find("<sheets>") + 8;
    workbook.replace(from, workbook.find("</sheets>") - from, sheets);
    std::string& book_rels = parts.at("xl/_rels/workbook.xml.rels");
    book_rels.insert(book_rels.find("</Relationships>"), rels);
    return parts;
  };
  // Sheets that each hold 1 MiB of long inline strings, under the per-part ratio floor.
  const auto long_strings = [&](int sheets) {
    std::string row = "<row>";
    for (int c = 0; c < 30; ++c) row += "<c t=\"inlineStr\"><is><t>" + std::string(32'000, 'x') + "</t></is></c>";
    Parts parts = MinimalParts(row + "</row>");
    for (int i = 2; i <= sheets; ++i) {
      parts.at("xl/workbook.xml")
          .insert(parts.at("xl/workbook.xml").find("</sheets>"),
                  "<sheet name=\"S" + std::to_string(i) + "\" r:id=\"rS" + std::to_string(i) + "\"/>");
      parts.at("xl/_rels/workbook.xml.rels")
          .insert(parts.at("xl/_rels/workbook.xml.rels").find("</Relationships>"),
                  "<Relationship Id=\"rS" + std::to_string(i) + "\" Type=\"" + ns +
                      "worksheet\" Target=\"worksheets/s" + std::to_string(i) + ".xml\"/>");
      parts["xl/worksheets/s" + std::to_string(i) + ".xml"] = parts.at("xl/worksheets/sheet1.xml");
    }
    return parts;
  };
  std::string comment = "<!--";
  while (comment.size() < (5u << 20)) comment += std::string(300, 'y') + ">";
  Parts long_comment = MinimalParts("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>" + comment + " -->");
  Parts far_rows = MinimalParts(R"(<row r="1"><c r="A1"><v>1</v></c></row><row r="1048576"><c><v>2</v></c></row>)");
  for (const char* name : {"S2", "S3"}) {
    far_rows.at("xl/workbook.xml")
        .insert(far_rows.at("xl/workbook.xml").find("</sheets>"),
                std::string("<sheet name=\"") + name + "\" r:id=\"r" + name + "\"/>");
    far_rows.at("xl/_rels/workbook.xml.rels")
        .insert(far_rows.at("xl/_rels/workbook.xml.rels").find("</Relationships>"),
                "<Relationship Id=\"r" + std::string(name) + "\" Type=\"" + ns + "worksheet\" Target=\"worksheets/" +
                    name + ".xml\"/>");
    far_rows["xl/worksheets/" + std::string(name) + ".xml"] = far_rows.at("xl/worksheets/sheet1.xml");
  }
  // A second sheet whose name folds to the first one's ("Straße" and "STRASSE" under full folding).
  Parts twins = MinimalParts(R"(<row r="1"><c r="A1"><v>1</v></c></row>)");
  std::string& twin_book = twins.at("xl/workbook.xml");
  twin_book.replace(twin_book.find("Sheet1"), 6, "Straße");
  twin_book.insert(twin_book.find("</sheets>"), "<sheet name=\"STRASSE\" r:id=\"rT\"/>");
  twins.at("xl/_rels/workbook.xml.rels")
      .insert(twins.at("xl/_rels/workbook.xml.rels").find("</Relationships>"),
              "<Relationship Id=\"rT\" Type=\"" + ns + "worksheet\" Target=\"worksheets/t.xml\"/>");
  twins["xl/worksheets/t.xml"] = twins.at("xl/worksheets/sheet1.xml");
  Parts many_rels = MinimalParts("");
  std::string extra;
  for (int i = 0; i < 100'000; ++i) {
    extra += "<Relationship Id=\"x" + std::to_string(i) + "\" Type=\"" + ns + "image\" Target=\"m/i.png\"/>";
  }
  many_rels.at("xl/_rels/workbook.xml.rels")
      .insert(many_rels.at("xl/_rels/workbook.xml.rels").find("</Relationships>"), extra);
  struct Case {
    std::string_view label;
    Parts parts;
    bool stored;
    XlsxErrorCode code;
    std::string_view says;
  };
  const Case cases[] = {
      {"sheet names that differ only in case", twins, false, XlsxErrorCode::kSheetNameTwins,
       "two sheets named \"Straße\" and \"STRASSE\""},
      {"more relationships than the limit", many_rels, true, XlsxErrorCode::kBadValue,
       "more than 100,000 relationships"},
      {"sheets on one relationship", many_sheets(2000, false), false, XlsxErrorCode::kPartNamedTwice,
       "the sheets \"S0\" and \"S1\" both name it"},
      {"sheets on one part", many_sheets(2000, true), false, XlsxErrorCode::kPartNamedTwice, "both name it"},
      {"long strings over many parts", long_strings(40), false, XlsxErrorCode::kPackageRatioTooHigh, "together unpack"},
      {"long comment with a > every 300 bytes", long_comment, true, XlsxErrorCode::kPartTooLarge, "single item"},
      {"row indexes beyond the cells", far_rows, false, XlsxErrorCode::kTooManyRows, "span more than 2097248 rows"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const auto bytes = ZipBytes(c.parts, c.stored);
    if (!c.stored) {
      EXPECT_LT(bytes.size(), 64'000u);
    }
    try {
      ReadXlsx(bytes);
      ADD_FAILURE() << "read succeeded";
    } catch (const XlsxError& e) {
      EXPECT_EQ(e.code, c.code) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
    }
  }
}

// Within the budgets, the same shapes read: a long comment below the item cap (parsed while
// its input is held back), shared and inline strings past a spreadsheet program's 32,767
// characters (read whole, as libraries write them), and two sheets far apart in rows.
TEST(XlsxLimits, WhatRealWorkbooksHoldStillReads) {
  std::string comment = "<!--";
  while (comment.size() < (3u << 20)) comment += std::string(300, 'y') + ">";
  const std::string cell = "<row r=\"2\"><c r=\"B2\"><v>5</v></c></row>";
  const std::string note = std::string(100'000, 'x') + "\xC3\xA9";
  EXPECT_EQ(Dump(ReadXlsx(ZipBytes(MinimalParts(comment + " -->" + cell), true))), "B2=5");
  const Workbook long_cells = Read(MinimalParts(
      R"(<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="inlineStr"><is><t>)" + note + "</t></is></c></row>",
      {"<t>" + note + "</t>"}));
  EXPECT_EQ(Dump(long_cells), "A1=" + note + "|B1=" + note);
  // A number is never that long: such a value is damage.
  EXPECT_EQ(ReadFailure(MinimalParts("<row><c><v>" + std::string(300'000, '1') + "</v></c></row>")).code,
            XlsxErrorCode::kBadValue);
  const Workbook far = Read(
      MinimalParts(R"(<row r="1"><c r="A1"><v>1</v></c></row><row r="1048576"><c r="A1048576"><v>2</v></c></row>)"));
  EXPECT_EQ(far.sheets[0].Cells().size(), 2u);
}

TEST(XlsxPackage, PasswordProtectedZipEntriesSaySo) {
  testing::TempDir dir;
  const std::string path = dir.File("locked.xlsx");
  const Parts parts = MinimalParts(R"(<row r="1"><c r="A1"><v>1</v></c></row>)");
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  for (const auto& [name, content] : parts) {
    zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
    const zip_int64_t index = zip_file_add(archive, name.c_str(), source, 0);
    ASSERT_GE(index, 0);
    if (zip_file_set_encryption(archive, static_cast<zip_uint64_t>(index), ZIP_EM_AES_256, "secret") != 0) {
      zip_discard(archive);
      GTEST_SKIP() << "this libzip cannot write encrypted entries";
    }
  }
  ASSERT_EQ(zip_close(archive), 0);
  try {
    ReadXlsx(testing::FileBytes(path));
    FAIL() << "read succeeded";
  } catch (const XlsxError& e) {
    EXPECT_EQ(e.code, XlsxErrorCode::kEncrypted) << e.what();
    EXPECT_NE(std::string(e.what()).find("password-protected"), std::string::npos);
  }
}

TEST(XlsxHelpers, IsoDatesBecomeSerialNumbers) {
  struct Case {
    std::string_view text;
    DateSystem system;
    std::optional<double> serial;
  };
  const Case cases[] = {
      {"1900-01-01", DateSystem::k1900, 1},
      {"1900-02-28", DateSystem::k1900, 59},
      {"1900-03-01", DateSystem::k1900, 61},  // serial 60 is the 29 Feb 1900 that never was
      {"2024-02-29", DateSystem::k1900, 45351},
      {"1904-01-01", DateSystem::k1904, 0},
      {"2024-02-29", DateSystem::k1904, 45351 - 1462},
      {"2024-02-29T18:00:00Z", DateSystem::k1900, 45351.75},
      {"T06:00:00", DateSystem::k1900, 0.25},
      {"2024-13-01", DateSystem::k1900, std::nullopt},
      {"2023-02-29", DateSystem::k1900, std::nullopt},
      {"2024-02-29T25:00", DateSystem::k1900, std::nullopt},
      {"yesterday", DateSystem::k1900, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto serial = xlsx::IsoDateSerial(c.text, c.system);
    ASSERT_EQ(serial.has_value(), c.serial.has_value());
    if (c.serial) {
      EXPECT_DOUBLE_EQ(*serial, *c.serial);
    }
  }
}

// Whole numbers take a shorter way than other numbers; both must read what <v> means.
TEST(XlsxHelpers, CellNumbersReadAsTheirValue) {
  struct Case {
    std::string_view text;
    std::optional<double> value;
  };
  const Case kCases[] = {
      {"5551234567", 5551234567.0},
      {" 007 ", 7.0},
      {"-42", -42.0},
      {"+12", 12.0},
      {"999999999999999", 999999999999999.0},
      {"12345678901234567890", 12345678901234567890.0},
      {"1.5e3", 1500.0},
      {"-0.25", -0.25},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"12a", std::nullopt},
      {"1e999", std::nullopt},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(xlsx::ParseNumber(c.text), c.value);
  }
  const auto negative_zero = xlsx::ParseNumber("-0");
  ASSERT_TRUE(negative_zero);
  EXPECT_TRUE(std::signbit(*negative_zero));
}

TEST(XlsxHelpers, EscapedCharactersDecode) {
  struct Case {
    std::string_view text;
    std::string_view decoded;
  };
  constexpr Case kCases[] = {
      {"plain", "plain"},
      {"a_x000D__x000A_b", "a\r\nb"},
      {"_x005F_x000D_", "_x000D_"},
      {"_x00e9_", "\xC3\xA9"},
      {"_xD83D__xDE00_", "\xF0\x9F\x98\x80"},
      {"_xD83D_", "\xEF\xBF\xBD"},
      {"_x12_", "_x12_"},
      {"_xZZZZ_", "_xZZZZ_"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(xlsx::DecodeXstring(std::string(c.text)), c.decoded);
  }
}

}  // namespace
}  // namespace cw::sheet
