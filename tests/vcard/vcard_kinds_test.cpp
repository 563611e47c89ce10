// The property table's lines as each version writes them, kind by kind (the original kinds'
// whole records are in vcard_versions_test.cpp), and several columns of one kind: every value
// in 3.0 and 4.0 (a line each; the categories of all in one line), one in 2.1.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "tests/vcard/vcard_test_support.h"
#include "vcard/vcard_record.h"

namespace cw::vcard {
namespace {

using mapping::FieldKind;

const LocalTime kBuilt{2026, 1, 1, 9, 5, 3, 0};

std::string Record(VCardVersion version, const ContactFields& fields, const PhotoData* photo = nullptr) {
  RecordOptions options;
  options.version = version;
  options.photo = photo;
  return BuildVCardRecord(fields, kBuilt, testing::UsDates(), nullptr, options);
}

// The lines between FN and REV, the ones the row's values give.
std::string ValueLines(const std::string& record) {
  const std::size_t fn = record.find("\r\nFN:");
  const std::size_t from = record.find("\r\n", fn + 2) + 2;
  return record.substr(from, record.find("REV:") - from);
}

TEST(NewKinds, EachLineInEveryVersion) {
  const PhotoData jpeg{"jpeg",
                       "\xFF\xD8\xFF"
                       "abc"};
  struct Case {
    FieldKind kind;
    std::string_view cell;
    const PhotoData* photo;
    std::string_view v21, v30, v40;
  };
  const Case kCases[] = {
      {FieldKind::kOrganization, "Acme; Inc.", nullptr, "ORG:Acme  Inc.", "ORG:Acme\\; Inc.", "ORG:Acme\\; Inc."},
      {FieldKind::kDepartment, "Sales", nullptr, "ORG:;Sales", "ORG:;Sales", "ORG:;Sales"},
      {FieldKind::kJobTitle, "Head, Sales", nullptr, "TITLE:Head, Sales", "TITLE:Head\\, Sales", "TITLE:Head\\, Sales"},
      {FieldKind::kNickname, "Annie", nullptr, "NICKNAME:Annie", "NICKNAME:Annie", "NICKNAME:Annie"},
      // Each form a reader takes: KContacts X-ANNIVERSARY (4.0: ANNIVERSARY), Android's
      // importer ANNIVERSARY, Evolution X-EVOLUTION-ANNIVERSARY.
      {FieldKind::kAnniversary, "6/20/2005", nullptr, "X-ANNIVERSARY:2005-06-20\r\nX-EVOLUTION-ANNIVERSARY:2005-06-20",
       "X-ANNIVERSARY:2005-06-20\r\nANNIVERSARY:2005-06-20\r\nX-EVOLUTION-ANNIVERSARY:2005-06-20",
       "ANNIVERSARY:20050620\r\nX-EVOLUTION-ANNIVERSARY:2005-06-20"},
      {FieldKind::kAnniversary, "someday", nullptr, "", "", ""},
      {FieldKind::kCategories, " Family, Friends,, ;x", nullptr, "CATEGORIES:Family,Friends, x",
       "CATEGORIES:Family,Friends,\\;x", "CATEGORIES:Family,Friends,\\;x"},
      {FieldKind::kCategories, " , ", nullptr, "", "", ""},
      {FieldKind::kEmailHome, "h@x.example", nullptr, "EMAIL;INTERNET;HOME:h@x.example",
       "EMAIL;TYPE=INTERNET,HOME:h@x.example", "EMAIL;TYPE=HOME:h@x.example"},
      {FieldKind::kEmailWork, "w@x.example", nullptr, "EMAIL;INTERNET;WORK:w@x.example",
       "EMAIL;TYPE=INTERNET,WORK:w@x.example", "EMAIL;TYPE=WORK:w@x.example"},
      {FieldKind::kEmailOther, "o@x.example", nullptr, "EMAIL;INTERNET:o@x.example", "EMAIL;TYPE=INTERNET:o@x.example",
       "EMAIL:o@x.example"},
      {FieldKind::kOtherPhone, "555 7", nullptr, "TEL;VOICE:555 7", "TEL;TYPE=VOICE:555 7", "TEL;TYPE=voice:555 7"},
      {FieldKind::kPhoto, "HTTPS://p.example/a.jpg", nullptr, "PHOTO;VALUE=URL:HTTPS://p.example/a.jpg",
       "PHOTO;VALUE=uri:HTTPS://p.example/a.jpg", "PHOTO;VALUE=uri:HTTPS://p.example/a.jpg"},
      // Beyond ASCII percent-encoded in every version: the ANSI file's code page never meets it.
      {FieldKind::kPhoto, "https://p.example/\xC3\xA9.jpg", nullptr, "PHOTO;VALUE=URL:https://p.example/%C3%A9.jpg",
       "PHOTO;VALUE=uri:https://p.example/%C3%A9.jpg", "PHOTO;VALUE=uri:https://p.example/%C3%A9.jpg"},
      // A web site is a URI in 3.0 and 4.0: no text escaping; what a URI may not hold is
      // percent-encoded. 2.1 writes the cell as the original does.
      {FieldKind::kWebsiteHome, "http://a.example/x;y,z\\q \xC3\xA9", nullptr,
       "URL;HOME:http://a.example/x;y,z\\q \xC3\xA9", "URL;TYPE=HOME:http://a.example/x;y,z%5Cq%20%C3%A9",
       "URL;TYPE=HOME:http://a.example/x;y,z%5Cq%20%C3%A9"},
      {FieldKind::kWebsiteWork, "https://w.example/a\nb", nullptr,
       "URL;WORK;ENCODING=QUOTED-PRINTABLE:https://w.example/a=0D=0Ab", "URL;TYPE=WORK:https://w.example/a%0Ab",
       "URL;TYPE=WORK:https://w.example/a%0Ab"},
      // White space only is no value in 3.0 and 4.0; 2.1 writes it as the original does.
      {FieldKind::kCellular, "  ", nullptr, "TEL;CELL:  ", "", ""},
      {FieldKind::kNotes, "\xC2\xA0\t\xE3\x80\x80", nullptr, "NOTE:\xC2\xA0\t\xE3\x80\x80", "", ""},
      {FieldKind::kNickname, " \n", nullptr, "NICKNAME;ENCODING=QUOTED-PRINTABLE: =0D=0A", "", ""},
      {FieldKind::kPhoto, "a.jpg", &jpeg, "PHOTO;ENCODING=BASE64;TYPE=JPEG:\r\n /9j/YWJj\r\n",
       "PHOTO;ENCODING=b;TYPE=JPEG:/9j/YWJj", "PHOTO;VALUE=uri:data:image/jpeg;base64,/9j/YWJj"},
      // A path whose file the run could not read gives no line.
      {FieldKind::kPhoto, "missing.jpg", nullptr, "", "", ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(mapping::FieldKindText(c.kind)) + " " + std::string(c.cell));
    ContactFields f;
    f[FieldKind::kFirstName] = "Ann";
    f[c.kind] = std::string(c.cell);
    const auto line = [](std::string_view l) { return l.empty() ? std::string() : std::string(l) + "\r\n"; };
    EXPECT_EQ(ValueLines(Record(VCardVersion::k21, f, c.photo)), line(c.v21));
    EXPECT_EQ(ValueLines(Record(VCardVersion::k30, f, c.photo)), line(c.v30));
    EXPECT_EQ(ValueLines(Record(VCardVersion::k40, f, c.photo)), line(c.v40));
  }
}

// Where the new lines stand among the original ones, and a photo folded as each version folds.
TEST(NewKinds, OrderAndFolding) {
  ContactFields f;
  f[FieldKind::kFirstName] = "Ann";
  f[FieldKind::kOrganization] = "Acme";
  f[FieldKind::kDepartment] = "Sales";
  f[FieldKind::kJobTitle] = "Boss";
  f[FieldKind::kNickname] = "Annie";
  f[FieldKind::kCellular] = "1";
  f[FieldKind::kOtherPhone] = "2";
  f[FieldKind::kEmail] = "a@x";
  f[FieldKind::kEmailWork] = "w@x";
  f[FieldKind::kBirthday] = "3/7/1980";
  f[FieldKind::kAnniversary] = "6/20/2005";
  f[FieldKind::kCategories] = "VIP";
  const PhotoData photo{"png", std::string(200, '\x01')};  // base64: "AQEB" 66 times, then "AQE="
  std::string groups;
  for (int i = 0; i < 18; ++i) groups += "AQEB";
  EXPECT_TRUE(
      ValueLines(Record(VCardVersion::k30, f, &photo))
          .starts_with("NICKNAME:Annie\r\nORG:Acme;Sales\r\nTITLE:Boss\r\nTEL;TYPE=CELL:1\r\nTEL;TYPE=VOICE:2\r\n"
                       "EMAIL;TYPE=INTERNET:a@x\r\nEMAIL;TYPE=INTERNET,WORK:w@x\r\nBDAY:1980-03-07\r\n"
                       "X-ANNIVERSARY:2005-06-20\r\nANNIVERSARY:2005-06-20\r\nX-EVOLUTION-ANNIVERSARY:2005-06-20\r\n"
                       "CATEGORIES:VIP\r\nPHOTO;ENCODING=b;TYPE=PNG:AQEB"));
  // 3.0 folds the photo at 75 octets; 2.1 writes lines of 72 after the property, and a blank
  // line after the last.
  const std::string v30 = Record(VCardVersion::k30, f, &photo);
  const std::size_t at30 = v30.find("PHOTO;");
  EXPECT_EQ(v30.find("\r\n", at30) - at30, 75u);
  const std::string v21 = Record(VCardVersion::k21, f, &photo);
  EXPECT_NE(v21.find("\r\nPHOTO;ENCODING=BASE64;TYPE=PNG:\r\n " + groups + "\r\n " + groups + "\r\n"),
            std::string::npos);
  EXPECT_NE(v21.find("AQE=\r\n\r\nREV:"), std::string::npos);
}

TEST(RepeatedColumns, EveryValueIn30And40TheLastGivenIn21) {
  ContactFields f;
  f.AddEarlier(FieldKind::kCellular, "111");
  f.AddEarlier(FieldKind::kEmail, "first@x");
  f.AddEarlier(FieldKind::kCellular, "");  // an empty cell gives no line
  f.AddEarlier(FieldKind::kCategories, "A, B");
  f[FieldKind::kCellular] = "222";
  f[FieldKind::kEmail] = "last@x";
  f[FieldKind::kCategories] = "C";
  EXPECT_EQ(ValueLines(Record(VCardVersion::k21, f)), "TEL;CELL:222\r\nEMAIL;INTERNET;PREF:last@x\r\nCATEGORIES:C\r\n");
  EXPECT_EQ(ValueLines(Record(VCardVersion::k30, f)),
            "TEL;TYPE=CELL:111\r\nTEL;TYPE=CELL:222\r\nEMAIL;TYPE=INTERNET:first@x\r\nEMAIL;TYPE=INTERNET:last@x\r\n"
            "CATEGORIES:A,B,C\r\n");
  // The last column empty: the earlier values still arrive; 2.1 keeps the last earlier one.
  f[FieldKind::kCellular].clear();
  EXPECT_EQ(ValueLines(Record(VCardVersion::k21, f)), "TEL;CELL:111\r\nEMAIL;INTERNET;PREF:last@x\r\nCATEGORIES:C\r\n");
  EXPECT_EQ(ValueLines(Record(VCardVersion::k40, f)),
            "TEL;TYPE=cell:111\r\nEMAIL:first@x\r\nEMAIL:last@x\r\nCATEGORIES:A,B,C\r\n");
}

}  // namespace
}  // namespace cw::vcard
