// The export run end to end through the real engine, on workbooks written by libxlsxwriter.
#include <Magick++.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <xlsxwriter.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <random>

#include "run/export_run.h"
#include "run/photo_file.h"
#include "run/regional_settings.h"
#include "sheet/cell_text.h"
#include "sheet/workbook_file.h"
#include "tests/support/test_support.h"

namespace cw::run {
namespace {

using vcard::CodePage;
using vcard::DateRecognizer;
using vcard::ExportEncoding;

using testing::FilesIn;
using testing::ReadBytes;

struct CellSpec {
  int row;  // 0-based, as libxlsxwriter counts
  int column;
  std::string text;
};

// Writes a workbook with a first sheet "Other" and the contacts on "Contacts", which is
// active unless `contacts_active` is false.
void WriteWorkbook(const std::string& path, const std::vector<CellSpec>& cells, bool contacts_active = true) {
  lxw_workbook* wb = workbook_new(path.c_str());
  lxw_worksheet* other = workbook_add_worksheet(wb, "Other");
  worksheet_write_string(other, 0, 0, "not a contact", nullptr);
  lxw_worksheet* ws = workbook_add_worksheet(wb, "Contacts");
  for (const auto& c : cells) {
    worksheet_write_string(ws, static_cast<lxw_row_t>(c.row), static_cast<lxw_col_t>(c.column), c.text.c_str(),
                           nullptr);
  }
  if (contacts_active) worksheet_activate(ws);
  ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
}

class ExportEngineTest : public ::testing::Test {
 protected:
  ExportEngineTest()
      : regional_(RegionalSettings::ForLocale("en_US.UTF-8")), engine_(MakeSheetEngine(regional_.format)) {
    book_ = dir_.File("contacts.xlsx");
    out_ = dir_.File("out");
    std::filesystem::create_directory(out_);
  }

  void Run(ExportEncoding encoding, const std::string& address, std::initializer_list<std::string_view> kinds,
           vcard::VCardVersion version = vcard::VCardVersion::k21, bool one_file = false) {
    Run(encoding, address, std::vector<std::string_view>(kinds), version, one_file);
  }
  void Run(ExportEncoding encoding, const std::string& address, const std::vector<std::string_view>& kinds,
           vcard::VCardVersion version = vcard::VCardVersion::k21, bool one_file = false) {
    mapping::ColumnList columns;
    columns.FillColumnList(static_cast<int>(kinds.size()));
    std::size_t j = 1;
    for (auto kind : kinds) columns.SetType(j++, kind);
    ExportInputs inputs{book_, address, columns, out_, version, one_file};
    ExportServices services{messages_, reporter_, clock_, pointer_, *engine_, regional_.code_page, regional_.dates};
    ExportRun(encoding, inputs, services);
  }

