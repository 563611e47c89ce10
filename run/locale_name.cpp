#include "run/locale_name.h"

namespace cw::run {

LocaleName CutLocaleName(std::string_view name) {
  LocaleName parts;
  const std::size_t at = name.find('@');
  if (at != std::string_view::npos) parts.modifier = std::string(name.substr(at + 1));
  std::string_view base = name.substr(0, std::min(name.find('.'), at));
  if (base.empty() || base == "C" || base == "POSIX") {
    parts.language = "en";
    parts.region = "US";
    return parts;
  }
  const std::size_t cut = base.find_first_of("_-");
  parts.language = std::string(base.substr(0, cut));
  if (cut != std::string_view::npos) parts.region = std::string(base.substr(cut + 1));
  return parts;
}

}  // namespace cw::run
