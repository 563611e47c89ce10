// The OpenDocument reader, driven as the engine drives it: LibreOffice's own fixtures through
// sheetdump against what LibreOffice shows, small documents written here for what LibreOffice
// cannot be made to write, and hostile files that must end quickly with a clear error.
#include "sheet/ods/ods_reader.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sheet/cell_text.h"
#include "sheet/workbook_file.h"
#include "sheet/xlsx/xlsx_error.h"
#include "tests/sheet/xlsx/test_package.h"

namespace cw::sheet {
namespace {

std::vector<std::byte> Bytes(const std::string& text) {
  std::vector<std::byte> bytes(text.size());
  if (!text.empty()) std::memcpy(bytes.data(), text.data(), text.size());
  return bytes;
}

// A flat document: `settings` inside office:settings, `styles` inside office:styles,
// `automatic` inside office:automatic-styles, `tables` inside office:spreadsheet.
std::string Flat(const std::string& tables, const std::string& styles = {}, const std::string& automatic = {},
                 const std::string& settings = {}) {
  return R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0"
 xmlns:config="urn:oasis:names:tc:opendocument:xmlns:config:1.0"
 xmlns:calcext="urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 office:mimetype="application/vnd.oasis.opendocument.spreadsheet">)" +
         (settings.empty() ? "" : "<office:settings>" + settings + "</office:settings>") + "<office:styles>" + styles +
         "</office:styles><office:automatic-styles>" + automatic +
         "</office:automatic-styles><office:body><office:spreadsheet>" + tables +
         "</office:spreadsheet></office:body></office:document>";
}

std::string Table(const std::string& name, const std::string& rows) {
  return "<table:table table:name=\"" + name + "\">" + rows + "</table:table>";
}

// Every non-empty cell as "Sheet!A1=text", in sheetdump's order.
std::string Dump(const Workbook& book) {
  CellTextRenderer renderer(book);
  std::string out;
  for (const Worksheet& sheet : book.sheets) {
    for (const Cell& cell : sheet.Cells()) {
      std::string column;
      for (std::uint32_t c = cell.column + 1; c > 0; c = (c - 1) / 26)
        column.insert(column.begin(), char('A' + (c - 1) % 26));
      out += sheet.Name() + "!" + column + std::to_string(cell.row + 1) + "=" + renderer.Text(cell) + ";";
    }
  }
  return out;
}

std::string RunSheetdump(const std::string& path) {
  FILE* pipe = popen((std::string(CW_SHEETDUMP) + " '" + path + "' 2>&1").c_str(), "r");
  std::string out;
  std::array<char, 4096> buffer;
  std::size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), got);
  pclose(pipe);
  return out;
}

// What LibreOffice showed for each cell of its own fixtures (the .expected files beside them),
// against sheetdump, every cell.
TEST(OdsFixtures, SheetdumpShowsWhatLibreOfficeShows) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(CW_FIXTURES_DIR) / "ods")) {
    if (entry.path().extension() != ".expected") continue;
    const std::string workbook = entry.path().parent_path() / entry.path().stem();
    const std::string name = entry.path().stem().string();
    SCOPED_TRACE(name);
    ++files;
    std::ifstream in(entry.path());
    std::stringstream expected;
    expected << in.rdbuf();
    std::istringstream want(expected.str()), got(RunSheetdump(workbook));
    std::string want_line, got_line;
    while (std::getline(want, want_line)) {
      ASSERT_TRUE(std::getline(got, got_line)) << "missing: " << want_line;
      EXPECT_EQ(got_line, want_line);
    }
    EXPECT_FALSE(std::getline(got, got_line)) << "more than LibreOffice shows: " << got_line;
  }
  EXPECT_GE(files, 11);
}