  testing::TempFolder dir_;
  std::string book_;
  std::string out_;
  RegionalSettings regional_;
  std::unique_ptr<SheetEngine> engine_;
  testing::RecordingMessages messages_;
  testing::RecordingReporter reporter_;
  testing::FixedClock clock_{{2026, 1, 1, 9, 5, 3}};
  testing::RecordingPointer pointer_;
};

TEST_F(ExportEngineTest, RowsBecomeNamedFilesWithExactBytes) {
  WriteWorkbook(book_, {{0, 0, "Ann"},
                        {0, 1, "Lee"},
                        {0, 2, "ann@example.com"},
                        {0, 3, "3/7/1980"},
                        {2, 1, "Kim"},
                        {3, 0, "A/B"},
                        {3, 1, "C:D"},
                        {4, 0, "Ren\xC3\xA9"},
                        {4, 1, "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD"}});
  Run(ExportEncoding::Ansi, "A1:D5", {"First Name", "Last Name", "Email", "Birthday"});
  EXPECT_TRUE(reporter_.reports.empty());
  ASSERT_EQ(messages_.shown.size(), 1u);
  // Row 2 is empty: it holds no contact, gives no file, and the final message counts it. Row 5's
  // Cyrillic name is not in code page 1252: the final message says so too.
  EXPECT_EQ(messages_.shown[0].text,
            "Done. 1 empty row was skipped: every cell of the mapped columns is empty there, so it holds no contact. "
            "1 row holds characters that the ANSI code page (WINDOWS-1252) lacks; they were written as \"?\". "
            "Save As VCF (UTF8 Format), or choose vCard 3.0, to keep every character.");
  EXPECT_EQ(FilesIn(out_),
            (std::vector<std::string>{"ANSI_ Kim_Row3.vcf", "ANSI_A B C D_Row4.vcf", "ANSI_Ann Lee_Row1.vcf",
                                      "ANSI_Ren\xC3\xA9 \xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD_Row5.vcf"}));
  EXPECT_TRUE(testing::SameBytes(
      "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Lee;Ann;;\r\nFN:Ann  Lee\r\nEMAIL;INTERNET;PREF:ann@example.com\r\n"
      "BDAY:19800307\r\nREV:20260101T090503\r\nEND:VCARD\r\n",
      ReadBytes(out_ + "/ANSI_Ann Lee_Row1.vcf")));
  EXPECT_NE(ReadBytes(out_ + "/ANSI_A B C D_Row4.vcf").find("N:C D;A/B;;\r\nFN:A/B  C D\r\n"), std::string::npos);
  // The ANSI file holds code page 1252 bytes, labelled: é as =E9, Cyrillic as "?".
  EXPECT_NE(ReadBytes(out_ + "/ANSI_Ren\xC3\xA9 \xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD_Row5.vcf")
                .find("N;CHARSET=WINDOWS-1252;ENCODING=QUOTED-PRINTABLE:????;Ren=E9;;"),
            std::string::npos);

  Run(ExportEncoding::Utf8, "A5:D5", {"First Name", "Last Name", "Email", "Birthday"});
  EXPECT_EQ(ReadBytes(out_ + "/UTF8_Ren\xC3\xA9 \xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD_Row1.vcf"),
            "\xEF\xBB\xBF"
            "BEGIN:VCARD\r\nVERSION:2.1\r\nN:\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD;Ren\xC3\xA9;;\r\n"
            "FN:Ren\xC3\xA9  \xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD\r\nREV:20260101T090503\r\nEND:VCARD\r\n");
}

TEST_F(ExportEngineTest, IgnoredColumnsAndDuplicateKindsAndReruns) {
  WriteWorkbook(book_, {{1, 1, "IGNORED-CELL"}, {1, 2, "left@example.com"}, {1, 3, "Bo"}, {1, 4, "right@example.com"}});
  Run(ExportEncoding::Utf8, "B2:E2", {"Ignore", "Email", "First Name", "Email"});
  ASSERT_EQ(FilesIn(out_), std::vector<std::string>{"UTF8_Bo _Row1.vcf"});
  const std::string first = ReadBytes(out_ + "/UTF8_Bo _Row1.vcf");
  EXPECT_NE(first.find("EMAIL;INTERNET;PREF:right@example.com\r\n"), std::string::npos);
  EXPECT_EQ(first.find("left@"), std::string::npos);
  EXPECT_EQ(first.find("IGNORED-CELL"), std::string::npos);

  // A second run over the same block replaces the file.
  clock_ = testing::FixedClock({2026, 2, 2, 10, 0, 0});
  Run(ExportEncoding::Utf8, "$B$2:$E$2", {"Ignore", "Email", "First Name", "Email"});
  EXPECT_EQ(FilesIn(out_).size(), 1u);
  EXPECT_NE(ReadBytes(out_ + "/UTF8_Bo _Row1.vcf").find("REV:20260202T100000"), std::string::npos);
}

TEST_F(ExportEngineTest, ASheetNamedInTheAddressIsReadFromThatSheet) {
  WriteWorkbook(book_, {{0, 0, "Ann"}}, /*contacts_active=*/false);
  Run(ExportEncoding::Ansi, "Contacts!$A$1", {"First Name"});
  EXPECT_EQ(FilesIn(out_), std::vector<std::string>{"ANSI_Ann _Row1.vcf"});
  // Without a sheet name the active sheet ("Other") is read.
  Run(ExportEncoding::Ansi, "$A$1", {"First Name"});
  EXPECT_TRUE(std::filesystem::exists(out_ + "/ANSI_not a contact _Row1.vcf"));
}

TEST_F(ExportEngineTest, UnreadableWorkbookOrAddressIsReportedOnce) {
  std::ofstream(book_) << "Name,Phone\nAnn,555\n";
  Run(ExportEncoding::Ansi, "A1:B2", {"First Name", "Home Voice"});
  ASSERT_EQ(reporter_.Statements(), std::vector<int>{106});
  EXPECT_FALSE(reporter_.reports[0].description.empty());
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_TRUE(FilesIn(out_).empty());

  reporter_.reports.clear();
  WriteWorkbook(book_, {{0, 0, "Ann"}});
  Run(ExportEncoding::Utf8, "A1:ZZZZ9", {"First Name"});
  ASSERT_EQ(reporter_.Statements(), std::vector<int>{114});
  EXPECT_NE(reporter_.reports[0].description.find("A1:ZZZZ9"), std::string::npos);
  EXPECT_EQ(pointer_.current, PointerSetting::kDefault);
}

TEST_F(ExportEngineTest, AWorkbookVanishingAfterTheCheckIsReportedAtTheOpen) {
  WriteWorkbook(book_, {{0, 0, "Ann"}});
  // The file exists for the check; the engine then finds nothing it can read.
  struct VanishingEngine : SheetEngine {
    SheetEngine& real;
    std::string path;
    VanishingEngine(SheetEngine& r, std::string p) : real(r), path(std::move(p)) {}
    std::unique_ptr<SheetApplication> OpenWorkbook(const std::string& p) override {
      std::filesystem::remove(path);
      return real.OpenWorkbook(p);
    }
  } vanishing(*engine_, book_);
  mapping::ColumnList columns;
  columns.FillColumnList(1);
  ExportInputs inputs{book_, "A1", columns, out_};
  ExportServices services{messages_, reporter_, clock_, pointer_, vanishing, regional_.code_page, regional_.dates};
  ExportRun(ExportEncoding::Ansi, inputs, services);
  EXPECT_EQ(reporter_.Statements(), std::vector<int>{106});
  EXPECT_TRUE(messages_.shown.empty());
}

// What python's vobject, GNOME's parser or KDE's ("kcontacts": the added kinds; "kcontacts-all": every
// kind) make of `file`: each card's properties, one a line.
std::string ReadBack(const std::string& parser, const std::string& file) {
#ifdef CW_KCONTACTS_READER
  const std::string command =
      parser.starts_with("kcontacts")
          ? std::string(CW_KCONTACTS_READER) + (parser == "kcontacts" ? "" : " --all") + " '" + file + "' 2>&1"
          : "/usr/bin/python3 " CW_SOURCE_DIR "/tests/run/read_back_cards.py " + parser + " '" + file + "' 2>&1";
#else
  const std::string command =
      "/usr/bin/python3 " CW_SOURCE_DIR "/tests/run/read_back_cards.py " + parser + " '" + file + "' 2>&1";
#endif
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) output.append(buf, n);
    ::pclose(pipe);
  }
  return output;
}

