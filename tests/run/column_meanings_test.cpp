// Columns whose meaning goes beyond their cells, exported end to end from CSV files as Google,
// Thunderbird and people write them, through the real engine (the block is streamed, so a
// column of text dates is learned through a second reading of its own).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "run/export_run.h"
#include "run/regional_settings.h"
#include "tests/support/test_support.h"

namespace cw::run {
namespace {

using vcard::VCardVersion;

struct Case {
  std::string_view name;
  std::string_view locale;
  VCardVersion version;
  std::string_view csv;  // the block's rows, no headings
  std::vector<std::string_view> kinds;
  std::vector<std::string_view> lines;  // the BDAY, TEL, EMAIL, URL, ADR and CATEGORIES lines, in order
  std::string_view message;             // the run's final message
};

const Case kCases[] = {
    {"a column of month-first dates under a day-first locale",
     "en_GB.UTF-8",
     VCardVersion::k30,
     "Ann,12/1/1990\nBob,3/14/1985\nCy,2/3/2001\n",
     {"First Name", "Birthday"},
     {"BDAY:1990-12-01", "BDAY:1985-03-14", "BDAY:2001-02-03"},
     "Done."},
    {"both orders read every cell: the locale's; dots are day first",
     "en_US.UTF-8",
     VCardVersion::k30,
     "Ann,12/1/1990\nBob,07.03.1980\nCy,1980-03-07\n",
     {"First Name", "Birthday"},
     {"BDAY:1990-12-01", "BDAY:1980-03-07", "BDAY:1980-03-07"},
     ""},
    {"cells that contradict each other, and a cell that is no date",
     "en_US.UTF-8",
     VCardVersion::k30,
     // Outlook's "0/0/00" is no date at all; Google's "--03-07" a birthday without its year.
     "Ann,3/14/1985\nBob,14/3/1985\nCy,spring 1970\nDi,5/6/1990\nEd,   \nFa,0/0/00\nGu,--03-07\n",
     {"First Name", "Birthday"},
     {"BDAY:1985-03-14", "BDAY:1985-03-14", "BDAY:1990-05-06"},
     "Done.\n\nrow 2: \"14/3/1985\" does not fit the month-first order of the column's other dates; birthday "
     "written as 1985-03-14\nrow 3: \"spring 1970\" is not a date; no birthday written\nrow 7: \"--03-07\" has no "
     "year; no birthday written"},
    {"Thunderbird's birth year, month and day of month",
     "en_US.UTF-8",
     VCardVersion::k21,
     "Ann,1980,3,7\nBob,1981,13,7\nCy,,,\nDi,1990,May,2\n",
     {"First Name", "Birth Year", "Birth Month", "Birth Day of Month"},
     {"BDAY:19800307", "BDAY:19900502"},
     "Done.\n\nrow 2: birth year, month and day \"1981\", \"13\", \"7\" make no date; no birthday written"},
    {"Google's \" ::: \" values each on a line of its own",
     "en_US.UTF-8",
     VCardVersion::k40,
     "+1 555 ::: +1 666,a@x.org ::: b@y.org,* myContacts ::: Friends\n",
     {"Cellular", "Email Home", "Categories"},
     {"TEL;TYPE=cell:+1 555", "TEL;TYPE=cell:+1 666", "EMAIL;TYPE=HOME:a@x.org", "EMAIL;TYPE=HOME:b@y.org",
      "CATEGORIES:* myContacts,Friends"},
     "Done."},
    {"vCard 2.1 keeps the first of Google's values and says so",
     "en_US.UTF-8",
     VCardVersion::k21,
     "+1 555 ::: +1 666,Friends ::: Family\n",
     {"Cellular", "Categories"},
     {"TEL;CELL:+1 555", "CATEGORIES:Friends,Family"},
     "Done.\n\nrow 1: Cellular holds 2 values joined by \" ::: \"; vCard 2.1 keeps the first"},
    {"Google's label columns type the values beside them, row by row",
     "en_US.UTF-8",
     VCardVersion::k30,
     "Mobile,+1 555,* Work,a@x.org,Work,Berlin,Work,w.example\n"
     "Home Fax,+2 777,Other,c@z.org,,Paris,Blog,b.example\n"
     "Google Voice,+3 888,,,Home,Rome,,\n"
     "Mobile,+4 ::: +5,,,,,,\n",
     {"Phone Label", "Other Phone", "Email Label", "Email", "Address Label", "Home City", "Website Label",
      "Website Home"},
     {"TEL;TYPE=CELL:+1 555", "EMAIL;TYPE=INTERNET,WORK,PREF:a@x.org", "URL;TYPE=WORK:w.example",
      "ADR;TYPE=WORK:;;;Berlin;;;", "TEL;TYPE=HOME,FAX:+2 777", "EMAIL;TYPE=INTERNET:c@z.org",
      "URL;TYPE=HOME:b.example", "ADR;TYPE=HOME:;;;Paris;;;", "TEL;TYPE=VOICE:+3 888", "ADR;TYPE=HOME:;;;Rome;;;",
      "TEL;TYPE=CELL:+4", "TEL;TYPE=CELL:+5"},
     "Done."},
    {"a label's type holds in vCard 2.1 too, whatever the columns after it",
     "en_US.UTF-8",
     VCardVersion::k21,
     "Mobile,+1,Work,+2,Home,+3,,\n",
     {"Phone Label", "Cellular", "Phone Label", "Other Phone", "Phone Label", "Other Phone", "Phone Label",
      "Other Phone"},
     {"TEL;HOME;VOICE:+3", "TEL;WORK;VOICE:+2", "TEL;CELL:+1"},
     "Done."},
};

bool Wanted(const std::string& line) {
  for (std::string_view p : {"BDAY", "TEL", "EMAIL", "URL", "ADR", "CATEGORIES"}) {
    if (line.rfind(p, 0) == 0 && (line[p.size()] == ':' || line[p.size()] == ';')) return true;
  }
  return false;
}

TEST(ColumnMeanings, ExportedFromCsvFilesAsProgramsWriteThem) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    testing::TempFolder dir;
    const std::string book = dir.File("contacts.csv");
    std::ofstream(book, std::ios::binary) << c.csv;
    const std::string out = dir.File("out");
    std::filesystem::create_directory(out);
    RegionalSettings regional = RegionalSettings::ForLocale(c.locale);
    const auto engine = MakeSheetEngine(regional.format);
    mapping::ColumnList columns;
    columns.FillColumnList(static_cast<int>(c.kinds.size()));
    for (std::size_t j = 1; j <= c.kinds.size(); ++j) columns.SetType(j, c.kinds[j - 1]);
    testing::RecordingMessages messages;
    testing::RecordingReporter reporter;
    testing::FixedClock clock({2026, 1, 1, 9, 5, 3});
    testing::RecordingPointer pointer;
    ExportServices services{messages, reporter, clock, pointer, *engine, regional.code_page, regional.dates};
    const std::size_t rows = static_cast<std::size_t>(std::count(c.csv.begin(), c.csv.end(), '\n'));
    const char last_column = static_cast<char>('A' + c.kinds.size() - 1);
    ExportRun(vcard::ExportEncoding::Utf8,
              {book, "A1:" + std::string(1, last_column) + std::to_string(rows), columns, out, c.version, true},
              services);
    EXPECT_TRUE(reporter.reports.empty());
    std::vector<std::string> lines;
    for (const std::string& name : testing::FilesIn(out)) {
      std::istringstream file(testing::ReadBytes(out + "/" + name));
      for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (Wanted(line)) lines.push_back(line);
      }
    }
    EXPECT_EQ(lines, std::vector<std::string>(c.lines.begin(), c.lines.end()));
    ASSERT_EQ(messages.shown.size(), 1u);
    if (!c.message.empty()) {
      EXPECT_EQ(messages.shown[0].text, c.message);
    }
  }
}

