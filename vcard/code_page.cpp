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

// The converter that reads UTF-8; ill-formed bytes become U+FFFD.
constexpr std::string_view kUtf8 = "UTF-8";

// An ICU converter holds the state of the conversion under way, so two threads must never
// convert with the same one. Each thread keeps converters of its own, opened on its first
// use of a code page and closed when the thread ends; a CodePage holds only the converter's
// name, so one of them (the run's regional settings) serves every thread of a run.
class ThreadConverters {
 public:
  ThreadConverters() = default;
  ThreadConverters(const ThreadConverters&) = delete;
  ThreadConverters& operator=(const ThreadConverters&) = delete;
  ~ThreadConverters() {
    for (const Open& open : open_) ucnv_close(open.handle);
  }

  // This thread's converter named `name`, or nullptr when ICU has none of that name.
  UConverter* Get(std::string_view name) {
    for (const Open& open : open_) {
      if (open.name == name) return open.handle;
    }
    UErrorCode status = U_ZERO_ERROR;
    UConverter* handle = ucnv_open(std::string(name).c_str(), &status);
    if (U_FAILURE(status) || !handle) return nullptr;
    if (name != kUtf8) {
      // No best-fit guesses: a character the code page lacks becomes "?".
      ucnv_setFallback(handle, false);
      status = U_ZERO_ERROR;
      ucnv_setSubstChars(handle, "?", 1, &status);
    }
    open_.push_back({std::string(name), handle});
    return handle;
  }

 private:
  struct Open {
    std::string name;
    UConverter* handle;
  };
  std::vector<Open> open_;  // a few at most: UTF-8 and the run's code page
};

thread_local ThreadConverters t_converters;

}  // namespace

CodePage::CodePage(int number, std::string_view converter, std::string_view charset)
    : number_(number), charset_(charset), converter_(converter) {
  if (!t_converters.Get(converter_)) {
    throw std::invalid_argument("No converter for code page " + std::to_string(number));
  }
}

std::string CodePage::Encode(std::string_view utf8, std::size_t* lost) const {
  if (utf8.empty()) return {};
  // UTF-8 -> UTF-16 (ill-formed bytes become U+FFFD), then UTF-16 -> the code page.
  UConverter* from_utf8 = t_converters.Get(kUtf8);
  if (!from_utf8) throw std::runtime_error("No UTF-8 converter");
  UConverter* to_page = t_converters.Get(converter_);
  if (!to_page) throw std::runtime_error("No converter for code page " + std::to_string(number_));
  UErrorCode status = U_ZERO_ERROR;
  std::vector<UChar> wide(utf8.size() + 1);
  const int32_t wide_len = ucnv_toUChars(from_utf8, wide.data(), static_cast<int32_t>(wide.size()), utf8.data(),
                                         static_cast<int32_t>(utf8.size()), &status);
  if (U_FAILURE(status)) throw std::runtime_error("The text is not valid UTF-8");

  std::string out(static_cast<std::size_t>(wide_len) * 2 + 16, '\0');
  status = U_ZERO_ERROR;
  ucnv_setFromUCallBack(to_page, CountingSubstitute, lost, nullptr, nullptr, &status);
  const int32_t len =
      ucnv_fromUChars(to_page, out.data(), static_cast<int32_t>(out.size()), wide.data(), wide_len, &status);
  if (U_FAILURE(status))
    throw std::runtime_error("The text cannot be converted to code page " + std::to_string(number_));
  out.resize(static_cast<std::size_t>(len));
  return out;
}

}  // namespace cw::vcard