#ifdef CW_ANDROID_READER
// What Android's vCard parser hands its contact importer from `file`: one property a line,
// "NAME;PARAM=values<TAB>value|value", "#card" before each card; VERSION, PRODID, REV and UID
// left out.
std::string ReadAndroid(vcard::VCardVersion version, const std::string& file) {
  std::string output;
  const std::string command =
      std::string(CW_ANDROID_READER) + " " + std::string(vcard::VersionText(version)) + " '" + file + "' 2>&1";
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char line[65536];
    while (std::fgets(line, sizeof line, pipe)) {
      const std::string_view l(line);
      if (!l.starts_with("VERSION") && !l.starts_with("PRODID") && !l.starts_with("REV") && !l.starts_with("UID")) {
        output += l;
      }
    }
    ::pclose(pipe);
  }
  return output;
}
#endif

// The 3.0 and 4.0 files, one per row and one for all rows, read back by independent parsers
// to every cell's text, whatever characters it holds.
TEST_F(ExportEngineTest, AddressBooksReadBackEveryCellOf30And40Files) {
  const std::string note = "\xF0\x9F\x98\x80 " + std::string(200, 'n') + "\xC3\xA9\nsecond line";
  const std::vector<std::pair<std::string_view, std::string>> row = {
      {"Title", "Dr."},
      {"First Name", "Ann"},
      {"Last Name", "Lee; Jr."},
      {"Middle Initial", "Q"},
      {"Birthday", "3/7/1980"},
      {"Email", "ann@example.com"},
      {"Website Home", "http://a.example/x;y,z"},
      {"Website Work", "https://w.example"},
      {"Home Address", "1 Main St\nApt 2"},
      {"Home City", "Back\\slash"},
      {"Home Region", "R"},
      {"Home Zip", "02134"},
      {"Home Country", "US"},
      {"Work Address", "Time: 10:30; room 4"},
      {"Work City", "K\xC3\xB6ln"},
      {"Work Region", "NRW"},
      {"Work Zip", "50667"},
      {"Work Country", "\xD0\xA0\xD0\xBE\xD1\x81\xD1\x81\xD0\xB8\xD1\x8F"},  // Россия
      {"Home Voice", "+1 555, ext 2"},
      {"Home Fax", "4"},
      {"Work Voice", "2"},
      {"Work Fax", "5"},
      {"Cellular", "3"},
      {"Pager", "6"},
      {"Notes", note},
  };
  std::vector<CellSpec> cells;
  for (std::size_t c = 0; c < row.size(); ++c) cells.push_back({0, static_cast<int>(c), row[c].second});
  cells.push_back({1, 5, "kim@example.com"});
  WriteWorkbook(book_, cells);
  // A web site is a URI, written without text escaping as the RFCs say: vobject reads it as
  // text and cuts it at the comma, Evolution Data Server at the semicolon.
  const auto website = [](const std::string& parser) {
    return parser == "vobject" ? "http://a.example/x;y" : "http://a.example/x|y,z";
  };
  const auto expected = [&](vcard::VCardVersion version, const std::string& parser) {
    const bool v3 = version == vcard::VCardVersion::k30;
    return "#card\nN=Lee; Jr.|Ann|Q|Dr.|\nFN=Ann Q Lee; Jr.\nTEL;home,voice=+1 555, ext 2\nTEL;voice,work=2\n"
           "TEL;cell=3\nTEL;fax,home=4\nTEL;fax,work=5\nTEL;pager=6\n" +
           std::string(v3 ? "EMAIL;internet=" : "EMAIL=") + "ann@example.com\nNOTE=\xF0\x9F\x98\x80 " +
           std::string(200, 'n') + "\xC3\xA9\\nsecond line\nURL;home=" + website(parser) +
           "\nURL;work=https://w.example\n"
           "ADR;work=||Time: 10:30; room 4|K\xC3\xB6ln|NRW|50667|\xD0\xA0\xD0\xBE\xD1\x81\xD1\x81\xD0\xB8\xD1\x8F\n"
           "ADR;home=||1 Main St\\nApt 2|Back\\\\slash|R|02134|US\nBDAY=" +
           (v3 ? "1980-03-07" : "19800307") + "\n#card\nN=||||\nFN=kim@example.com\n" +
           (v3 ? "EMAIL;internet=" : "EMAIL=") + "kim@example.com\n";
  };
  std::vector<std::string_view> kinds;
  for (const auto& [kind, text] : row) kinds.push_back(kind);
  for (const auto version : {vcard::VCardVersion::k30, vcard::VCardVersion::k40}) {
    for (const bool one_file : {false, true}) {
      SCOPED_TRACE(std::string(vcard::VersionText(version)) + (one_file ? " one file" : " a file per row"));
      std::filesystem::remove_all(out_);
      std::filesystem::create_directory(out_);
      mapping::ColumnList columns;
      columns.FillColumnList(static_cast<int>(kinds.size()));
      for (std::size_t j = 0; j < kinds.size(); ++j) columns.SetType(j + 1, kinds[j]);
      ExportInputs inputs{book_, "A1:Y2", columns, out_, version, one_file};
      ExportServices services{messages_, reporter_, clock_, pointer_, *engine_, regional_.code_page, regional_.dates};
      ExportRun(ExportEncoding::Utf8, inputs, services);
      ASSERT_TRUE(reporter_.reports.empty());
      const std::vector<std::string> files =
          one_file ? std::vector<std::string>{"UTF8_contacts.vcf"}
                   : std::vector<std::string>{"UTF8_Ann Lee; Jr._Row1.vcf", "UTF8_Row2.vcf"};
      ASSERT_EQ(FilesIn(out_), files);
      for (const std::string parser : {"vobject", "eds"}) {
        SCOPED_TRACE(parser);
        std::string read;
        for (const auto& f : files) read += ReadBack(parser, out_ + "/" + f);
        EXPECT_EQ(read, expected(version, parser));
      }
#ifdef CW_ANDROID_READER
      // Android's parser reads every cell, the web site whole.
      std::string android;
      for (const auto& f : files) android += ReadAndroid(version, out_ + "/" + f);
      const bool v3 = version == vcard::VCardVersion::k30;
      const auto types = [v3](std::string_view t) {
        std::string out(t);
        if (v3) {
          for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        return out;
      };
      const std::string email = v3 ? "EMAIL;TYPE=INTERNET\t" : "EMAIL\t";
      EXPECT_EQ(android,
                "#card\nN\tLee; Jr.|Ann|Q|Dr.|\nFN\tAnn Q Lee; Jr.\nTEL;TYPE=" + types("home,voice") +
                    "\t+1 555, ext 2\nTEL;TYPE=" + types("voice,work") + "\t2\nTEL;TYPE=" + types("cell") +
                    "\t3\nTEL;TYPE=" + types("fax,home") + "\t4\nTEL;TYPE=" + types("fax,work") + "\t5\nTEL;TYPE=" +
                    types("pager") + "\t6\n" + email + "ann@example.com\nNOTE\t" + note.substr(0, note.find('\n')) +
                    "\\nsecond line\nURL;TYPE=HOME\thttp://a.example/x;y,z\nURL;TYPE=WORK\thttps://w.example\n"
                    "ADR;TYPE=" +
                    types("work") +
                    "\t||Time: 10:30; room 4|K\xC3\xB6ln|NRW|50667|\xD0\xA0\xD0\xBE\xD1\x81\xD1\x81\xD0\xB8\xD1\x8F\n"
                    "ADR;TYPE=" +
                    types("home") + "\t||1 Main St\\nApt 2|Back\\\\slash|R|02134|US\nBDAY\t" +
                    (v3 ? "1980-03-07" : "19800307") + "\n#card\nN\t||||\nFN\tkim@example.com\n" + email +
                    "kim@example.com\n");
#endif
#ifdef CW_KCONTACTS_READER
      // KContacts reads the web site whole, and keeps the backslash of an escaped ";" in FN (a
      // fault of its parser: the line is as the RFCs write it, and the others read it).
      std::string read;
      for (const auto& f : files) read += ReadBack("kcontacts-all", out_ + "/" + f);
      EXPECT_EQ(
          read,
          "#card\nN=Lee; Jr.|Ann|Q|Dr.|\nFN=Ann Q Lee\\\\; Jr.\nNOTE=\xF0\x9F\x98\x80 " + std::string(200, 'n') +
              "\xC3\xA9\\nsecond line\nURL;home=http://a.example/x;y,z\nURL;work=https://w.example\n"
              "ADR;work=||Time: 10:30; room 4|K\xC3\xB6ln|NRW|50667|\xD0\xA0\xD0\xBE\xD1\x81\xD1\x81\xD0\xB8\xD1\x8F\n"
              "ADR;home=||1 Main St\\nApt 2|Back\\\\slash|R|02134|US\nBDAY=1980-03-07\nORG=|\n"
              "TEL;home,voice=+1 555, ext 2\nTEL;voice,work=2\nTEL;cell=3\nTEL;fax,home=4\nTEL;fax,work=5\n"
              "TEL;pager=6\nEMAIL=ann@example.com\n#card\nN=||||\nFN=kim@example.com\nORG=|\n"
              "EMAIL=kim@example.com\n");
#endif
      // No byte-order mark, and the 4.0 cards carry their UIDs.
      const std::string bytes = ReadBytes(out_ + "/" + files[0]);
      EXPECT_TRUE(bytes.starts_with("BEGIN:VCARD\r\nVERSION:"));
      EXPECT_EQ(bytes.find("\r\nUID:urn:uuid:") != std::string::npos, version == vcard::VCardVersion::k40);
    }
  }
}

// The UID of a 4.0 card is the same for the same workbook row in every run, and differs
// between rows.
TEST_F(ExportEngineTest, UidsAreStableForTheSameRow) {
  WriteWorkbook(book_, {{0, 0, "Ann"}, {1, 0, "Bo"}});
  const auto uids = [&] {
    std::filesystem::remove_all(out_);
    std::filesystem::create_directory(out_);
    Run(ExportEncoding::Utf8, "A1:A2", {"First Name"}, vcard::VCardVersion::k40, true);
    const std::string bytes = ReadBytes(out_ + "/UTF8_contacts.vcf");
    std::vector<std::string> found;
    for (std::size_t at = bytes.find("UID:"); at != std::string::npos; at = bytes.find("UID:", at + 1)) {
      found.push_back(bytes.substr(at, bytes.find('\r', at) - at));
    }
    return found;
  };
  const auto first = uids();
  ASSERT_EQ(first.size(), 2u);
  EXPECT_NE(first[0], first[1]);
  EXPECT_EQ(uids(), first);
}

// 10,000 rows in one file come back as 10,000 contacts in row order.
TEST_F(ExportEngineTest, TenThousandRowsInOneFileReadBackInOrder) {
  std::vector<CellSpec> cells;
  constexpr int kRows = 10000;
  for (int r = 0; r < kRows; ++r) cells.push_back({r, 0, "Row " + std::to_string(r + 1)});
  WriteWorkbook(book_, cells);
  Run(ExportEncoding::Utf8, "A1:A10000", {"First Name"}, vcard::VCardVersion::k30, true);
  ASSERT_TRUE(reporter_.reports.empty());
  std::string expected;
  for (int r = 1; r <= kRows; ++r) {
    expected += "#card\nN=|Row " + std::to_string(r) + "|||\nFN=Row " + std::to_string(r) + "\n";
  }
  EXPECT_EQ(ReadBack("vobject", out_ + "/UTF8_contacts.vcf"), expected);
}

// An image of `width` x `height` pixels in `format` ("JPEG", "PNG"), of random colours when
// `noisy` (so it compresses badly), else plain.
std::string MakeImage(const char* format, unsigned width, unsigned height, bool noisy) {
  Magick::InitializeMagick(nullptr);
  std::string rgb(std::size_t{width} * height * 3, '\x80');
  if (noisy) {
    std::mt19937 random(7);
    for (char& c : rgb) c = static_cast<char>(random());
  }
  Magick::Image image;
  image.read(Magick::Blob(rgb.data(), rgb.size()), Magick::Geometry(width, height), 8, "RGB");
  image.magick(format);
  Magick::Blob out;
  image.write(&out);
  return std::string(static_cast<const char*>(out.data()), out.length());
}

void WriteFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string Sha1Of(const std::string& path) {
  const std::string command =
      "/usr/bin/python3 -c \"import hashlib,sys;print(hashlib.sha1(open(sys.argv[1],'rb')"
      ".read()).hexdigest())\" '" +
      path + "'";
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buf[128];
    while (std::fgets(buf, sizeof buf, pipe)) output += buf;
    ::pclose(pipe);
  }
  if (!output.empty()) output.pop_back();
  return output;
}

