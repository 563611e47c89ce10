#include "vcard/code_page.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <array>
#include <stdexcept>
#include <vector>

namespace cw::vcard {
namespace {

struct LocaleCodePage {
  std::string_view language;  // language, or language_REGION where the region decides
  int code_page;
};

// Windows' ANSI code page per locale; everything else gets 1252.
constexpr std::array<LocaleCodePage, 29> kLocaleCodePages = {{
    {"zh_TW", 950}, {"zh_HK", 950}, {"zh_MO", 950}, {"zh_CN", 936}, {"zh_SG", 936}, {"zh", 936},
    {"ru", 1251},   {"uk", 1251},   {"bg", 1251},   {"sr", 1251},   {"be", 1251},   {"mk", 1251},
    {"pl", 1250},   {"cs", 1250},   {"sk", 1250},   {"hu", 1250},   {"ro", 1250},   {"hr", 1250},
    {"sl", 1250},   {"el", 1253},   {"tr", 1254},   {"he", 1255},   {"ar", 1256},   {"fa", 1256},
    {"et", 1257},   {"lv", 1257},   {"lt", 1257},   {"vi", 1258},   {"th", 874},
}};

constexpr std::array<LocaleCodePage, 2> kEastAsian = {{{"ja", 932}, {"ko", 949}}};

}  // namespace

struct CodePage::Converter {
  UConverter* handle = nullptr;
  ~Converter() {
    if (handle) ucnv_close(handle);
  }
};

CodePage::CodePage(int windows_code_page) : number_(windows_code_page), converter_(std::make_unique<Converter>()) {
  UErrorCode status = U_ZERO_ERROR;
  const std::string name = windows_code_page == 932 ? "windows-31j" : "windows-" + std::to_string(windows_code_page);
  converter_->handle = ucnv_open(name.c_str(), &status);
  if (U_FAILURE(status) || !converter_->handle) {
    throw std::invalid_argument("No converter for code page " + std::to_string(windows_code_page));
  }
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
  // "de_DE.UTF-8@euro" -> "de_DE"
  const std::size_t cut = locale_name.find_first_of(".@");
  const std::string_view base = locale_name.substr(0, cut);
  for (const auto& entry : kLocaleCodePages) {
    if (base == entry.language || base.substr(0, entry.language.size()) == entry.language) {
      if (base.size() == entry.language.size() || base[entry.language.size()] == '_' ||
          base[entry.language.size()] == '-') {
        return entry.code_page;
      }
    }
  }
  for (const auto& entry : kEastAsian) {
    if (base.substr(0, 2) == entry.language && (base.size() == 2 || base[2] == '_' || base[2] == '-')) {
      return entry.code_page;
    }
  }
  return 1252;
}

}  // namespace cw::vcard
