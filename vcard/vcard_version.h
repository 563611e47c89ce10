// The vCard versions the export writes: 2.1, as the two original save commands always have,
// and 3.0 (RFC 2426) and 4.0 (RFC 6350) for the address books that want those. The version
// is chosen beside the encoding, never folded into it.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace cw::vcard {

enum class VCardVersion { k21, k30, k40 };

inline constexpr std::array<VCardVersion, 3> kVCardVersions = {VCardVersion::k21, VCardVersion::k30, VCardVersion::k40};

// "2.1", "3.0", "4.0".
constexpr std::string_view VersionText(VCardVersion version) {
  switch (version) {
    case VCardVersion::k21:
      return "2.1";
    case VCardVersion::k30:
      return "3.0";
    case VCardVersion::k40:
      return "4.0";
  }
  return "2.1";  // not reached: every version is named above
}

// The version "2.1", "3.0" or "4.0" names; nothing for any other text.
constexpr std::optional<VCardVersion> VersionFromText(std::string_view text) {
  for (VCardVersion version : kVCardVersions) {
    if (VersionText(version) == text) return version;
  }
  return std::nullopt;
}

}  // namespace cw::vcard
