// The records of vCard 3.0 and 4.0 as exact bytes: every field kind, the characters each
// version escapes, line breaks, characters beyond the Basic Multilingual Plane, folding; an
// empty row and a row with only an e-mail address.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "tests/support/test_support.h"
#include "tests/vcard/vcard_test_support.h"
#include "vcard/vcard_record.h"

namespace cw::vcard {
namespace {

using mapping::FieldKind;
using testing::SameBytes;

// Built at 09:05:03 local time, an hour ahead of UTC.
const LocalTime kBuilt{2026, 1, 1, 9, 5, 3, 60};
const std::string kLongNote = "\xF0\x9F\x98\x80 " + std::string(200, 'n') + "\xC3\xA9";  // 😀 nnn... é

ContactFields EveryKind() {
  ContactFields f;
  f[FieldKind::kTitle] = "Dr.";
  f[FieldKind::kFirstName] = "Ann";
  f[FieldKind::kLastName] = "Lee; Jr.";
  f[FieldKind::kMiddleInitial] = "Q";
  f[FieldKind::kHomeVoice] = "+1 555, ext 2";
  f[FieldKind::kWorkVoice] = "2";
  f[FieldKind::kCellular] = "3";
  f[FieldKind::kHomeFax] = "4";
  f[FieldKind::kWorkFax] = "5";
  f[FieldKind::kPager] = "6";
  f[FieldKind::kEmail] = "ann@example.com";
  f[FieldKind::kWebsiteHome] = "http://a.example/x;y,z";
  f[FieldKind::kWebsiteWork] = "https://w.example";
  f[FieldKind::kHomeAddress] = "1 Main St\r\nApt 2";
  f[FieldKind::kHomeCity] = "Back\\slash";
  f[FieldKind::kHomeRegion] = "R";
  f[FieldKind::kHomeZip] = "02134";
  f[FieldKind::kHomeCountry] = "US";
  f[FieldKind::kWorkAddress] = "Time: 10:30; room 4";
  f[FieldKind::kWorkCity] = "K\xC3\xB6ln";
  f[FieldKind::kWorkRegion] = "NRW";
  f[FieldKind::kWorkZip] = "50667";
  f[FieldKind::kWorkCountry] = "DE";
  f[FieldKind::kBirthday] = "3/7/1980";
  f[FieldKind::kNotes] = kLongNote;
  return f;
}

ContactFields OnlyEmail() {
  ContactFields f;
  f[FieldKind::kEmail] = "kim@example.com";
  return f;
}

std::string Lines(std::initializer_list<std::string_view> lines) {
  std::string out;
  for (auto l : lines) {
    if (!out.empty()) out += "\r\n";
    out += l;
  }
  return out;
}

struct Case {
  std::string_view label;
  ContactFields fields;
  std::string expected;
};

void Check(VCardVersion version, const std::vector<Case>& cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    RecordOptions options;
    options.version = version;
    options.uid = "urn:uuid:4b1a7e0e-1c33-5f2b-9d7e-0a1b2c3d4e5f";
    EXPECT_TRUE(SameBytes(c.expected, BuildVCardRecord(c.fields, kBuilt, testing::UsDates(), nullptr, options)));
  }
}

// The note folded at 75 octets: the emoji and "é" stay whole.
const std::string kFoldedNote = "NOTE:\xF0\x9F\x98\x80 " + std::string(65, 'n') + "\r\n " + std::string(74, 'n') +
                                "\r\n " + std::string(61, 'n') + "\xC3\xA9";

TEST(VCard30, RecordsAsExactBytes) {
  Check(VCardVersion::k30,
        {{"every kind", EveryKind(),
          Lines({"BEGIN:VCARD",
                 "VERSION:3.0",
                 "PRODID:-//Marrowind//Cardwright//EN",
                 "N:Lee\\; Jr.;Ann;Q;Dr.;",
                 "FN:Ann Q Lee\\; Jr.",
                 "TEL;TYPE=HOME,VOICE:+1 555\\, ext 2",
                 "TEL;TYPE=WORK,VOICE:2",
                 "TEL;TYPE=CELL:3",
                 "TEL;TYPE=HOME,FAX:4",
                 "TEL;TYPE=WORK,FAX:5",
                 "TEL;TYPE=PAGER:6",
                 "EMAIL;TYPE=INTERNET:ann@example.com",
                 kFoldedNote,
                 "URL;TYPE=HOME:http://a.example/x;y,z",
                 "URL;TYPE=WORK:https://w.example",
                 "ADR;TYPE=WORK:;;Time: 10:30\\; room 4;K\xC3\xB6ln;NRW;50667;DE",
                 "ADR;TYPE=HOME:;;1 Main St\\nApt 2;Back\\\\slash;R;02134;US",
                 "BDAY:1980-03-07",
                 "REV:2026-01-01T08:05:03Z",
                 "END:VCARD"})},
         {"empty row", ContactFields{},
          Lines({"BEGIN:VCARD", "VERSION:3.0", "PRODID:-//Marrowind//Cardwright//EN", "N:;;;;",
                 "FN:", "REV:2026-01-01T08:05:03Z", "END:VCARD"})},
         {"only an e-mail address", OnlyEmail(),
          Lines({"BEGIN:VCARD", "VERSION:3.0", "PRODID:-//Marrowind//Cardwright//EN", "N:;;;;", "FN:kim@example.com",
                 "EMAIL;TYPE=INTERNET:kim@example.com", "REV:2026-01-01T08:05:03Z", "END:VCARD"})}});
}

TEST(VCard40, RecordsAsExactBytes) {
  Check(VCardVersion::k40,
        {{"every kind", EveryKind(),
          Lines({"BEGIN:VCARD",
                 "VERSION:4.0",
                 "PRODID:-//Marrowind//Cardwright//EN",
                 "N:Lee\\; Jr.;Ann;Q;Dr.;",
                 "FN:Ann Q Lee\\; Jr.",
                 "TEL;TYPE=home,voice:+1 555\\, ext 2",
                 "TEL;TYPE=work,voice:2",
                 "TEL;TYPE=cell:3",
                 "TEL;TYPE=home,fax:4",
                 "TEL;TYPE=work,fax:5",
                 "TEL;TYPE=pager:6",
                 "EMAIL:ann@example.com",
                 kFoldedNote,
                 "URL;TYPE=HOME:http://a.example/x;y,z",
                 "URL;TYPE=WORK:https://w.example",
                 "ADR;TYPE=work:;;Time: 10:30\\; room 4;K\xC3\xB6ln;NRW;50667;DE",
                 "ADR;TYPE=home:;;1 Main St\\nApt 2;Back\\\\slash;R;02134;US",
                 "BDAY:19800307",
                 "REV:20260101T080503Z",
                 "UID:urn:uuid:4b1a7e0e-1c33-5f2b-9d7e-0a1b2c3d4e5f",
                 "END:VCARD"})},
         {"empty row", ContactFields{},
          Lines({"BEGIN:VCARD", "VERSION:4.0", "PRODID:-//Marrowind//Cardwright//EN", "N:;;;;",
                 "FN:", "REV:20260101T080503Z", "UID:urn:uuid:4b1a7e0e-1c33-5f2b-9d7e-0a1b2c3d4e5f", "END:VCARD"})},
         {"only an e-mail address", OnlyEmail(),
          Lines({"BEGIN:VCARD", "VERSION:4.0", "PRODID:-//Marrowind//Cardwright//EN", "N:;;;;", "FN:kim@example.com",
                 "EMAIL:kim@example.com", "REV:20260101T080503Z", "UID:urn:uuid:4b1a7e0e-1c33-5f2b-9d7e-0a1b2c3d4e5f",
                 "END:VCARD"})}});
}

// 2.1 keeps its own rules: cleaned values, quoted-printable line breaks, no folding, a
// local REV, no PRODID or UID.
TEST(VCard21, RecordsAsExactBytes) {
  Check(VCardVersion::k21,
        {{"every kind", EveryKind(),
          Lines({"BEGIN:VCARD", "VERSION:2.1", "N:Lee  Jr.;Ann;Q;Dr.", "FN:Ann Q Lee  Jr.",
                 "TEL;HOME;VOICE:+1 555, ext 2", "TEL;WORK;VOICE:2", "TEL;CELL:3", "TEL;HOME;FAX:4", "TEL;WORK;FAX:5",
                 "TEL;PAGER:6", "EMAIL;INTERNET;PREF:ann@example.com", "NOTE:" + kLongNote,
                 "URL;HOME:http://a.example/x;y,z", "URL;WORK:https://w.example",
                 "ADR;WORK:;;Time  10 30  room 4;K\xC3\xB6ln;NRW;50667;DE",
                 "ADR;HOME;ENCODING=QUOTED-PRINTABLE:;;1 Main St=0D=0AApt 2;Back\\slash;R;02134;US", "BDAY:19800307",
                 "REV:20260101T090503", "END:VCARD"})},
         {"only an e-mail address", OnlyEmail(),
          Lines({"BEGIN:VCARD", "VERSION:2.1", "N:;;;", "FN:  ", "EMAIL;INTERNET;PREF:kim@example.com",
                 "REV:20260101T090503", "END:VCARD"})}});
}

// Control characters would stop a reader or mislead it: they are written as spaces in every
// version, while a tab stays and line breaks keep their version's form.
TEST(VCardValues, ControlCharactersBecomeSpaces) {
  struct NoteCase {
    VCardVersion version;
    std::string_view note_line;
  };
  constexpr NoteCase kCases[] = {
      {VCardVersion::k21, "NOTE;ENCODING=QUOTED-PRINTABLE:a b c d e\tf=0D=0Ag"},
      {VCardVersion::k30, "NOTE:a b c d e\tf\\ng"},
      {VCardVersion::k40, "NOTE:a b c d e\tf\\ng"},
  };
  ContactFields f;
  f[FieldKind::kNotes] = std::string(
      "a\0b\x07"
      "c\x0B"
      "d\x1B"
      "e\tf\ng",
      13);
  f[FieldKind::kFirstName] =
      "A\x7F"
      "B";
  for (const auto& c : kCases) {
    SCOPED_TRACE(VersionText(c.version));
    RecordOptions options;
    options.version = c.version;
    const std::string record = BuildVCardRecord(f, kBuilt, testing::UsDates(), nullptr, options);
    EXPECT_NE(record.find("\r\n" + std::string(c.note_line) + "\r\n"), std::string::npos) << record;
    EXPECT_NE(record.find("A B"), std::string::npos) << record;
  }
}

// Wherever a multi-byte character falls, no physical line is longer than 75 octets and none
// begins inside a UTF-8 sequence; unfolding gives the value back.
TEST(VCard30, FoldsAt75OctetsNeverInsideACharacter) {
  for (std::size_t lead = 0; lead < 8; ++lead) {
    ContactFields f;
    std::string note(lead, 'a');
    for (int i = 0; i < 40; ++i) note += "\xE2\x82\xAC\xF0\x9F\x98\x80";  // €😀
    f[FieldKind::kNotes] = note;
    RecordOptions options;
    options.version = VCardVersion::k30;
    const std::string record = BuildVCardRecord(f, kBuilt, testing::UsDates(), nullptr, options);
    std::string unfolded;
    std::size_t start = 0;
    while (start <= record.size()) {
      const std::size_t end = std::min(record.find("\r\n", start), record.size());
      const std::string_view line(record.data() + start, end - start);
      EXPECT_LE(line.size(), 75u);
      ASSERT_FALSE(line.empty());
      EXPECT_NE(static_cast<unsigned char>(line[line[0] == ' ' ? 1 : 0]) & 0xC0, 0x80u) << line;
      unfolded += line[0] == ' ' ? line.substr(1) : "\n" + std::string(line);
      start = end + 2;
    }
    EXPECT_NE(unfolded.find("\nNOTE:" + note + "\n"), std::string::npos);
  }
}

}  // namespace
}  // namespace cw::vcard