// What a cell shows, for what LibreOffice writes and for what other writers may.
TEST(OdsCells, ShowWhatTheirValueAndStyleShow) {
  const std::string styles =
      R"(<number:date-style style:name="N1" number:language="ru" number:country="RU"><number:day/><number:text> </number:text><number:month number:textual="true" number:style="long"/></number:date-style>)"
      R"(<number:date-style style:name="N2"><number:week-of-year/></number:date-style>)"
      R"(<number:number-style style:name="N3P0" number:language="de" number:country="DE"><number:number number:decimal-places="2" number:min-integer-digits="1" number:grouping="true"/></number:number-style>)"
      R"(<number:number-style style:name="N3"><number:text>minus </number:text><number:number number:decimal-places="0" number:min-integer-digits="1"/><style:map style:condition="value()&gt;=0" style:apply-style-name="N3P0"/></number:number-style>)"
      R"(<number:time-style style:name="N4" number:truncate-on-overflow="false"><number:hours/><number:text>:</number:text><number:minutes number:style="long"/></number:time-style>)"
      R"(<number:number-style style:name="N5"><number:number number:decimal-places="0" number:min-integer-digits="1"><number:embedded-text number:position="4">-</number:embedded-text></number:number></number:number-style>)"
      R"(<style:style style:name="Dated" style:family="table-cell" style:data-style-name="N1"/>)"
      R"(<style:style style:name="Child" style:family="table-cell" style:parent-style-name="Dated"/>)";
  const std::string automatic =
      R"(<style:style style:name="week" style:family="table-cell" style:data-style-name="N2"/>)"
      R"(<style:style style:name="money" style:family="table-cell" style:data-style-name="N3"/>)"
      R"(<style:style style:name="hours" style:family="table-cell" style:data-style-name="N4"/>)"
      R"(<style:style style:name="phone" style:family="table-cell" style:data-style-name="N5"/>)";
  struct Case {
    std::string_view label, cell, shown;
  };
  const Case cases[] = {
      {"text:s, tab and line break",
       "<table:table-cell><text:p>a<text:s text:c=\"3\"/>b<text:tab/>c<text:line-break/>d</text:p></table:table-cell>",
       "a   b\tc\nd"},
      {"paragraphs join with LF",
       "<table:table-cell "
       "office:value-type=\"string\"><text:p>one</text:p><text:p/><text:p>three</text:p></table:table-cell>",
       "one\n\nthree"},
      {"annotation never shows",
       "<table:table-cell "
       "office:value-type=\"string\"><office:annotation><text:p>note</text:p></office:annotation><text:p>shown</"
       "text:p></table:table-cell>",
       "shown"},
      {"string-value wins",
       "<table:table-cell office:value-type=\"string\" "
       "office:string-value=\"value\"><text:p>paragraph</text:p></table:table-cell>",
       "value"},
      {"value over its paragraph",
       "<table:table-cell office:value-type=\"float\" office:value=\"0.1\"><text:p>stale</text:p></table:table-cell>",
       "0.1"},
      {"error from its paragraph",
       "<table:table-cell office:value-type=\"float\" office:value=\"0\" "
       "calcext:value-type=\"error\"><text:p>#N/A</text:p></table:table-cell>",
       "#N/A"},
      {"boolean without a style: General shows its number",
       "<table:table-cell office:value-type=\"boolean\" office:boolean-value=\"false\"/>", "0"},
      {"date and time: LibreOffice's serial, without a 29 Feb 1900",
       "<table:table-cell office:value-type=\"date\" office:date-value=\"1900-02-28T12:00:00\"/>", "60.5"},
      {"time",
       "<table:table-cell table:style-name=\"hours\" office:value-type=\"time\" office:time-value=\"P1DT2H30M\"/>",
       "26:30"},
      {"style through parent, genitive month",
       "<table:table-cell table:style-name=\"Child\" office:value-type=\"date\" office:date-value=\"2023-03-15\"/>",
       "15 марта"},
      {"map and the style's own locale",
       "<table:table-cell table:style-name=\"money\" office:value-type=\"currency\" office:value=\"1234.5\"/>",
       "1.234,50"},
      {"negative in the style's own section",
       "<table:table-cell table:style-name=\"money\" office:value-type=\"float\" office:value=\"-7\"/>", "minus 7"},
      {"embedded text",
       "<table:table-cell table:style-name=\"phone\" office:value-type=\"float\" office:value=\"1234567\"/>",
       "123-4567"},
      {"a style beyond the renderer shows the stored text",
       "<table:table-cell table:style-name=\"week\" office:value-type=\"date\" "
       "office:date-value=\"2023-03-15\"><text:p>11</text:p></table:table-cell>",
       "11"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const Workbook book = ReadOds(
        Bytes(Flat(Table("S", "<table:table-row>" + std::string(c.cell) + "</table:table-row>"), styles, automatic)));
    EXPECT_EQ(Dump(book), "S!A1=" + std::string(c.shown) + ";");
  }
}

// LibreOffice's rules where its own files never show them: documents of other writers.
TEST(OdsCells, ShowByLibreOfficeRules) {
  const auto language = [](std::string_view western, std::string_view asian) {
    return "<style:default-style style:family=\"table-cell\"><style:text-properties " + std::string(western) + " " +
           std::string(asian) + "/></style:default-style>";
  };
  const std::string de = language(R"(fo:language="de" fo:country="DE")", "");
  const std::string styles =
      R"(<number:number-style style:name="P"><number:number number:decimal-places="2" number:min-integer-digits="1" number:grouping="true"/></number:number-style>)"
      R"(<number:text-style style:name="Z"><number:text>zero</number:text></number:text-style>)"
      R"(<number:number-style style:name="N"><number:text>-</number:text><number:number number:decimal-places="0" number:min-integer-digits="1"/>)"
      R"(<style:map style:condition="value()&gt;0" style:apply-style-name="P"/><style:map style:condition="value()=0" style:apply-style-name="Z"/></number:number-style>)"
      R"(<number:date-style style:name="W"><number:day-of-week number:style="long"/></number:date-style>)"
      R"(<number:date-style style:name="D"><number:year number:style="long"/><number:text>-</number:text><number:month number:style="long"/><number:text>-</number:text><number:day number:style="long"/></number:date-style>)"
      R"(<number:time-style style:name="T" number:truncate-on-overflow="false"><number:hours number:style="long"/><number:text>:</number:text><number:minutes number:style="long"/></number:time-style>)"
      R"(<number:boolean-style style:name="B"><number:boolean/></number:boolean-style>)"
      R"(<style:style style:name="p" style:family="table-cell" style:data-style-name="N"/>)"
      R"(<style:style style:name="w" style:family="table-cell" style:data-style-name="W"/>)"
      R"(<style:style style:name="d" style:family="table-cell" style:data-style-name="D"/>)"
      R"(<style:style style:name="t" style:family="table-cell" style:data-style-name="T"/>)"
      R"(<style:style style:name="b" style:family="table-cell" style:data-style-name="B"/>)";
  const auto cell = [](std::string_view style, std::string_view value) {
    return "<table:table-cell" + (style.empty() ? std::string() : " table:style-name=\"" + std::string(style) + "\"") +
           " " + std::string(value) + "/>";
  };
  struct Case {
    std::string_view label;
    std::string language;
    std::string cell;
    std::string_view shown;
  };
  const Case cases[] = {
      {"three maps: the negative style writes the only minus", "",
       cell("p", R"(office:value-type="float" office:value="-5")"), "-5"},
      {"the same for a positive number", de, cell("p", R"(office:value-type="float" office:value="1234.5")"),
       "1.234,50"},
      {"no style: General in the document's language", de,
       cell("", R"(office:value-type="float" office:value="1234.5")"), "1234,5"},
      {"a Japanese system's document",
       language(R"(fo:language="en" fo:country="US")", R"(style:language-asian="ja" style:country-asian="JP")"),
       cell("w", R"(office:value-type="date" office:date-value="1990-05-01")"), "火曜日"},
      {"an English system's document",
       language(R"(fo:language="en" fo:country="US")", R"(style:language-asian="zh" style:country-asian="CN")"),
       cell("w", R"(office:value-type="date" office:date-value="1990-05-01")"), "Tuesday"},
      {"before 1582: the Julian calendar", "", cell("d", R"(office:value-type="date" office:date-value="1499-12-23")"),
       "1499-12-14"},
      {"before 1900", "", cell("d", R"(office:value-type="date" office:date-value="1850-06-15")"), "1850-06-15"},
      {"a negative duration", "", cell("t", R"(office:value-type="time" office:time-value="-PT36H30M")"), "-36:30"},
      {"a boolean style without a language", "",
       cell("b", R"(office:value-type="boolean" office:boolean-value="true")"), "TRUE"},
      {"a boolean style in the document's language", de,
       cell("b", R"(office:value-type="boolean" office:boolean-value="false")"), "FALSCH"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const Workbook book =
        ReadOds(Bytes(Flat(Table("S", "<table:table-row>" + c.cell + "</table:table-row>"), c.language + styles)));
    EXPECT_EQ(Dump(book), "S!A1=" + std::string(c.shown) + ";");
  }
  // A document that names no language shows in the user's, German here.
  FormatLocale german;
  german.locale_id = "de_DE";
  german.decimal_separator = ',';
  german.thousands_separator = '.';
  const Workbook plain = ReadOds(Bytes(
      Flat(Table("S", "<table:table-row>" + cell("w", R"(office:value-type="date" office:date-value="1990-05-01")") +
                          cell("b", R"(office:value-type="boolean" office:boolean-value="true")") +
                          cell("", R"(office:value-type="float" office:value="1234.5")") + "</table:table-row>"),
           styles)));
  CellTextRenderer renderer(plain, german);
  EXPECT_EQ(renderer.Text(plain.sheets[0], 0, 0), "Dienstag");
  EXPECT_EQ(renderer.Text(plain.sheets[0], 0, 1), "WAHR");
  EXPECT_EQ(renderer.Text(plain.sheets[0], 0, 2), "1234,5");
}

// A date style LibreOffice marks as its language's own short or long date
// (number:format-source="language") shows that language's date from LibreOffice's locale
// data, whatever elements it writes; what LibreOffice 7.4 showed for 1 May 1990 and
// 31 Dec 2023 in each language.
TEST(OdsCells, LanguagesOwnDatesShowAsLibreOfficeShowsThem) {
  struct Case {
    std::string_view language, country, short1990, short2023, long1990, long2023;
  };
  const Case cases[] = {
      {"en", "US", "5/1/90", "12/31/23", "Tuesday, May 1, 1990", "Sunday, December 31, 2023"},
      {"en", "GB", "01/05/90", "31/12/23", "Tuesday 1 May 1990", "Sunday 31 December 2023"},
      {"de", "DE", "01.05.90", "31.12.23", "Dienstag, 1. Mai 1990", "Sonntag, 31. Dezember 2023"},
      {"de", "AT", "01.05.1990", "31.12.2023", "Dienstag, 01. Mai 1990", "Sonntag, 31. Dezember 2023"},
      {"de", "CH", "1.05.90", "31.12.23", "Dienstag, 01. Mai 1990", "Sonntag, 31. Dezember 2023"},
      {"fr", "FR", "01/05/1990", "31/12/2023", "mardi 1 mai 1990", "dimanche 31 décembre 2023"},
      {"fr", "CH", "1.05.90", "31.12.23", "mardi, 01. mai 1990", "dimanche, 31. décembre 2023"},
      {"fr", "CA", "90-5-1", "23-12-31", "mardi 1 mai 1990", "dimanche 31 décembre 2023"},
      {"it", "IT", "01/05/90", "31/12/23", "martedì 01 maggio 1990", "domenica 31 dicembre 2023"},
      {"es", "ES", "1/05/90", "31/12/23", "martes, 1 de mayo de 1990", "domingo, 31 de diciembre de 2023"},
      {"es", "MX", "1/05/90", "31/12/23", "martes 1 de mayo de 1990", "domingo 31 de diciembre de 2023"},
      {"nl", "NL", "1-05-90", "31-12-23", "dinsdag 1 mei 1990", "zondag 31 december 2023"},
      {"pt", "BR", "01/05/90", "31/12/23", "terça-feira, 1 de maio de 1990", "domingo, 31 de dezembro de 2023"},
      {"pl", "PL", "90-5-1", "23-12-31", "wtorek 01 maja 1990", "niedziela 31 grudnia 2023"},
      {"ru", "RU", "1.5.90", "31.12.23", "вторник, 01 мая, 1990", "воскресенье, 31 декабря, 2023"},
      {"uk", "UA", "1.5.90", "31.12.23", "вівторок, 01 травня, 1990", "неділя, 31 грудня, 2023"},
      {"cs", "CZ", "1. 5. 1990", "31. 12. 2023", "úterý, 01. května 1990", "neděle, 31. prosince 2023"},
      {"sv", "SE", "1990-05-01", "2023-12-31", "tisdag 1 maj 1990", "söndag 31 december 2023"},
      {"da", "DK", "01-05-90", "31-12-23", "tirsdag 1. maj 1990", "søndag 31. december 2023"},
      {"fi", "FI", "1.5.1990", "31.12.2023", "tiistai 1. toukokuuta 1990", "sunnuntai 31. joulukuuta 2023"},
      {"nb", "NO", "01.05.90", "31.12.23", "tirsdag 01. mai 1990", "søndag 31. desember 2023"},
      {"hu", "HU", "1990. 05. 01.", "2023. 12. 31.", "1990. május 1., kedd", "2023. december 31., vasárnap"},
      {"tr", "TR", "01.05.90", "31.12.23", "Salı 1.Mayıs.1990", "Pazar 31.Aralık.2023"},
      {"ja", "JP", "90/5/1", "23/12/31", "1990年05月01日（火曜日）", "2023年12月31日（日曜日）"},
      {"zh", "CN", "90年5月1日", "23年12月31日", "1990年5月1日　星期二", "2023年12月31日　星期日"},
      {"zh", "TW", "1990/5/1", "2023/12/31", "1990年5月1日 星期二", "2023年12月31日 星期日"},
      {"ko", "KR", "90년 5월 1일", "23년 12월 31일", "1990년 5월 1일 화요일", "2023년 12월 31일 일요일"},
      {"el", "GR", "1/5/1990", "31/12/2023", "Τρίτη, 1 Μαΐου 1990", "Κυριακή, 31 Δεκεμβρίου 2023"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.language) + "-" + std::string(c.country));
    const std::string attributes = " number:language=\"" + std::string(c.language) + "\" number:country=\"" +
                                   std::string(c.country) + "\" number:format-source=\"language\"";
    // The elements LibreOffice on another system may write: other than the language's own.
    const std::string styles =
        "<number:date-style style:name=\"S\"" + attributes +
        "><number:day number:style=\"long\"/><number:text>/</number:text><number:month/></number:date-style>"
        "<number:date-style style:name=\"L\"" +
        attributes +
        "><number:day-of-week number:style=\"long\"/><number:text> </number:text><number:day number:style=\"long\"/>"
        "<number:text> </number:text><number:month number:textual=\"true\" number:style=\"long\"/></number:date-style>"
        "<style:style style:name=\"s\" style:family=\"table-cell\" style:data-style-name=\"S\"/>"
        "<style:style style:name=\"l\" style:family=\"table-cell\" style:data-style-name=\"L\"/>";
    std::string rows;
    for (const char* date : {"1990-05-01", "2023-12-31"}) {
      rows += "<table:table-row>";
      for (const char* style : {"s", "l"}) {
        rows += "<table:table-cell table:style-name=\"" + std::string(style) +
                "\" office:value-type=\"date\" office:date-value=\"" + date + "\"/>";
      }
      rows += "</table:table-row>";
    }
    EXPECT_EQ(Dump(ReadOds(Bytes(Flat(Table("S", rows), styles)))),
              "S!A1=" + std::string(c.short1990) + ";S!B1=" + std::string(c.long1990) +
                  ";S!A2=" + std::string(c.short2023) + ";S!B2=" + std::string(c.long2023) + ";");
  }
}

// Repeats, covered cells and sheets: as LibreOffice lays a sheet out, and what the engine needs.
TEST(OdsSheets, RepeatsCoveredCellsAndTheActiveSheet) {
  const std::string first =
      Table("First",
            "<table:table-column table:number-columns-repeated=\"16384\"/>"
            "<table:table-row table:number-rows-repeated=\"2\"><table:table-cell table:number-columns-repeated=\"2\" "
            "office:value-type=\"float\" office:value=\"7\"/><table:table-cell table:number-columns-spanned=\"2\" "
            "office:value-type=\"string\"><text:p>merged</text:p></table:table-cell><table:covered-table-cell "
            "office:value-type=\"string\"><text:p>hidden</text:p></table:covered-table-cell><table:table-cell "
            "table:number-columns-repeated=\"2147483647\"/></table:table-row>"
            "<table:table-row table:number-rows-repeated=\"2147483647\"><table:table-cell "
            "table:number-columns-repeated=\"16384\"/></table:table-row>");
  const std::string hidden =
      "<table:table table:name=\"Hidden\" table:style-name=\"hidden\"><table:table-row><table:table-cell "
      "office:value-type=\"string\"><text:p>x</text:p></table:table-cell></table:table-row></table:table>";
  const std::string settings =
      "<config:config-item-set config:name=\"ooo:view-settings\"><config:config-item-map-indexed config:name=\"Views\">"
      "<config:config-item-map-entry><config:config-item config:name=\"ActiveTable\" "
      "config:type=\"string\">Hidden</config:config-item></config:config-item-map-entry>"
      "</config:config-item-map-indexed></config:config-item-set>";
  const auto start = std::chrono::steady_clock::now();
  const Workbook book = ReadOds(Bytes(Flat(first + hidden, {}, {}, settings)));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));  // the huge repeats cost nothing
  EXPECT_EQ(Dump(book), "First!A1=7;First!B1=7;First!C1=merged;First!A2=7;First!B2=7;First!C2=merged;Hidden!A1=x;");
  EXPECT_EQ(book.active_sheet, 1u);
  // The same rows through the zip package, with the active sheet from settings.xml.
  const Workbook packaged = ReadOds(
      testing::ZipBytes({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                         {"content.xml", Flat(first + hidden)},
                         {"settings.xml",
                          "<office:document-settings xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                          "xmlns:config=\"urn:oasis:names:tc:opendocument:xmlns:config:1.0\"><office:settings>" +
                              settings + "</office:settings></office:document-settings>"}}));
  EXPECT_EQ(Dump(packaged), Dump(book));
  EXPECT_EQ(packaged.active_sheet, 1u);
  // Its "mimetype" entry is not first, as some zip tools write it: the table of readers still
  // reads it as a spreadsheet.
  EXPECT_EQ(Dump(ReadWorkbook(testing::ZipBytes({{"content.xml", Flat(first + hidden)},
                                                 {"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}}))),
            Dump(book));
}

// Hostile and damaged files end quickly, each with its error.
TEST(OdsLimits, HostileFilesAreRefusedQuickly) {
  const auto row = [](const std::string& attributes) {
    return Table("S", "<table:table-row " + attributes +
                          "><table:table-cell table:number-columns-repeated=\"16384\" office:value-type=\"float\" "
                          "office:value=\"1\"/></table:table-row>");
  };
  std::string nested = "<table:table-cell office:value-type=\"string\"><text:p>";
  for (int i = 0; i < 100000; ++i) nested += "<text:span>";
  std::string sheets;
  for (int i = 0; i <= 65536; ++i) sheets += "<table:table table:name=\"S" + std::to_string(i) + "\"/>";
  std::string white_rows;
  const std::string spaces(1 << 20, ' ');
  for (int i = 0; i < 80; ++i) white_rows += spaces + "<table:table-row/>";
  struct Case {
    std::string_view label;
    std::vector<std::byte> bytes;
    std::optional<OdsErrorCode> code;  // nothing: an XlsxError of the zip or XML layer
  };
  const Case cases[] = {
      {"a full row repeated 2^31 times", Bytes(Flat(row("table:number-rows-repeated=\"2147483648\""))),
       OdsErrorCode::kTooManyRepeats},
      {"runs of spaces",
       Bytes(Flat(Table("S",
                        "<table:table-row><table:table-cell><text:p><text:s text:c=\"4294967295\"/><text:s "
                        "text:c=\"4294967295\"/></text:p></table:table-cell></table:table-row>"))),
       OdsErrorCode::kTextTooLong},
      {"deep nesting, never closed", Bytes(Flat(Table("S", "<table:table-row>" + nested))), std::nullopt},
      {"100,000 spaces copied a million times",
       Bytes(Flat(Table("S",
                        "<table:table-row table:number-rows-repeated=\"1000\"><table:table-cell "
                        "table:number-columns-repeated=\"1000\" office:value-type=\"string\"><text:p><text:s "
                        "text:c=\"100000\"/></text:p></table:table-cell></table:table-row>"))),
       OdsErrorCode::kTextTooLong},
      {"more sheets than a workbook holds", Bytes(Flat(sheets)), OdsErrorCode::kTooManySheets},
      {"80 MiB of white space between rows", Bytes(Flat(Table("S", white_rows))), std::nullopt},
      {"a text document",
       testing::ZipBytes({{"mimetype", "application/vnd.oasis.opendocument.text"}, {"content.xml", "<x/>"}}),
       OdsErrorCode::kNotSpreadsheet},
      {"encrypted",
       testing::ZipBytes(
           {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
            {"content.xml", "?"},
            {"META-INF/manifest.xml", "<manifest><file-entry><encryption-data/></file-entry></manifest>"}}),
       OdsErrorCode::kEncrypted},
      {"no content", testing::ZipBytes({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}}),
       OdsErrorCode::kNoContent},
      {"no sheet", Bytes(Flat("")), OdsErrorCode::kNoSheets},
      {"two sheets of one name", Bytes(Flat(Table("Name", "") + Table("NAME", ""))), OdsErrorCode::kSheetNamedTwice},
      {"a deflate bomb",
       testing::ZipBytes({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                          {"content.xml", Flat(Table("S", "")) + std::string(20u << 20, ' ')}}),
       std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const auto start = std::chrono::steady_clock::now();
    try {
      ReadOds(c.bytes);
      ADD_FAILURE() << "read succeeded";
    } catch (const OdsError& e) {
      ASSERT_TRUE(c.code.has_value()) << e.what();
      EXPECT_EQ(e.code, *c.code) << e.what();
    } catch (const XlsxError& e) {
      EXPECT_FALSE(c.code.has_value()) << e.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  }
}

// XML may be saved in UTF-16, with its byte-order mark: such a flat file is read as in UTF-8.
TEST(OdsSheets, AFlatFileInUtf16IsRead) {
  std::string utf8 = Flat(Table("S",
                                "<table:table-row><table:table-cell office:value-type=\"string\"><text:p>Zo\xC3\xAB"
                                "</text:p></table:table-cell></table:table-row>"));
  utf8.replace(utf8.find("UTF-8"), 5, "UTF-16");
  std::string utf16 = "\xFF\xFE";  // little-endian, each ASCII character one unit; the "ë" U+00EB
  for (const char c : utf8) {
    if (c == '\xC3') continue;
    utf16 += c == '\xAB' ? '\xEB' : c;
    utf16 += '\0';
  }
  EXPECT_EQ(Dump(ReadWorkbook(Bytes(utf16), "contacts.fods")), "S!A1=Zo\xC3\xAB;");
}

// Every prefix of a real file reads or fails with a reader's error, never otherwise.
TEST(OdsLimits, TruncatedFilesGiveAnErrorOrARead) {
  for (const char* name : {"lo_structure.ods", "lo_numbers_en_US.fods"}) {
    std::ifstream in(std::string(CW_FIXTURES_DIR) + "/ods/" + name, std::ios::binary);
    const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (std::size_t size = 0; size < whole.size(); size += 97) {
      try {
        ReadOds(Bytes(whole.substr(0, size)));
      } catch (const ReadError&) {
      }
    }
  }
}

}  // namespace
}  // namespace cw::sheet
