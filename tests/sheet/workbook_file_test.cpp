#include "sheet/workbook_file.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/sheet/xlsx/test_package.h"

namespace cw::sheet {
namespace {

std::vector<std::byte> Bytes(std::string_view text) {
  std::vector<std::byte> bytes(text.size());
  if (!text.empty()) std::memcpy(bytes.data(), text.data(), text.size());
  return bytes;
}

struct SniffCase {
  std::string_view label;
  std::string content;
  WorkbookFileErrorCode code;
  std::string_view says;  // words the description must hold
};

TEST(WorkbookFile, NonWorkbooksSayWhatTheyLookLike) {
  const SniffCase cases[] = {
      {"empty", "", WorkbookFileErrorCode::kEmpty, "empty"},
      {"CSV", "Name,Phone\r\nAnn,555-1234\r\n", WorkbookFileErrorCode::kText, "CSV"},
      {"CSV with BOM", "\xEF\xBB\xBFName;Phone\nAnn;1\n", WorkbookFileErrorCode::kText, "CSV"},
      {"UTF-16 text", std::string("\xFF\xFEN\0a\0m\0e\0,\0", 12), WorkbookFileErrorCode::kText, "CSV"},
      {"HTML table", "<table><tr><td>Ann</td></tr></table>", WorkbookFileErrorCode::kHtml, "HTML"},
      {"HTML page", "\r\n<!DOCTYPE html><html><body>x</body></html>", WorkbookFileErrorCode::kHtml, "HTML"},
      {"single-file web page", "MIME-Version: 1.0\r\nX-Document-Type: Workbook\r\n", WorkbookFileErrorCode::kHtml,
       "HTML"},
      {"XML Spreadsheet 2003",
       "<?xml version=\"1.0\"?><?mso-application progid=\"Excel.Sheet\"?><Workbook "
       "xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"></Workbook>",
       WorkbookFileErrorCode::kSpreadsheetXml, "XML Spreadsheet 2003"},
      {"other XML", "<?xml version=\"1.0\"?><contacts/>", WorkbookFileErrorCode::kXml, "XML"},
      {"PDF", "%PDF-1.7\n", WorkbookFileErrorCode::kPdf, "PDF"},
      {"Excel 4 worksheet", std::string("\x09\x04\x06\x00\x00\x00\x10\x00", 8), WorkbookFileErrorCode::kOldExcel,
       "Excel 4.0"},
      {"binary junk",
       std::string("\x7F"
                   "ELF\x02\x01\x01\x00",
                   8),
       WorkbookFileErrorCode::kUnknown, "neither"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    try {
      ReadWorkbook(Bytes(c.content));
      ADD_FAILURE() << "read succeeded";
    } catch (const WorkbookFileError& e) {
      EXPECT_EQ(e.code, c.code) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
    }
  }
}

TEST(WorkbookFile, PathsThatAreNoWorkbookFileSaySo) {
  testing::TempDir dir;
  testing::WriteFile(dir.File("contacts.xls"), std::string("Name,Phone\nAnn,1\n"));
  testing::WriteFile(dir.File("empty.xlsx"), std::string());
  struct Case {
    std::string path;
    WorkbookFileErrorCode code;
    std::string says;
  };
  const Case cases[] = {
      {dir.Path().string(), WorkbookFileErrorCode::kFolder, "folder"},
      {dir.File("missing.xlsx"), WorkbookFileErrorCode::kNotFound, "missing.xlsx"},
      {dir.File("contacts.xls") + "/x", WorkbookFileErrorCode::kNotFound, "not found"},
      {dir.File("contacts.xls"), WorkbookFileErrorCode::kText, "CSV"},
      {dir.File("empty.xlsx"), WorkbookFileErrorCode::kEmpty, "empty"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    try {
      ReadWorkbookFile(c.path);
      ADD_FAILURE() << "read succeeded";
    } catch (const WorkbookFileError& e) {
      EXPECT_EQ(e.code, c.code) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
    }
  }
}

// A compound file goes to the .xls reader, a zip package to the .xlsx reader; neither is
// mistaken for something else.
TEST(WorkbookFile, ContainersGoToTheirReaders) {
  std::vector<std::byte> compound = Bytes(std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
  compound.resize(512);
  try {
    ReadWorkbook(compound);
    ADD_FAILURE() << "a header alone read as a workbook";
  } catch (const WorkbookFileError& e) {
    ADD_FAILURE() << "not passed to the .xls reader: " << e.what();
  } catch (const ReadError&) {
  }
  const auto zip = testing::ZipBytes(testing::MinimalParts("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"));
  const Workbook book = ReadWorkbook(zip);
  EXPECT_EQ(book.sheets.size(), 1u);
  // The first bytes win over the name; text goes by its extension, in any case.
  EXPECT_EQ(ReadWorkbook(zip, "contacts.csv").sheets.at(0).Name(), book.sheets.at(0).Name());
  const Workbook text = ReadWorkbook(Bytes("Name;Phone\nAnn;1\n"), "Contacts.CSV");
  EXPECT_EQ(text.sheets.at(0).Name(), "Contacts");
  EXPECT_EQ(text.sheets.at(0).Cells().size(), 4u);
}

}  // namespace
}  // namespace cw::sheet
