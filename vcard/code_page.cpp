#include "vcard/code_page.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <stdexcept>
#include <vector>

namespace cw::vcard {
namespace {

// Counts each character the code page lacks, then writes the substitute as ICU would.
void CountingSubstitute(const void* context, UConverterFromUnicodeArgs* args, const UChar* units, int32_t length,
                        UChar32 code_point, UConverterCallbackReason reason, UErrorCode* status) {
  if (reason == UCNV_UNASSIGNED || reason == UCNV_ILLEGAL || reason == UCNV_IRREGULAR) {
    if (auto* lost = static_cast<std::size_t*>(const_cast<void*>(context))) ++*lost;
  }
  UCNV_FROM_U_CALLBACK_SUBSTITUTE(nullptr, args, units, length, code_point, reason, status);
}

}  // namespace

struct CodePage::Converter {
  UConverter* handle = nullptr;
  ~Converter() {
    if (handle) ucnv_close(handle);
  }
};

CodePage::CodePage(int number, std::string_view converter, std::string_view charset)
    : number_(number), charset_(charset), converter_(std::make_unique<Converter>()) {
  UErrorCode status = U_ZERO_ERROR;
  converter_->handle = ucnv_open(std::string(converter).c_str(), &status);
  if (U_FAILURE(status) || !converter_->handle) {
    throw std::invalid_argument("No converter for code page " + std::to_string(number));
  }
  ucnv_setFallback(converter_->handle, false);
  status = U_ZERO_ERROR;
  ucnv_setSubstChars(converter_->handle, "?", 1, &status);
}

CodePage::~CodePage() = default;
CodePage::CodePage(CodePage&&) noexcept = default;
CodePage& CodePage::operator=(CodePage&&) noexcept = default;

std::string CodePage::Encode(std::string_view utf8, std::size_t* lost) const {
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
  ucnv_setFromUCallBack(converter_->handle, CountingSubstitute, lost, nullptr, nullptr, &status);
  const int32_t len =
      ucnv_fromUChars(converter_->handle, out.data(), static_cast<int32_t>(out.size()), wide.data(), wide_len, &status);
  if (U_FAILURE(status))
    throw std::runtime_error("The text cannot be converted to code page " + std::to_string(number_));
  out.resize(static_cast<std::size_t>(len));
  return out;
}

}  // namespace cw::vcard
