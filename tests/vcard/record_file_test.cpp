#include "vcard/record_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>
#include <unistd.h>

#include <cstdio>

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
constexpr LocaleCase kLocales[] = {
    {"C", 1252},     {"", 1252},      {"de_DE.UTF-8", 1252}, {"uk_UA", 1251},          {"pl_PL", 1250},
    {"el_GR", 1253}, {"tr_TR", 1254}, {"he_IL", 1255},       {"ar_EG", 1256},          {"lt_LT", 1257},
    {"vi_VN", 1258}, {"th_TH", 874},  {"ja_JP.UTF-8", 932},  {"zh_CN", 936},           {"zh_SG", 936},
    {"ko_KR", 949},  {"zh_TW", 950},  {"zh_HK.UTF-8", 950},  {"sr_RS@latin", 1250},    {"pt_BR", 1252},
    {"kk_KZ", 1251}, {"ky_KG", 1251}, {"mn_MN", 1251},       {"tt_RU", 1251},          {"be_BY", 1251},
    {"mk_MK", 1251}, {"sr_RS", 1251}, {"sr_ME", 1251},       {"uz_UZ@cyrillic", 1251}, {"az_AZ", 1254},
    {"uz_UZ", 1254}, {"bs_BA", 1250}, {"sq_AL", 1250},       {"tg_TJ", 1251},          {"fa_IR", 1256},
    {"ur_PK", 1256}, {"lv_LV", 1257}, {"et_EE", 1257},       {"ko_KR.EUC-KR", 949},    {"hi_IN", 1252}};

TEST(Encoders, LocaleGivesTheWindowsCodePage) {
  for (const auto& c : kLocales) {
    SCOPED_TRACE(c.locale);
    EXPECT_EQ(CodePage::ForLocale(c.locale), c.code_page);
    EXPECT_NO_THROW(CodePage{c.code_page});
  }
}

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

// What another program makes of `bytes` labelled `charset`: ICU's converter of that name
// (Qt reads charsets through ICU) and Python's codec of that name, both back to UTF-8.
std::string IcuDecode(std::string_view charset, std::string_view bytes) {
  UErrorCode status = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(std::string(charset).c_str(), &status);
  if (U_FAILURE(status)) return "(ICU knows no " + std::string(charset) + ")";
  icu::UnicodeString text(bytes.data(), static_cast<int32_t>(bytes.size()), converter, status);
  ucnv_close(converter);
  std::string utf8;
  return text.toUTF8String(utf8);
}

std::string PythonDecode(std::string_view charset, std::string_view bytes) {
  const std::string command = "/usr/bin/python3 -c \"import sys; sys.stdout.buffer.write(bytes.fromhex('" + Hex(bytes) +
                              "').decode('" + std::string(charset) + "').encode('utf-8'))\" 2>&1";
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buf[512];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) output.append(buf, n);
    ::pclose(pipe);
  }
  return output;
}

