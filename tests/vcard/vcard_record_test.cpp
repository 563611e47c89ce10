#include "vcard/vcard_record.h"

#include <gtest/gtest.h>

#include <optional>

#include "tests/support/test_support.h"
#include "tests/vcard/vcard_test_support.h"
#include "vcard/code_page.h"
#include "vcard/record_file.h"

namespace cw::vcard {
namespace {

using mapping::FieldKind;
using testing::SameBytes;

const LocalTime kBuilt{2026, 1, 1, 9, 5, 3};

using testing::AnsiPage;
using testing::UsDates;
using testing::WriteRecordFile;

std::string Join(std::initializer_list<std::string_view> lines) {
  std::string out;
  for (auto l : lines) {
    if (!out.empty()) out += "\r\n";
    out += l;
  }
  return out;
}

TEST(BuildVCardRecord, WorkedExampleInBothEncodings) {
  ContactFields f;
  f[FieldKind::kFirstName] = "Ann";
  f[FieldKind::kLastName] = "Lee";
  f[FieldKind::kHomeVoice] = "555 0100";
  f[FieldKind::kHomeCity] = "Springfield";
  f[FieldKind::kBirthday] = "3/7/1980";
  const std::string record = BuildVCardRecord(f, kBuilt, UsDates());
  const std::string expected =
      Join({"BEGIN:VCARD", "VERSION:2.1", "N:Lee;Ann;;", "FN:Ann  Lee", "TEL;HOME;VOICE:555 0100",
            "ADR;HOME:;;;Springfield;;;", "BDAY:19800307", "REV:20260101T090503", "END:VCARD"});
  EXPECT_TRUE(SameBytes(expected, record));

  testing::TempFolder dir;
  const CodePage cp1252 = AnsiPage(1252);
  WriteRecordFile(dir.File("a.vcf"), record, ExportEncoding::Ansi, cp1252);
  WriteRecordFile(dir.File("u.vcf"), record, ExportEncoding::Utf8, cp1252);
  EXPECT_TRUE(SameBytes(expected + "\r\n", testing::ReadBytes(dir.File("a.vcf"))));
  EXPECT_TRUE(SameBytes("\xEF\xBB\xBF" + expected + "\r\n", testing::ReadBytes(dir.File("u.vcf"))));
}

TEST(BuildVCardRecord, EmptyFieldsStillGiveACompleteRecord) {
  const std::string record = BuildVCardRecord(ContactFields{}, {2026, 12, 31, 0, 0, 7}, UsDates());
  EXPECT_TRUE(
      SameBytes(Join({"BEGIN:VCARD", "VERSION:2.1", "N:;;;", "FN:  ", "REV:20261231T000007", "END:VCARD"}), record));
}

TEST(BuildVCardRecord, EveryLineInOrderWithCleaningWhereItApplies) {
  ContactFields f;
  f[FieldKind::kTitle] = "Dr.";
  f[FieldKind::kFirstName] = " Ann ";
  f[FieldKind::kLastName] = "Lee;Smith";
  f[FieldKind::kMiddleInitial] = "Q";
  f[FieldKind::kHomeVoice] = "1";
  f[FieldKind::kWorkVoice] = "2";
  f[FieldKind::kCellular] = "3";
  f[FieldKind::kHomeFax] = "4";
  f[FieldKind::kWorkFax] = "5:5";
  f[FieldKind::kPager] = " ";
  f[FieldKind::kEmail] = "a;b:c@example.com";
  f[FieldKind::kNotes] = "a;b:c";
  f[FieldKind::kWebsiteHome] = "http://home.example";
  f[FieldKind::kWebsiteWork] = "https://work.example/x;y";
  f[FieldKind::kWorkCountry] = "NZ";
  f[FieldKind::kHomeAddress] = "1 Main St, Apt 2\\3";
  f[FieldKind::kHomeZip] = "02134";
  f[FieldKind::kBirthday] = "1990-02-01";
  EXPECT_TRUE(
      SameBytes(Join({"BEGIN:VCARD", "VERSION:2.1", "N:Lee Smith; Ann ;Q;Dr.", "FN: Ann  Q Lee Smith",
                      "TEL;HOME;VOICE:1", "TEL;WORK;VOICE:2", "TEL;CELL:3", "TEL;HOME;FAX:4", "TEL;WORK;FAX:5 5",
                      "TEL;PAGER: ", "EMAIL;INTERNET;PREF:a;b:c@example.com", "NOTE:a b c",
                      "URL;HOME:http://home.example", "URL;WORK:https://work.example/x;y", "ADR;WORK:;;;;;;NZ",
                      "ADR;HOME:;;1 Main St, Apt 2\\3;;;02134;", "BDAY:19900201", "REV:20260101T090503", "END:VCARD"}),
                BuildVCardRecord(f, kBuilt, UsDates())));
}

TEST(BuildVCardRecord, UnrecognisedBirthdayLeavesOnlyThatLineOut) {
  ContactFields f;
  f[FieldKind::kFirstName] = "Kim";
  f[FieldKind::kBirthday] = "2/30/1990";
  const std::string record = BuildVCardRecord(f, kBuilt, UsDates());
  EXPECT_EQ(record.find("BDAY"), std::string::npos);
  EXPECT_NE(record.find("FN:Kim  \r\nREV:"), std::string::npos);
}

TEST(BuildVCardRecord, LineBreaksMakeTheLineQuotedPrintable) {
  ContactFields f;
  f[FieldKind::kNotes] = "Line one;\r\nLine=two\nthree\rfour";
  f[FieldKind::kHomeAddress] = "12 High St\nFlat 3";
  f[FieldKind::kHomeCity] = "Leeds";
  const std::string record = BuildVCardRecord(f, kBuilt, UsDates());
  EXPECT_NE(record.find("\r\nNOTE;ENCODING=QUOTED-PRINTABLE:Line one =0D=0ALine=3Dtwo=0D=0Athree=0D=0Afour\r\n"),
            std::string::npos)
      << record;
  EXPECT_NE(record.find("\r\nADR;HOME;ENCODING=QUOTED-PRINTABLE:;;12 High St=0D=0AFlat 3;Leeds;;;\r\n"),
            std::string::npos)
      << record;
  // No bare line break remains: every line of the record is a property line.
  for (std::size_t i = 0; i < record.size(); ++i) {
    if (record[i] == '\n') {
      EXPECT_EQ(record[i - 1], '\r');
    }
    if (record[i] == '\r') {
      EXPECT_EQ(record[i + 1], '\n');
    }
  }
  // A value with "=" but no line break is written as it is.
  ContactFields g;
  g[FieldKind::kNotes] = "a=b";
  EXPECT_NE(BuildVCardRecord(g, kBuilt, UsDates()).find("\r\nNOTE:a=b\r\n"), std::string::npos);
}

// In the ANSI file a value beyond ASCII carries its code page's name and its bytes as =XX;
// ASCII values, and every value of the UTF-8 file, stay as they are.
TEST(BuildVCardRecord, AnsiValuesBeyondAsciiSayTheirCharacterSet) {
  struct Case {
    int code_page;  // 0: the UTF-8 file
    std::string_view last_name;
    std::string_view note;
    std::string_view n_line;
    std::string_view note_line;
  };
  const Case kCases[] = {
      {1252, "M\xC3\xBCller", "Caf\xC3\xA9=bar",  // Müller, Café=bar
       "N;CHARSET=WINDOWS-1252;ENCODING=QUOTED-PRINTABLE:M=FCller;Ann;;",
       "NOTE;CHARSET=WINDOWS-1252;ENCODING=QUOTED-PRINTABLE:Caf=E9=3Dbar"},
      {1250,
       "\xC5\x81\xC3\xB3"
       "d\xC5\xBA",
       "\xC5\xBE\n\xC4\x8D\r\n\xC5\xA1\r",  // Łódź; ž LF č CR LF š CR
       "N;CHARSET=WINDOWS-1250;ENCODING=QUOTED-PRINTABLE:=A3=F3d=9F;Ann;;",
       "NOTE;CHARSET=WINDOWS-1250;ENCODING=QUOTED-PRINTABLE:=9E=0D=0A=E8=0D=0A=9A=0D=0A"},
      {1251, "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD", "Zo\xC3\xAB",  // Иван; ë is not in 1251
       "N;CHARSET=WINDOWS-1251;ENCODING=QUOTED-PRINTABLE:=C8=E2=E0=ED;Ann;;",
       "NOTE;CHARSET=WINDOWS-1251;ENCODING=QUOTED-PRINTABLE:Zo?"},
      {932, "\xE6\x97\xA5\xE6\x9C\xAC", "plain=ascii\nnext",  // 日本
       "N;CHARSET=CP932;ENCODING=QUOTED-PRINTABLE:=93=FA=96{;Ann;;",
       "NOTE;ENCODING=QUOTED-PRINTABLE:plain=3Dascii=0D=0Anext"},
      {1252, "Lee", "a=b", "N:Lee;Ann;;", "NOTE:a=b"},
      {0, "M\xC3\xBCller", "Caf\xC3\xA9\nx", "N:M\xC3\xBCller;Ann;;",
       "NOTE;ENCODING=QUOTED-PRINTABLE:Caf\xC3\xA9=0D=0Ax"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.n_line);
    ContactFields f;
    f[FieldKind::kFirstName] = "Ann";
    f[FieldKind::kLastName] = std::string(c.last_name);
    f[FieldKind::kNotes] = std::string(c.note);
    std::optional<CodePage> code_page;
    RecordOptions options;
    if (c.code_page != 0) options.ansi_code_page = &code_page.emplace(AnsiPage(c.code_page));
    const std::string record = BuildVCardRecord(f, kBuilt, UsDates(), nullptr, options);
    EXPECT_NE(record.find("\r\n" + std::string(c.n_line) + "\r\n"), std::string::npos) << record;
    EXPECT_NE(record.find("\r\n" + std::string(c.note_line) + "\r\n"), std::string::npos) << record;
  }
}

TEST(BuildVCardRecord, ABirthdayCellsOwnDateWinsOverItsText) {
  ContactFields f;
  f[FieldKind::kBirthday] = "3/7/25";  // read as text this would be 2025
  RecordOptions options;
  options.birthday_date = Date{1925, 3, 7};
  EXPECT_NE(BuildVCardRecord(f, kBuilt, UsDates(), nullptr, options).find("\r\nBDAY:19250307\r\n"), std::string::npos);
}

// Cleaning has no length limit and touches only the two separators.
TEST(BuildVCardRecord, CleansValuesOfAnyLength) {
  ContactFields f;
  f[FieldKind::kNotes] = ";" + std::string(39998, 'n') + ":";
  f[FieldKind::kLastName] = "Zo\xC3\xAB; \xC3\x9Cnal:\\, ";
  const std::string record = BuildVCardRecord(f, kBuilt, UsDates());
  EXPECT_NE(record.find("\r\nNOTE: " + std::string(39998, 'n') + " \r\n"), std::string::npos);
  EXPECT_NE(record.find("\r\nN:Zo\xC3\xAB  \xC3\x9Cnal \\, ;;;\r\n"), std::string::npos);
}

}  // namespace
}  // namespace cw::vcard
