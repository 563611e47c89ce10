#include "sheet/xls/biff_text.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ustring.h>

#include <string_view>

#include "sheet/code_pages.h"

namespace cw::sheet {
namespace {

// CODEPAGE values that are not plain Windows code page numbers ([MS-XLS] 2.4.52).
std::string ConverterNameFor(std::uint16_t code_page) {
  switch (code_page) {
    case 367:
      return "US-ASCII";
    case 1200:
      return "UTF-16LE";
    case 65001:
      return "UTF-8";
    case 10000:
    case 0x8000:
      return "macintosh";
    case 0x8001:
      return "windows-1252";
    default:
      break;
  }
  if (const WindowsCodePage* page = FindWindowsCodePage(code_page)) return page->converter;
  return "cp" + std::to_string(code_page);
}

// A byte sequence the code page does not define becomes U+FFFD, the replacement character,
// rather than ICU's default U+001A for the Windows double-byte pages, a control character.
void ReplaceInvalid(const void*, UConverterToUnicodeArgs* args, const char*, int32_t, UConverterCallbackReason reason,
                    UErrorCode* error) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close, clone: nothing to write
  *error = U_ZERO_ERROR;
  const UChar replacement = 0xFFFD;
  ucnv_cbToUWriteUChars(args, &replacement, 1, 0, error);
}

UConverter* OpenConverter(const std::string& name) {
  UErrorCode status = U_ZERO_ERROR;
  UConverter* c = ucnv_open(name.c_str(), &status);
  if (U_FAILURE(status)) {
    if (c) ucnv_close(c);
    return nullptr;
  }
  ucnv_setToUCallBack(c, ReplaceInvalid, nullptr, nullptr, nullptr, &status);
  return c;
}

}  // namespace

void AppendLatin1(std::span<const std::byte> bytes, std::string& out) {
  for (const std::byte b : bytes) {
    const auto c = std::to_integer<unsigned char>(b);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
}

void AppendUtf16(std::u16string_view units, std::string& out) {
  if (units.empty()) return;
  const std::size_t start = out.size();
  out.resize(start + units.size() * 3);
  std::int32_t written = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data() + start, static_cast<std::int32_t>(units.size() * 3), &written, units.data(),
                     static_cast<std::int32_t>(units.size()), 0xFFFD, nullptr, &status);
  out.resize(U_SUCCESS(status) ? start + static_cast<std::size_t>(written) : start);
}

void CodePageDecoder::Close::operator()(UConverter* c) const { ucnv_close(c); }

CodePageDecoder::CodePageDecoder(std::uint16_t code_page) : name_(ConverterNameFor(code_page)) {
  converter_.reset(OpenConverter(name_));
  if (!converter_) {
    name_ = "windows-1252";
    converter_.reset(OpenConverter(name_));
  }
}

CodePageDecoder::~CodePageDecoder() = default;
CodePageDecoder::CodePageDecoder(CodePageDecoder&&) noexcept = default;
CodePageDecoder& CodePageDecoder::operator=(CodePageDecoder&&) noexcept = default;

void CodePageDecoder::Append(std::span<const std::byte> bytes, std::string& out) {
  bool ascii = true;
  for (const std::byte b : bytes) ascii = ascii && std::to_integer<unsigned>(b) < 0x80;
  if (ascii && name_ != "UTF-16LE") {
    out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return;
  }
  if (!converter_) {
    AppendLatin1(bytes, out);
    return;
  }
  // A double-byte code page never yields more UTF-16 units than it had bytes.
  scratch_.resize(bytes.size() + 1);
  UErrorCode status = U_ZERO_ERROR;
  ucnv_reset(converter_.get());
  const std::int32_t n =
      ucnv_toUChars(converter_.get(), scratch_.data(), static_cast<std::int32_t>(scratch_.size()),
                    reinterpret_cast<const char*>(bytes.data()), static_cast<std::int32_t>(bytes.size()), &status);
  if (U_FAILURE(status)) {
    AppendLatin1(bytes, out);
    return;
  }
  AppendUtf16(std::u16string_view(scratch_.data(), static_cast<std::size_t>(n)), out);
}

}  // namespace cw::sheet