TEST(Encoders, EveryCodePagesCharsetNameReadsBackInOtherPrograms) {
  struct Case {
    int code_page;
    std::string_view text;  // letters of the code page's script
  };
  constexpr Case kCases[] = {
      {874, "\xE0\xB8\x81\xE0\xB8\xA3\xE0\xB8\xB8\xE0\xB8\x87"},  // กรุง
      {932, "\xE6\x97\xA5\xE6\x9C\xAC\xE3\x81\x8B\xE3\x83\x8A"},  // 日本かナ
      {936, "\xE4\xB8\xAD\xE6\x96\x87"},                          // 中文
      {949, "\xED\x95\x9C\xEA\xB5\xAD"},                          // 한국
      {950, "\xE4\xB8\xAD\xE6\x96\x87\xE8\x87\xBA"},              // 中文臺
      {1250,
       "\xC5\x81\xC3\xB3"
       "d\xC5\xBA \xC5\x99"},                                      // Łódź ř
      {1251, "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD \xD1\x97"},         // Иван ї
      {1252, "Zo\xC3\xAB \xC3\x9Cnal \xE2\x82\xAC"},               // Zoë Ünal €
      {1253, "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1"},  // Ελλάδα
      {1254, "\xC4\xB0\xC4\x9F\xC5\x9F"},                          // İğş
      {1255, "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D"},                  // שלום
      {1256, "\xD8\xB9\xD8\xB1\xD8\xA8\xD9\x8A"},                  // عربي
      {1257, "\xC4\xB6\xC4\xAB\xC4\xBC"},                          // Ķīļ
      {1258, "\xC4\x90\xC3\xB4ng"},                                // Đông
  };
  for (const auto& c : kCases) {
    const CodePage code_page(c.code_page);
    SCOPED_TRACE(code_page.CharsetName());
    const std::string bytes = code_page.Encode(c.text);
    ASSERT_EQ(bytes.find('?'), std::string::npos);
    EXPECT_EQ(IcuDecode(code_page.CharsetName(), bytes), c.text);
    EXPECT_EQ(PythonDecode(code_page.CharsetName(), bytes), c.text);
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

// A child process writes half a record and is killed: under a new name nothing is left at
// all; over an existing file the old one stays whole and the next run's clean-up removes
// the temporary, and only ours.
TEST(RecordFile, AKillMidWriteLeavesNoPartialFile) {
  TempFolder dir;
  const CodePage cp(1252);
  const auto killed_while_writing = [&](const std::string& path) {
    const pid_t child = ::fork();
    if (child == 0) {
      RecordFile file = RecordFile::Create(path);
      file.Write("BEGIN:VCARD\r\nVERS");
      ::kill(::getpid(), SIGKILL);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
  };
  killed_while_writing(dir.File("ANSI_New_Row1.vcf"));
  EXPECT_TRUE(testing::FilesIn(dir.Path()).empty());

  WriteRecordFile(dir.File("ANSI_Old_Row1.vcf"), "BEGIN:VCARD\r\nEND:VCARD", ExportEncoding::Ansi, cp);
  killed_while_writing(dir.File("ANSI_Old_Row1.vcf"));
  EXPECT_EQ(ReadBytes(dir.File("ANSI_Old_Row1.vcf")), "BEGIN:VCARD\r\nEND:VCARD\r\n");
  std::ofstream(dir.File(".cardwright-notes.tmp")) << "not ours";
  std::ofstream(dir.File(".cardwright-12x-1.tmp")) << "not ours";
  EXPECT_EQ(testing::FilesIn(dir.Path()).size(), 4u);
  EXPECT_EQ(RemoveLeftoverTemporaries(dir.Path()), 1u);
  EXPECT_EQ(testing::FilesIn(dir.Path()),
            (std::vector<std::string>{".cardwright-12x-1.tmp", ".cardwright-notes.tmp", "ANSI_Old_Row1.vcf"}));
}

TEST(RecordFile, AReplacedFileKeepsItsPermissionsAndAReadOnlyOneIsRefused) {
  TempFolder dir;
  const CodePage cp(1252);
  const std::string mine = dir.File("mine.vcf");
  const std::string locked = dir.File("locked.vcf");
  for (const auto& path : {mine, locked}) WriteRecordFile(path, "old", ExportEncoding::Ansi, cp);
  std::filesystem::permissions(mine, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  std::filesystem::permissions(locked, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
  WriteRecordFile(mine, "new", ExportEncoding::Ansi, cp);
  EXPECT_EQ(ReadBytes(mine), "new\r\n");
  EXPECT_EQ(std::filesystem::status(mine).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  try {
    RecordFile::Create(locked);
    ADD_FAILURE() << "a read-only file was opened for replacing";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file " + locked + ": the file is read-only");
  }
  EXPECT_EQ(ReadBytes(locked), "old\r\n");
  EXPECT_EQ(testing::FilesIn(dir.Path()), (std::vector<std::string>{"locked.vcf", "mine.vcf"}));
}

// The open folder looks its names up once; a name that appears afterwards, while the file
// is written, is treated at Close as an existing file is at Create.
TEST(RecordFile, ANameTakenAfterTheFolderWasOpenedIsReplacedLikeAnExistingFile) {
  TempFolder dir;
  const OutputFolder folder(dir.Path());
  const auto write_over = [&](const std::string& name, const auto& take_name) {
    RecordFile file = RecordFile::Create(folder, name);
    file.Write("new");
    take_name(dir.File(name));
    file.Close();
  };
  const auto old_file = [](std::filesystem::perms perms) {
    return [perms](const std::string& path) {
      std::ofstream(path) << "old";
      std::filesystem::permissions(path, perms);
    };
  };
  using std::filesystem::perms;
  write_over("mine.vcf", old_file(perms::owner_read | perms::owner_write));
  EXPECT_EQ(ReadBytes(dir.File("mine.vcf")), "new");
  EXPECT_EQ(std::filesystem::status(dir.File("mine.vcf")).permissions(), perms::owner_read | perms::owner_write);
  try {
    write_over("locked.vcf", old_file(perms::owner_read));
    ADD_FAILURE() << "a read-only file was replaced";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file " + dir.File("locked.vcf") + ": the file is read-only");
  }
  EXPECT_EQ(ReadBytes(dir.File("locked.vcf")), "old");
  EXPECT_THROW(write_over("sub.vcf", [](const std::string& path) { std::filesystem::create_directory(path); }),
               std::runtime_error);
  EXPECT_EQ(testing::FilesIn(dir.Path()), (std::vector<std::string>{"locked.vcf", "mine.vcf", "sub.vcf"}));
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
