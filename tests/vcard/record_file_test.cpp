#include "vcard/record_file.h"

#include <gtest/gtest.h>

#include "run/regional_settings.h"
#include "tests/support/test_support.h"

namespace cw::vcard {
namespace {

using testing::ReadBytes;
using testing::TempFolder;

TEST(Encoders, AnsiUsesTheLocalesCodePageAndQuestionMarksWhatItLacks) {
  const CodePage western(CodePage::ForLocale("en_US.UTF-8"));
  const CodePage cyrillic(CodePage::ForLocale("ru_RU.UTF-8"));
  EXPECT_EQ(western.Number(), 1252);
  EXPECT_EQ(cyrillic.Number(), 1251);
  EXPECT_EQ(western.Encode("Ren\xC3\xA9"), "Ren\xE9");
  EXPECT_EQ(western.Encode("\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD"), "????");               // Иван
  EXPECT_EQ(cyrillic.Encode("\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD"), "\xC8\xE2\xE0\xED");  // Иван in cp1251
  EXPECT_EQ(western.Encode("\xE2\x82\xAC 5"), "\x80 5");                               // € is 0x80
  EXPECT_EQ(western.Encode("\xF0\x9F\x98\x80"), "?");                                  // one character, one "?"
  EXPECT_EQ(western.Encode(""), "");
  EXPECT_EQ(CodePage(CodePage::ForLocale("ja_JP")).Encode("\xE6\x97\xA5"), "\x93\xFA");  // 日 in cp932

  EXPECT_EQ(EncodeUtf8(""), "");
  EXPECT_EQ(EncodeUtf8("Ren\xC3\xA9 \xF0\x9F\x98\x80"), "Ren\xC3\xA9 \xF0\x9F\x98\x80");
  EXPECT_EQ(EncodeUtf8("bad\xFFx"), "bad\xEF\xBF\xBDx");
  EXPECT_EQ(EncodeUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // a lone surrogate
}

struct LocaleCase {
  std::string_view locale;
  int code_page;
};
constexpr LocaleCase kLocales[] = {{"C", 1252},          {"", 1252},           {"de_DE.UTF-8", 1252}, {"uk_UA", 1251},
                                   {"pl_PL", 1250},      {"el_GR", 1253},      {"tr_TR", 1254},       {"he_IL", 1255},
                                   {"ar_EG", 1256},      {"lt_LT", 1257},      {"vi_VN", 1258},       {"th_TH", 874},
                                   {"ja_JP.UTF-8", 932}, {"zh_CN", 936},       {"zh_SG", 936},        {"ko_KR", 949},
                                   {"zh_TW", 950},       {"zh_HK.UTF-8", 950}, {"sr_RS@latin", 1251}, {"pt_BR", 1252}};

TEST(Encoders, LocaleGivesTheWindowsCodePage) {
  for (const auto& c : kLocales) {
    SCOPED_TRACE(c.locale);
    EXPECT_EQ(CodePage::ForLocale(c.locale), c.code_page);
    EXPECT_NO_THROW(CodePage{c.code_page});
  }
}

TEST(RecordFile, WritesWholeFilesOrLeavesTheOldOneAlone) {
  TempFolder dir;
  const CodePage cp(1252);
  const std::string target = dir.File("UTF8_Ann Lee_Row1.vcf");
  // A new file whose write never completes is not left behind.
  {
    RecordFile file = RecordFile::Create(target);
    file.Write("half a rec");
  }
  EXPECT_TRUE(testing::FilesIn(dir.Path()).empty());

  WriteRecordFile(target, "BEGIN:VCARD\r\nEND:VCARD", ExportEncoding::Utf8, cp);
  EXPECT_EQ(ReadBytes(target),
            "\xEF\xBB\xBF"
            "BEGIN:VCARD\r\nEND:VCARD\r\n");

  // A write that never completes leaves the previous file as it was and no temporary behind.
  {
    RecordFile file = RecordFile::Create(target);
    file.Write("half a rec");
  }
  EXPECT_EQ(ReadBytes(target),
            "\xEF\xBB\xBF"
            "BEGIN:VCARD\r\nEND:VCARD\r\n");
  EXPECT_EQ(testing::FilesIn(dir.Path()), std::vector<std::string>{"UTF8_Ann Lee_Row1.vcf"});

  // A completed write replaces it.
  WriteRecordFile(target, "Ren\xC3\xA9", ExportEncoding::Ansi, cp);
  EXPECT_EQ(ReadBytes(target), "Ren\xE9\r\n");
  EXPECT_EQ(testing::FilesIn(dir.Path()).size(), 1u);
}

TEST(RecordFile, FailuresAreRaisedAtTheirOwnStep) {
  TempFolder dir;
  // Creating in a missing folder, over a folder, or with an over-long name fails at creation.
  EXPECT_THROW(RecordFile::Create(dir.File("gone/x.vcf")), std::runtime_error);
  std::filesystem::create_directory(dir.File("sub.vcf"));
  EXPECT_THROW(RecordFile::Create(dir.File("sub.vcf")), std::runtime_error);
  EXPECT_THROW(RecordFile::Create(dir.File(std::string(300, 'a') + ".vcf")), std::runtime_error);
  // Writing with no open file fails; closing it does nothing.
  RecordFile none;
  EXPECT_THROW(none.Write("x"), std::runtime_error);
  EXPECT_NO_THROW(none.Close());
  EXPECT_EQ(testing::FilesIn(dir.Path()), std::vector<std::string>{"sub.vcf"});
}

}  // namespace
}  // namespace cw::vcard