// The kinds added after the original 26, and repeated phone and e-mail columns, read back by
// independent parsers from 3.0 and 4.0 files; the anniversary comes from a date cell, as the
// birthday does.
TEST_F(ExportEngineTest, AddressBooksReadBackTheWholeContact) {
  const std::string jpeg = MakeImage("JPEG", 16, 12, false);
  WriteFile(dir_.File("face.jpg"), jpeg);
  const std::vector<std::pair<std::string_view, std::string>> row = {
      {"First Name", "Ann"},
      {"Organization", "Acme; Inc."},
      {"Department", "Sales"},
      {"Job Title", "Head, Sales"},
      {"Nickname", "Annie"},
      {"Anniversary", ""},
      {"Categories", "Family, Friends"},
      {"Email", "a@x.example"},
      {"Email Home", "h@x.example"},
      {"Email Work", "w@x.example"},
      {"Email Other", "o@x.example"},
      {"Email", "b@x.example"},
      {"Cellular", "111"},
      {"Other Phone", "333"},
      {"Cellular", "222"},
      {"Photo", "face.jpg"},
  };
  lxw_workbook* wb = workbook_new(book_.c_str());
  lxw_worksheet* ws = workbook_add_worksheet(wb, "Contacts");
  lxw_format* date_format = workbook_add_format(wb);
  format_set_num_format(date_format, "mmm d");  // shows "Jun 20": the year only the cell has
  for (std::size_t c = 0; c < row.size(); ++c) {
    if (row[c].first == "Anniversary") {
      lxw_datetime when = {2005, 6, 20, 0, 0, 0};
      worksheet_write_datetime(ws, 0, static_cast<lxw_col_t>(c), &when, date_format);
    } else {
      worksheet_write_string(ws, 0, static_cast<lxw_col_t>(c), row[c].second.c_str(), nullptr);
    }
  }
  ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
  const std::string photo = "PHOTO;jpeg=" + Sha1Of(dir_.File("face.jpg")) + "\n";
  const auto expected = [&](vcard::VCardVersion version, const std::string& parser) {
    const bool v3 = version == vcard::VCardVersion::k30;
    const std::string internet = v3 ? "internet," : "";
    return "#card\nN=|Ann|||\nFN=Ann\nNICKNAME=Annie\nORG=Acme; Inc.|Sales\nTITLE=Head, Sales\nTEL;cell=111\n"
           "TEL;cell=222\nTEL;voice=333\n" +
           std::string(v3 ? "EMAIL;internet=a@x.example\nEMAIL;internet=b@x.example\n"
                          : "EMAIL=a@x.example\nEMAIL=b@x.example\n") +
           "EMAIL;home" + (v3 ? ",internet" : "") + "=h@x.example\nEMAIL;" + internet + "work=w@x.example\n" +
           (v3 ? "EMAIL;internet=o@x.example\n" : "EMAIL=o@x.example\n") +
           // Each form a reader takes; Evolution's own is the one it shows.
           (parser == "eds" ? "ANNIVERSARY=2005-06-20\n"
            : v3            ? "X-ANNIVERSARY=2005-06-20\nANNIVERSARY=2005-06-20\nX-EVOLUTION-ANNIVERSARY=2005-06-20\n"
                            : "ANNIVERSARY=20050620\nX-EVOLUTION-ANNIVERSARY=2005-06-20\n") +
           "CATEGORIES=Family|Friends\n" +
           // vobject reads a 4.0 PHOTO as text and cuts its data: address at the comma.
           (!v3 && parser == "vobject" ? "PHOTO=data:image/jpeg;base64\n" : photo);
  };
  std::vector<std::string_view> kinds;
  for (const auto& [kind, text] : row) kinds.push_back(kind);
  for (const auto version : {vcard::VCardVersion::k30, vcard::VCardVersion::k40}) {
    for (const bool one_file : {false, true}) {
      SCOPED_TRACE(std::string(vcard::VersionText(version)) + (one_file ? " one file" : " a file per row"));
      std::filesystem::remove_all(out_);
      std::filesystem::create_directory(out_);
      Run(ExportEncoding::Utf8, "A1:P1", kinds, version, one_file);
      ASSERT_TRUE(reporter_.reports.empty()) << reporter_.reports[0].description;
      const std::string file = out_ + (one_file ? "/UTF8_contacts.vcf" : "/UTF8_Ann _Row1.vcf");
      for (const std::string parser : {"vobject", "eds"}) {
        SCOPED_TRACE(parser);
        EXPECT_EQ(ReadBack(parser, file), expected(version, parser));
      }
#ifdef CW_KCONTACTS_READER
#ifdef CW_ANDROID_READER
      // Android's importer reads ANNIVERSARY in every version (no X- form), and a 3.0 photo's bytes.
      const std::string android = ReadAndroid(version, file);
      const bool v3 = version == vcard::VCardVersion::k30;
      EXPECT_NE(android.find(v3 ? "\nANNIVERSARY\t2005-06-20\n" : "\nANNIVERSARY\t20050620\n"), std::string::npos)
          << android;
      if (v3) {
        EXPECT_NE(android.find("\tbytes:" + photo.substr(11)), std::string::npos) << android;
      }
#endif
      // KContacts (5.103) reads a 4.0 data: address as the photo's address, not as its image.
      const std::string kcontacts = ReadBack("kcontacts", file);
      const std::string common =
          "#card\nNICKNAME=Annie\nORG=Acme; Inc.|Sales\nTITLE=Head, Sales\nTEL;cell=111\nTEL;cell=222\n"
          "TEL;voice=333\nEMAIL=a@x.example\nEMAIL=b@x.example\nEMAIL;home=h@x.example\nEMAIL;work=w@x.example\n"
          "EMAIL=o@x.example\nANNIVERSARY=2005-06-20\nCATEGORIES=Family|Friends\n";
      if (version == vcard::VCardVersion::k30) {
        EXPECT_EQ(kcontacts, common + "PHOTO;JPEG=" + photo.substr(11));
      } else {
        EXPECT_TRUE(kcontacts.starts_with(common + "PHOTO=data:image/jpeg;base64,/9j/")) << kcontacts;
      }
#endif
    }
  }
}

