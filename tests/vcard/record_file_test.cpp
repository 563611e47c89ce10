#include "vcard/record_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "run/regional_settings.h"
#include "tests/support/test_support.h"
#include "tests/vcard/vcard_test_support.h"

namespace cw::vcard {
namespace {

using testing::AnsiPage;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteRecordFile;

TEST(Encoders, AnsiUsesTheLocalesCodePageAndQuestionMarksWhatItLacks) {
  const CodePage western = AnsiPage(1252);
  const CodePage cyrillic = AnsiPage(1251);
  EXPECT_EQ(western.Number(), 1252);
  EXPECT_EQ(cyrillic.Number(), 1251);
  EXPECT_EQ(western.Encode("Ren\xC3\xA9"), "Ren\xE9");
  EXPECT_EQ(western.Encode("\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD"), "????");               // Иван
  EXPECT_EQ(cyrillic.Encode("\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD"), "\xC8\xE2\xE0\xED");  // Иван in cp1251
  EXPECT_EQ(western.Encode("\xE2\x82\xAC 5"), "\x80 5");                               // € is 0x80
  EXPECT_EQ(western.Encode("\xF0\x9F\x98\x80"), "?");                                  // one character, one "?"
  EXPECT_EQ(western.Encode(""), "");
  EXPECT_EQ(AnsiPage(932).Encode("\xE6\x97\xA5"), "\x93\xFA");  // 日 in cp932

  EXPECT_EQ(EncodeUtf8(""), "");
  EXPECT_EQ(EncodeUtf8("Ren\xC3\xA9 \xF0\x9F\x98\x80"), "Ren\xC3\xA9 \xF0\x9F\x98\x80");
  EXPECT_EQ(EncodeUtf8("bad\xFFx"), "bad\xEF\xBF\xBDx");
  EXPECT_EQ(EncodeUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // a lone surrogate
}

TEST(RecordFile, WritesWholeFilesOrLeavesTheOldOneAlone) {
  TempFolder dir;
  const CodePage cp = AnsiPage(1252);
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

// A child process writes half a record and is killed: nothing is left at all, under a new
// name or over an existing file, which stays whole.
TEST(RecordFile, AKillMidWriteLeavesNoPartialFile) {
  TempFolder dir;
  const CodePage cp = AnsiPage(1252);
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
  EXPECT_EQ(testing::FilesIn(dir.Path()), std::vector<std::string>{"ANSI_Old_Row1.vcf"});
}

// The sweep removes a dead run's temporary, and only ours: not one held locked by a run the
// process id cannot tell of (another container or host), nor names merely like ours.
TEST(RecordFile, TheLeftoverSweepRemovesOnlyUnlockedTemporariesOfOurs) {
  TempFolder dir;
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);  // a process id no longer running
  const std::string dead = ".cardwright-" + std::to_string(child) + "-";
  std::ofstream(dir.File(dead + "0.tmp")) << "left by a killed run";
  std::ofstream(dir.File(dead + "1.tmp")) << "a live run elsewhere";
  std::ofstream(dir.File(".cardwright-notes.tmp")) << "not ours";
  std::ofstream(dir.File(".cardwright-12x-1.tmp")) << "not ours";
  const int held = ::open(dir.File(dead + "1.tmp").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  EXPECT_EQ(RemoveLeftoverTemporaries(dir.Path()), 1u);
  std::vector<std::string> kept = {dead + "1.tmp", ".cardwright-12x-1.tmp", ".cardwright-notes.tmp"};
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(testing::FilesIn(dir.Path()), kept);
  ::close(held);  // the run elsewhere has ended without cleaning up
  EXPECT_EQ(RemoveLeftoverTemporaries(dir.Path()), 1u);
  EXPECT_EQ(testing::FilesIn(dir.Path()), (std::vector<std::string>{".cardwright-12x-1.tmp", ".cardwright-notes.tmp"}));
}

TEST(RecordFile, AReplacedFileKeepsItsPermissionsAndAReadOnlyOneIsRefused) {
  TempFolder dir;
  const CodePage cp = AnsiPage(1252);
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