// The lines each address book reads back from a file (tests/run/read_back_cards.py, and the
// KContacts reader where it is built).
std::string ReadBack(const std::string& parser, const std::string& file) {
  std::string command = "/usr/bin/python3 " CW_SOURCE_DIR "/tests/run/read_back_cards.py " + parser + " '" + file + "'";
#ifdef CW_KCONTACTS_READER
  if (parser == "kcontacts") command = std::string(CW_KCONTACTS_READER) + " '" + file + "'";
#endif
  std::string output;
  if (FILE* pipe = ::popen((command + " 2>&1").c_str(), "r")) {
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) output.append(buf, n);
    ::pclose(pipe);
  }
  return output;
}

// A Google row whose label columns type its values and whose cells join several values, and a
// column of month-first text dates under a day-first locale, as the address books read them.
TEST(ColumnMeanings, AddressBooksReadTheTypesTheLabelsGiveAndEveryJoinedValue) {
  testing::TempFolder dir;
  const std::string book = dir.File("google.csv");
  std::ofstream(book, std::ios::binary)
      << "Ann,12/1/1990,Mobile,+1 555 ::: +1 666,* Work,a@x.org ::: b@y.org,Work,Berlin\n"
         "Bob,3/14/1985,Home Fax,+2 777,Home,c@z.org,,Paris\n";
  RegionalSettings regional = RegionalSettings::ForLocale("en_GB.UTF-8");
  const auto engine = MakeSheetEngine(regional.format);
  const std::vector<std::string_view> kinds = {"First Name",  "Birthday", "Phone Label",   "Cellular",
                                               "Email Label", "Email",    "Address Label", "Home City"};
  mapping::ColumnList columns;
  columns.FillColumnList(static_cast<int>(kinds.size()));
  for (std::size_t j = 1; j <= kinds.size(); ++j) columns.SetType(j, kinds[j - 1]);
  const auto cards = [](VCardVersion version) {
    const bool v3 = version == VCardVersion::k30;
    const std::string internet = v3 ? "internet," : "";
    return "#card\nN=|Ann|||\nFN=Ann\nTEL;cell=+1 555\nTEL;cell=+1 666\nEMAIL;" + internet +
           "pref,work=a@x.org\nEMAIL;" + internet +
           "work=b@y.org\nADR;work=|||Berlin|||\nBDAY=" + (v3 ? "1990-12-01" : "19901201") +
           "\n#card\nN=|Bob|||\nFN=Bob\nTEL;fax,home=+2 777\nEMAIL;home" + (v3 ? ",internet" : "") +
           "=c@z.org\nADR;home=|||Paris|||\nBDAY=" + (v3 ? "1985-03-14" : "19850314") + "\n";
  };
  for (const auto version : {VCardVersion::k30, VCardVersion::k40}) {
    SCOPED_TRACE(std::string(vcard::VersionText(version)));
    const std::string out = dir.File(std::string(vcard::VersionText(version)));
    std::filesystem::create_directory(out);
    testing::RecordingMessages messages;
    testing::RecordingReporter reporter;
    testing::FixedClock clock({2026, 1, 1, 9, 5, 3});
    testing::RecordingPointer pointer;
    ExportServices services{messages, reporter, clock, pointer, *engine, regional.code_page, regional.dates};
    ExportRun(vcard::ExportEncoding::Utf8, {book, "A1:H2", columns, out, version, true}, services);
    ASSERT_TRUE(reporter.reports.empty());
    const std::string file = out + "/UTF8_google.vcf";
    for (const std::string parser : {"vobject", "eds"}) {
      SCOPED_TRACE(parser);
      EXPECT_EQ(ReadBack(parser, file), cards(version));
    }
#ifdef CW_KCONTACTS_READER
    EXPECT_EQ(ReadBack("kcontacts", file),
              "#card\nORG=|\nTEL;cell=+1 555\nTEL;cell=+1 666\nEMAIL;work=a@x.org\nEMAIL;work=b@y.org\n"
              "#card\nORG=|\nTEL;fax,home=+2 777\nEMAIL;home=c@z.org\n");
#endif
  }
}

}  // namespace
}  // namespace cw::run
