// The ANSI file's code pages as the locale chooses them, and the CHARSET labels other
// programs read them back by.
#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include <cstdio>
#include <fstream>
#include <latch>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "run/regional_settings.h"
#include "tests/support/test_support.h"

namespace cw::run {
namespace {

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

TEST(AnsiCodePage, LocaleGivesTheWindowsCodePage) {
  for (const auto& c : kLocales) {
    SCOPED_TRACE(c.locale);
    EXPECT_EQ(AnsiCodePageNumber(c.locale), c.code_page);
    EXPECT_NO_THROW(AnsiCodePage(c.code_page));
  }
  EXPECT_THROW(AnsiCodePage(437), std::invalid_argument);
}

TEST(ShortDate, TakesOrderAndSeparatorFromTheLocalesShortDate) {
  EXPECT_EQ(ShortDateOf("en_US").order, vcard::DateOrder::kMonthDayYear);
  EXPECT_EQ(ShortDateOf("C").order, vcard::DateOrder::kMonthDayYear);
  EXPECT_EQ(ShortDateOf("de_DE").order, vcard::DateOrder::kDayMonthYear);
  EXPECT_EQ(ShortDateOf("de_DE").separator, '.');
  EXPECT_EQ(ShortDateOf("en_GB").separator, '/');
  EXPECT_EQ(ShortDateOf("ja_JP").order, vcard::DateOrder::kYearMonthDay);
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

// What the C library's iconv makes of `bytes` in `charset`, as UTF-8.
std::string IconvDecode(std::string_view charset, std::string_view bytes) {
  testing::TempFolder dir;
  const std::string in = dir.File("in");
  std::ofstream(in, std::ios::binary) << bytes;
  const std::string command = "iconv -f '" + std::string(charset) + "' -t UTF-8 '" + in + "' 2>&1";
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buf[512];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) output.append(buf, n);
    ::pclose(pipe);
  }
  return output;
}

// Each label is read back by python (vobject decodes with its codecs) and the C library's
// iconv (GNOME's address book), also for the characters a Windows page adds to the standard
// it extends, and by ICU for the standard's letters.
TEST(AnsiCodePage, EveryCharsetLabelReadsBackInOtherPrograms) {
  struct Case {
    int code_page;
    std::string_view text;  // letters of the code page's script
  };
  constexpr Case kCases[] = {
      {874, "กรุง €…“”‘’"},
      {932, "日本かナ 髙﨑①ｱ"},
      {936, "中文 €"},
      {949, "한국 똠뷁"},
      {950, "中文臺 €碁銹"},
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
    const vcard::CodePage code_page = AnsiCodePage(c.code_page);
    SCOPED_TRACE(code_page.CharsetName());
    const std::string bytes = code_page.Encode(c.text);
    ASSERT_EQ(bytes.find('?'), std::string::npos);
    // ICU takes CP874, CP949 and CP950 for IBM's pages, which share the standard's letters
    // but not Windows' additions; python and iconv are what vobject and GNOME read with.
    const std::string_view standard = c.text.substr(0, c.text.find(' '));
    EXPECT_EQ(IcuDecode(code_page.CharsetName(), code_page.Encode(standard)), standard);
    EXPECT_EQ(PythonDecode(code_page.CharsetName(), bytes), c.text);
    EXPECT_EQ(IconvDecode(code_page.CharsetName(), bytes), c.text);
  }
}

// The regional settings' code pages serve every thread that composes records: threads
// converting through the same CodePage at once each get their own bytes and their own count
// of lost characters.
TEST(AnsiCodePage, ThreadsConvertThroughOneCodePageAtOnce) {
  const vcard::CodePage western = AnsiCodePage(1252);
  const vcard::CodePage cyrillic = AnsiCodePage(1251);
  struct Case {
    const vcard::CodePage& code_page;
    std::string_view text;
    std::string_view bytes;
    std::size_t lost;
  };
  const Case kCases[] = {
      {western, "M\xC3\xBCller", "M\xFCller", 0},                                  // Müller
      {western, "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD Zo\xC3\xAB", "???? Zo\xEB", 4},  // Иван Zoë
      {western, "\xE6\x97\xA5\xE6\x9C\xAC", "??", 2},                              // 日本
      {cyrillic, "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD", "\xC8\xE2\xE0\xED", 0},       // Иван
      {cyrillic, "Zo\xC3\xAB \xD0\xB0", "Zo? \xE0", 1},                            // Zoë а
  };
  constexpr int kRounds = 3000;
  constexpr int kRepeats = 100;
  std::vector<std::thread> threads;
  std::vector<int> wrong(std::size(kCases), 0);
  std::latch start(static_cast<std::ptrdiff_t>(std::size(kCases)));
  for (std::size_t t = 0; t < std::size(kCases); ++t) {
    threads.emplace_back([&, t] {
      // Long texts, so that each conversion is still under way when another thread starts one.
      const Case& c = kCases[t];
      std::string text, bytes;
      for (int i = 0; i < kRepeats; ++i) {
        text += c.text;
        bytes += c.bytes;
      }
      start.arrive_and_wait();
      for (int round = 0; round < kRounds; ++round) {
        std::size_t lost = 0;
        if (c.code_page.Encode(text, &lost) != bytes || lost != c.lost * kRepeats) ++wrong[t];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (std::size_t t = 0; t < std::size(kCases); ++t) {
    SCOPED_TRACE(kCases[t].text);
    EXPECT_EQ(wrong[t], 0);
  }
}

}  // namespace
}  // namespace cw::run
