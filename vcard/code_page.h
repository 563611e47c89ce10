// The ANSI code page of the ANSI save command, converted with ICU. A character the code page
// lacks becomes "?" (no best-fit guesses, so no letter silently turns into another). Which
// page goes with the user's locale is the run's regional settings' to say.
//
// One CodePage may be used by several threads at once (the regional settings that hold it are
// shared by every thread that composes records): each thread converts with ICU converters of
// its own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace cw::vcard {

class CodePage {
 public:
  // Windows code page `number` (1252, 932, ...), converted with ICU's converter `converter`
  // and named `charset` in a vCard's CHARSET parameter. Throws std::invalid_argument when
  // ICU has no such converter.
  CodePage(int number, std::string_view converter, std::string_view charset);

  int Number() const { return number_; }
  // The bytes of UTF-8 `text` in this code page; unrepresentable characters become "?",
  // each counted in `lost` when given.
  std::string Encode(std::string_view utf8, std::size_t* lost = nullptr) const;
  // The name a vCard's CHARSET parameter gives this code page: "WINDOWS-1252", "CP932", ...
  std::string_view CharsetName() const { return charset_; }

 private:
  int number_;
  std::string charset_;
  std::string converter_;  // ICU's name for it: each thread opens a converter of its own by it
};

}  // namespace cw::vcard
