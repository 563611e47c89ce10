#include "vcard/code_page.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <stdexcept>
#include <vector>

#include "sheet/code_pages.h"
#include "vcard/locale_name.h"

namespace cw::vcard {
namespace {

struct LocaleCodePage {
  std::string_view language;
  std::string_view region;    // empty: any region
  std::string_view modifier;  // empty: any modifier
  int code_page;
};

// Windows' ANSI code page for the languages Debian ships locales for; the first matching
// line wins, so a script or region that changes the page comes before its language. Every
// language not listed, and the C locale, gets 1252.
constexpr LocaleCodePage kLocaleCodePages[] = {
    // Serbian, Uzbek, Azeri, Belarusian and Tatar: the script decides.
    {"sr", "", "latin", 1250},
    {"sr", "", "", 1251},
    {"uz", "", "cyrillic", 1251},
    {"uz", "", "", 1254},
    {"az", "IR", "", 1256},
    {"az", "", "", 1254},
    {"be", "", "latin", 1250},
    {"tt", "", "iqtelif", 1254},
    // Chinese: traditional script where Windows uses Big5, simplified elsewhere.
    {"zh", "TW", "", 950},
    {"zh", "HK", "", 950},
    {"zh", "MO", "", 950},
    {"cmn", "TW", "", 950},
    {"hak", "TW", "", 950},
    {"nan", "TW", "", 950},
    {"lzh", "TW", "", 950},
    {"yue", "HK", "", 950},
    {"zh", "", "", 936},
    // Cyrillic.
    {"ru", "", "", 1251},
    {"uk", "", "", 1251},
    {"bg", "", "", 1251},
    {"be", "", "", 1251},
    {"mk", "", "", 1251},
    {"kk", "", "", 1251},
    {"ky", "", "", 1251},
    {"mn", "", "", 1251},
    {"tt", "", "", 1251},
    {"tg", "", "", 1251},
    {"sah", "", "", 1251},
    // Central European.
    {"pl", "", "", 1250},
    {"cs", "", "", 1250},
    {"sk", "", "", 1250},
    {"hu", "", "", 1250},
    {"ro", "", "", 1250},
    {"hr", "", "", 1250},
    {"sl", "", "", 1250},
    {"sq", "", "", 1250},
    {"bs", "", "", 1250},
    {"tk", "", "", 1250},
    {"el", "", "", 1253},
    {"tr", "", "", 1254},
    {"ku", "", "", 1254},
    {"he", "", "", 1255},
    {"yi", "", "", 1255},
    {"sd", "", "devanagari", 1252},
    {"ar", "", "", 1256},
    {"fa", "", "", 1256},
    {"ur", "", "", 1256},
    {"ps", "", "", 1256},
    {"ug", "", "", 1256},
    {"sd", "", "", 1256},
    {"ckb", "", "", 1256},
    {"et", "", "", 1257},
    {"lv", "", "", 1257},
    {"lt", "", "", 1257},
    {"vi", "", "", 1258},
    {"th", "", "", 874},
    {"ja", "", "", 932},
    {"ko", "", "", 949},
};

}  // namespace

struct CodePage::Converter {
  UConverter* handle = nullptr;
  ~Converter() {
    if (handle) ucnv_close(handle);
  }
};

CodePage::CodePage(int windows_code_page) : number_(windows_code_page), converter_(std::make_unique<Converter>()) {
  const sheet::WindowsCodePage* names = sheet::FindWindowsCodePage(windows_code_page);
  UErrorCode status = U_ZERO_ERROR;
  if (names) converter_->handle = ucnv_open(names->converter, &status);
  if (!names || U_FAILURE(status) || !converter_->handle) {
    throw std::invalid_argument("No converter for code page " + std::to_string(windows_code_page));
  }
  charset_ = names->common_name;
  ucnv_setFallback(converter_->handle, false);
  status = U_ZERO_ERROR;
  ucnv_setSubstChars(converter_->handle, "?", 1, &status);
}

CodePage::~CodePage() = default;
CodePage::CodePage(CodePage&&) noexcept = default;
CodePage& CodePage::operator=(CodePage&&) noexcept = default;

std::string CodePage::Encode(std::string_view utf8) const {
  if (utf8.empty()) return {};
  // UTF-8 -> UTF-16 (ill-formed bytes become U+FFFD), then UTF-16 -> the code page.
  UErrorCode status = U_ZERO_ERROR;
  UConverter* from_utf8 = ucnv_open("UTF-8", &status);
  if (U_FAILURE(status)) throw std::runtime_error("No UTF-8 converter");
  std::vector<UChar> wide(utf8.size() + 1);
  const int32_t wide_len = ucnv_toUChars(from_utf8, wide.data(), static_cast<int32_t>(wide.size()), utf8.data(),
                                         static_cast<int32_t>(utf8.size()), &status);
  ucnv_close(from_utf8);
  if (U_FAILURE(status)) throw std::runtime_error("The text is not valid UTF-8");

  std::string out(static_cast<std::size_t>(wide_len) * 2 + 16, '\0');
  status = U_ZERO_ERROR;
  ucnv_resetFromUnicode(converter_->handle);
  const int32_t len =
      ucnv_fromUChars(converter_->handle, out.data(), static_cast<int32_t>(out.size()), wide.data(), wide_len, &status);
  if (U_FAILURE(status))
    throw std::runtime_error("The text cannot be converted to code page " + std::to_string(number_));
  out.resize(static_cast<std::size_t>(len));
  return out;
}

int CodePage::ForLocale(std::string_view locale_name) {
  const LocaleName name = CutLocaleName(locale_name);
  for (const auto& entry : kLocaleCodePages) {
    if (entry.language == name.language && (entry.region.empty() || entry.region == name.region) &&
        (entry.modifier.empty() || entry.modifier == name.modifier)) {
      return entry.code_page;
    }
  }
  return 1252;
}

}  // namespace cw::vcard