// A Photo cell: a small JPEG by a relative path embedded as it is, a large PNG shrunk under
// 224 KB, an address written as a link; a missing file, a FIFO, a folder, a symbolic link and
// a file over the size cap are reported under 442 and their rows written without a photo.
TEST_F(ExportEngineTest, PhotosFromFilesAndAddresses) {
  const std::string jpeg = MakeImage("JPEG", 40, 30, false);
  std::filesystem::create_directory(dir_.File("pics"));
  WriteFile(dir_.File("pics/small.jpg"), jpeg);
  const std::string png = MakeImage("PNG", 900, 600, true);
  ASSERT_GT(png.size(), kMaxPhotoBytes);
  WriteFile(dir_.File("big.png"), png);
  ASSERT_EQ(::mkfifo(dir_.File("fifo.jpg").c_str(), 0600), 0);
  std::filesystem::create_symlink(dir_.File("pics/small.jpg"), dir_.File("link.jpg"));
  WriteFile(dir_.File("huge.jpg"), "\xFF\xD8\xFF");
  std::filesystem::resize_file(dir_.File("huge.jpg"), kMaxPhotoFileBytes + 1);  // sparse: nothing is written
  const std::vector<std::string> cells = {
      "pics/small.jpg", dir_.File("big.png"), "https://p.example/a.jpg", "missing.jpg", "fifo.jpg", "pics", "link.jpg",
      "huge.jpg"};
  std::vector<CellSpec> sheet;
  for (std::size_t r = 0; r < cells.size(); ++r) {
    sheet.push_back({static_cast<int>(r), 0, "P" + std::to_string(r + 1)});
    sheet.push_back({static_cast<int>(r), 1, cells[r]});
  }
  WriteWorkbook(book_, sheet);
  Run(ExportEncoding::Utf8, "A1:B8", {"First Name", "Photo"}, vcard::VCardVersion::k30);
  ASSERT_EQ(reporter_.Statements(), (std::vector<int>{442, 442, 442, 442, 442}));
  EXPECT_NE(reporter_.reports[0].description.find("missing.jpg was not found"), std::string::npos);
  EXPECT_NE(reporter_.reports[1].description.find("not a regular file"), std::string::npos);
  EXPECT_NE(reporter_.reports[2].description.find("not a regular file"), std::string::npos);
  EXPECT_NE(reporter_.reports[3].description.find("symbolic link"), std::string::npos);
  EXPECT_NE(reporter_.reports[4].description.find("larger than 64 MB"), std::string::npos);
  EXPECT_EQ(FilesIn(out_).size(), cells.size());
  const auto read = [&](int row) {
    return ReadBack("eds", out_ + "/UTF8_P" + std::to_string(row) + " _Row" + std::to_string(row) + ".vcf");
  };
  EXPECT_NE(read(1).find("PHOTO;jpeg=" + Sha1Of(dir_.File("pics/small.jpg"))), std::string::npos);
  EXPECT_NE(read(3).find("PHOTO=https://p.example/a.jpg"), std::string::npos);
  for (int r = 4; r <= 8; ++r) EXPECT_EQ(read(r).find("PHOTO"), std::string::npos) << r;
  // The large PNG arrives as a PNG of at most 224 KB with the original's aspect.
  const std::string card = ReadBytes(out_ + "/UTF8_P2 _Row2.vcf");
  const std::size_t from = card.find("PHOTO;ENCODING=b;TYPE=PNG:");
  ASSERT_NE(from, std::string::npos);
  std::string base64;
  for (std::size_t i = from + 26; i < card.size() && card.compare(i, 5, "\r\nREV") != 0; ++i) {
    if (card[i] != '\r' && card[i] != '\n' && card[i] != ' ') base64 += card[i];
  }
  Magick::Blob decoded;
  decoded.base64(base64);
  EXPECT_LE(decoded.length(), kMaxPhotoBytes);
  Magick::Image shrunk(decoded);
  EXPECT_EQ(shrunk.magick(), "PNG");
  EXPECT_LT(shrunk.columns(), 900u);
  EXPECT_NEAR(static_cast<double>(shrunk.columns()) / shrunk.rows(), 1.5, 0.01);
}

}  // namespace
}  // namespace cw::run

