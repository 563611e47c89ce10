// Independent vCard parsers (python3-vobject, Evolution Data Server) read back what the
// writer wrote.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "tests/support/test_support.h"
#include "tests/vcard/vcard_test_support.h"
#include "vcard/record_file.h"
#include "vcard/vcard_record.h"

namespace cw::vcard {
namespace {

using mapping::FieldKind;
using testing::AnsiPage;
using testing::WriteRecordFile;

std::string RunDump(const std::string& file) {
  const std::string python = "/usr/bin/python3";
  if (!std::filesystem::exists(python)) return "no python";
  const std::string command = python + " " CW_SOURCE_DIR "/tests/vcard/vobject_dump.py '" + file + "' 2>&1";
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) output.append(buf, n);
    ::pclose(pipe);
  }
  return output;
}

TEST(VobjectRoundTrip, EveryWrittenFieldComesBack) {
  ContactFields f;
  f[FieldKind::kTitle] = "Dr.";
  f[FieldKind::kFirstName] = "Zoë";
  f[FieldKind::kLastName] = "Ünal";
  f[FieldKind::kMiddleInitial] = "K";
  f[FieldKind::kHomeVoice] = "+44 20 7946 0018";
  f[FieldKind::kWorkVoice] = "(555) 010-0200";
  f[FieldKind::kCellular] = "491701234567";
  f[FieldKind::kHomeFax] = "555 0300";
  f[FieldKind::kWorkFax] = "555 0400";
  f[FieldKind::kPager] = "555 0500";
  f[FieldKind::kEmail] = "zoe.unal@example.com";
  f[FieldKind::kWebsiteHome] = "http://zoe.example";
  f[FieldKind::kWebsiteWork] = "https://work.example/team";
  f[FieldKind::kHomeAddress] = "12 High St";
  f[FieldKind::kHomeCity] = "Leeds";
  f[FieldKind::kHomeZip] = "LS1 4AP";
  f[FieldKind::kHomeCountry] = "UK";
  f[FieldKind::kWorkAddress] = "1 Infinite Loop";
  f[FieldKind::kWorkCity] = "Cupertino";
  f[FieldKind::kWorkRegion] = "CA";
  f[FieldKind::kWorkZip] = "95014";
  f[FieldKind::kBirthday] = "3/7/1980";
  f[FieldKind::kNotes] = "Met at the fair.\r\nLikes tea = yes\nCall after 6";
  const DateRecognizer& dates = testing::UsDates();
  const std::string record = BuildVCardRecord(f, {2026, 1, 1, 9, 5, 3}, dates);
  testing::TempFolder dir;
  WriteRecordFile(dir.File("u.vcf"), record, ExportEncoding::Utf8, AnsiPage(1252));

  const std::string expected =
      "N.family=Ünal\nN.given=Zoë\nN.additional=K\nN.prefix=Dr.\nFN=Zoë K Ünal\n"
      "TEL;HOME;VOICE=+44 20 7946 0018\nTEL;WORK;VOICE=(555) 010-0200\nTEL;CELL=491701234567\n"
      "TEL;HOME;FAX=555 0300\nTEL;WORK;FAX=555 0400\nTEL;PAGER=555 0500\n"
      "EMAIL=zoe.unal@example.com\nURL;HOME=http://zoe.example\nURL;WORK=https://work.example/team\n"
      "ADR;WORK=1 Infinite Loop|Cupertino|CA|95014|\nADR;HOME=12 High St|Leeds||LS1 4AP|UK\n"
      "BDAY=19800307\nNOTE=Met at the fair.\\r\\nLikes tea = yes\\r\\nCall after 6\n";
  EXPECT_EQ(RunDump(dir.File("u.vcf")), expected);
}

std::string ReadBack(const std::string& parser, const std::string& file) {
  const std::string command =
      "/usr/bin/python3 " CW_SOURCE_DIR "/tests/vcard/read_back.py " + parser + " '" + file + "' 2>&1";
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) output.append(buf, n);
    ::pclose(pipe);
  }
  return output;
}

// The ANSI file of contacts with accents, in the code pages of Central Europe, Cyrillic and
// Western Europe, reads back to the same names, notes and addresses.
TEST(AddressBooksReadBack, AnsiFilesWithAccents) {
  struct Case {
    int code_page;
    std::string_view given, family, note, street, city;
  };
  constexpr Case kCases[] = {
      {1250, "Zdeněk", "Łódź-Šťastný", "Poznámka: žluťoučký kůň\nřádek 2", "Náměstí Míru 5", "Kraków"},
      {1251, "Иван", "Петров-Їжак", "Заметка = важно\r\nстрока 2", "ул. Ленина 5", "Київ"},
      {1252, "Zoë", "Müller-Nuñez", "Café crème = 2€\rnext", "Rua São João", "Malmö"},
  };
  const DateRecognizer& dates = testing::UsDates();
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.code_page);
    ContactFields f;
    f[FieldKind::kFirstName] = std::string(c.given);
    f[FieldKind::kLastName] = std::string(c.family);
    f[FieldKind::kNotes] = std::string(c.note);
    f[FieldKind::kHomeAddress] = std::string(c.street);
    f[FieldKind::kHomeCity] = std::string(c.city);
    f[FieldKind::kWorkCountry] = std::string(c.city);
    const CodePage code_page = AnsiPage(c.code_page);
    RecordOptions options;
    options.ansi_code_page = &code_page;
    testing::TempFolder dir;
    WriteRecordFile(dir.File("a.vcf"), BuildVCardRecord(f, {2026, 1, 1, 9, 5, 3}, dates, nullptr, options),
                    ExportEncoding::Ansi, code_page);

    std::string note(c.note);
    for (const std::string_view bare : {"\r\n", "\n", "\r"}) {
      if (const auto at = note.find(bare); at != std::string::npos) note.replace(at, bare.size(), "\\r\\n");
    }
    // 2.1 writes ";" and ":" as spaces.
    const auto cleaned = [](std::string text) {
      for (char& ch : text) ch = ch == ';' || ch == ':' ? ' ' : ch;
      return text;
    };
    const std::string street = cleaned(std::string(c.street));
    const std::string expected = "family=" + std::string(c.family) + "\ngiven=" + std::string(c.given) +
                                 "\nfull=" + std::string(c.given) + "  " + std::string(c.family) +
                                 "\nnote=" + cleaned(note) + "\nadr.work=||||" + std::string(c.city) +
                                 "\nadr.home=" + street + "|" + std::string(c.city) + "|||\n";
    EXPECT_EQ(ReadBack("vobject", dir.File("a.vcf")), expected);
    EXPECT_EQ(ReadBack("eds", dir.File("a.vcf")), expected);
  }
}

}  // namespace
}  // namespace cw::vcard
