#include "vcard/vcard_record.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "vcard/code_page.h"
#include "vcard/record_file.h"

namespace cw::vcard {
namespace {

using mapping::FieldKind;
using testing::SameBytes;

const LocalTime kBuilt{2026, 1, 1, 9, 5, 3};

const DateRecognizer& UsDates() {
  static const DateRecognizer dates("en_US");
  return dates;
}

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
  const CodePage cp1252(1252);
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
  EXPECT_NE(record.find("\r\nNOTE;ENCODING=QUOTED-PRINTABLE:Line one =0D=0ALine=3Dtwo=0Athree=0Dfour\r\n"),
            std::string::npos)
      << record;
  EXPECT_NE(record.find("\r\nADR;HOME;ENCODING=QUOTED-PRINTABLE:;;12 High St=0AFlat 3;Leeds;;;\r\n"), std::string::npos)
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

TEST(CleanVCardValue, HandlesAnyLengthAndOnlyTouchesSeparators) {
  std::string huge(40000, 'x');
  huge[0] = ';';
  huge[39999] = ':';
  const std::string cleaned = CleanVCardValue(huge);
  ASSERT_EQ(cleaned.size(), 40000u);
  EXPECT_EQ(cleaned.front(), ' ');
  EXPECT_EQ(cleaned.back(), ' ');
  EXPECT_EQ(CleanVCardValue("  Zoë; Ünal:\\, "), "  Zoë  Ünal \\, ");

  ContactFields f;
  f[FieldKind::kNotes] = std::string(40000, 'n');
  const std::string record = BuildVCardRecord(f, kBuilt, UsDates());
  EXPECT_NE(record.find("\r\nNOTE:" + std::string(40000, 'n') + "\r\n"), std::string::npos);
}

TEST(FormatDateTime, PadMonthDayAndClockParts) {
  EXPECT_EQ(FormatDateYMD({1980, 3, 7}), "19800307");
  EXPECT_EQ(FormatDateYMD({2026, 12, 31}), "20261231");
  EXPECT_EQ(FormatTimeHMS({2026, 1, 1, 21, 5, 3}), "210503");
  EXPECT_EQ(FormatTimeHMS({2026, 1, 1, 0, 0, 7}), "000007");
  EXPECT_EQ(TelTypeName(FieldKind::kCellular), "CELL");
  EXPECT_EQ(TelTypeName(FieldKind::kWorkFax), "WORK;FAX");
}

}  // namespace
}  // namespace cw::vcard
