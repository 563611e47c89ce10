// The ANSI code page of the ANSI save command: the Windows code page that goes with the
// user's locale, converted with ICU. A character the code page lacks becomes "?" (no
// best-fit guesses, so no letter silently turns into another).
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace cw::vcard {

class CodePage {
 public:
  // A Windows code page number: 1252, 1251, 1250, 932, ... Throws std::invalid_argument for
  // a number ICU has no converter for.
  explicit CodePage(int windows_code_page);
  ~CodePage();
  CodePage(CodePage&&) noexcept;
  CodePage& operator=(CodePage&&) noexcept;

  int Number() const { return number_; }
  // The bytes of UTF-8 `text` in this code page; unrepresentable characters become "?".
  std::string Encode(std::string_view utf8) const;
  // The name a vCard's CHARSET parameter gives this code page, one that ICU, Java, Python
  // and Qt all resolve: "WINDOWS-1252", "SHIFT_JIS", "GBK", ...
  std::string_view CharsetName() const { return charset_; }

  // The code page Windows gives a locale ("ru_RU.UTF-8" -> 1251, "de_DE" -> 1252, "C" -> 1252).
  static int ForLocale(std::string_view locale_name);

 private:
  struct Converter;
  int number_;
  std::string_view charset_;
  std::unique_ptr<Converter> converter_;
};

}  // namespace cw::vcard