namespace cw::run {
namespace {

// The displayed texts of a sheet's used range as a CSV: the file a spreadsheet program saves.
std::string SavedAsCsv(const sheet::Workbook& book, char delimiter) {
  const auto& sheet = book.sheets.at(book.active_sheet);
  const auto used = sheet.UsedRange().value();
  sheet::CellTextRenderer renderer(book);
  std::string out;
  for (std::uint32_t r = 0; r <= used.last_row; ++r) {
    for (std::uint32_t c = 0; c <= used.last_column; ++c) {
      if (c > 0) out += delimiter;
      const std::string text = renderer.Text(sheet, r, c);
      if (text.find_first_of(std::string("\"\r\n") + delimiter) == std::string::npos) {
        out += text;
        continue;
      }
      out += '"';
      for (const char ch : text) out += ch == '"' ? std::string("\"\"") : std::string(1, ch);
      out += '"';
    }
    out += "\r\n";
  }
  return out;
}

// The same contacts from the .xlsx and from the CSV saved from it give the same files, byte
// for byte, in both encodings: birthdays that are dates in the one and text in the other too.
TEST_F(ExportEngineTest, ACsvExportsLikeTheWorkbookItWasSavedFrom) {
  const std::string xlsx = std::string(CW_FIXTURES_DIR) + "/xlsx/contacts_5_rows.xlsx";
  const std::string csv = dir_.File("contacts.csv");
  {
    std::ofstream file(csv, std::ios::binary);
    file << SavedAsCsv(sheet::ReadWorkbookFile(xlsx), ';');
  }
  const auto kinds = {"First Name", "Last Name", "Email",        "Home Voice", "Cellular", "Home Address",
                      "Home City",  "Home Zip",  "Home Country", "Birthday",   "Title",    "Notes"};
  for (const auto encoding : {ExportEncoding::Ansi, ExportEncoding::Utf8}) {
    std::vector<std::vector<std::string>> written;
    for (const std::string& book : {xlsx, csv}) {
      book_ = book;
      std::filesystem::remove_all(out_);
      std::filesystem::create_directory(out_);
      mapping::ColumnList columns;
      columns.FillColumnList(static_cast<int>(kinds.size()));
      std::size_t j = 1;
      for (const auto* kind : kinds) columns.SetType(j++, kind);
      ExportServices services{messages_, reporter_, clock_, pointer_, *engine_, regional_.code_page, regional_.dates};
      ExportRun(encoding, {book_, "A2:L6", columns, out_}, services);
      written.emplace_back();
      for (const auto& name : FilesIn(out_)) {
        written.back().push_back(name);
        written.back().push_back(ReadBytes(out_ + "/" + name));
      }
    }
    EXPECT_TRUE(reporter_.reports.empty());
    ASSERT_EQ(written[0].size(), 10u);
    EXPECT_EQ(written[0], written[1]);
  }
}

}  // namespace
}  // namespace cw::run
