// Text in BIFF records, turned into the UTF-8 that the workbook model holds: BIFF8's
// strings of one-byte (Latin-1, "compressed") or two-byte (UTF-16LE) characters, and
// BIFF5/7's 8-bit strings in the workbook's code page (its CODEPAGE record), converted
// with ICU so that every Windows and Macintosh code page gets its proper mapping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

struct UConverter;

namespace cw::sheet {

// Appends Latin-1 bytes (BIFF8 characters whose high byte is zero) as UTF-8.
void AppendLatin1(std::span<const std::byte> bytes, std::string& out);
// Appends UTF-16 code units as UTF-8; an unpaired surrogate becomes U+FFFD.
void AppendUtf16(std::u16string_view units, std::string& out);

// Decodes 8-bit text in one code page, given by its BIFF CODEPAGE number (1252, 1251,
// 10000 or 0x8000 for Mac Roman, ...). An unknown or missing code page reads as 1252.
class CodePageDecoder {
 public:
  explicit CodePageDecoder(std::uint16_t code_page = 1252);
  ~CodePageDecoder();
  CodePageDecoder(CodePageDecoder&&) noexcept;
  CodePageDecoder& operator=(CodePageDecoder&&) noexcept;

  // Appends `bytes` as UTF-8; a byte the code page does not define becomes U+FFFD.
  void Append(std::span<const std::byte> bytes, std::string& out);

 private:
  struct Close {
    void operator()(UConverter* c) const;
  };
  std::unique_ptr<UConverter, Close> converter_;
  std::string name_;
  std::u16string scratch_;
};

}  // namespace cw::sheet
