// A locale name as the system writes it ("sr_RS.UTF-8@latin", "de_DE", "C") cut into the
// parts the program decides by: language, region and modifier. The one place that reads
// such names, for the code page, the date patterns and the number symbols alike.
#pragma once

#include <string>
#include <string_view>

namespace cw::run {

struct LocaleName {
  std::string language;  // "sr"; "en" for C, POSIX and an empty name
  std::string region;    // "RS"; "US" for C, POSIX and an empty name; may be empty
  std::string modifier;  // "latin" from "@latin"; empty without one

  // "de_DE", or "de" without a region: the form ICU takes.
  std::string Base() const { return region.empty() ? language : language + "_" + region; }
};

// The parts of `name`; the codeset (".UTF-8") is dropped. The C locale reads as en_US.
LocaleName CutLocaleName(std::string_view name);

}  // namespace cw::run
