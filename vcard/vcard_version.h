// The vCard versions the export writes: 2.1, as the two original save commands always have,
// and 3.0 (RFC 2426) and 4.0 (RFC 6350) for the address books that want those. The version
// is chosen beside the encoding, never folded into it.
//
// A version is one row of kVersionRows: everything outside the line layer that differs between
// versions (its text, its line in the window's chooser, whether the ANSI file may be written,
// how vcfexport spells it) is read from its row; nothing tests the version itself.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace cw::vcard {

enum class VCardVersion { k21, k30, k40 };

struct VersionRow {
  VCardVersion version;
  std::string_view text;  // after "VERSION:", and in the settings store
  // The chooser's line in the window: the address books the version suits, since users know
  // their address book, rarely a version number.
  const char* caption;
  bool ansi_allowed;        // the ANSI file may be written (3.0 and 4.0 are UTF-8 by definition)
  std::string_view option;  // vcfexport's spelling after --vcard
};

inline constexpr std::array<VersionRow, 3> kVersionRows = {{
    // Outlook reads 2.1 and takes one contact per file.
    {VCardVersion::k21, "2.1", "Outlook and other Windows address books (vCard 2.1)", true, "2.1"},
    // What phones and web address books import; Nextcloud and GrapheneOS refuse 2.1.
    {VCardVersion::k30, "3.0", "Phones, Google, iCloud, Thunderbird, GNOME, Nextcloud (vCard 3.0)", false, "3.0"},
    // Android's contacts app refuses 4.0, so it is offered only to those who ask for it.
    {VCardVersion::k40, "4.0", "Programs that ask for vCard 4.0 (not Android phones)", false, "4.0"},
}};

// The row of `version`.
constexpr const VersionRow& RowOf(VCardVersion version) {
  for (const VersionRow& row : kVersionRows) {
    if (row.version == version) return row;
  }
  return kVersionRows[0];  // not reached: every version has its row
}

// "2.1", "3.0", "4.0".
constexpr std::string_view VersionText(VCardVersion version) { return RowOf(version).text; }

// The version "2.1", "3.0" or "4.0" names; nothing for any other text.
constexpr std::optional<VCardVersion> VersionFromText(std::string_view text) {
  for (const VersionRow& row : kVersionRows) {
    if (row.text == text) return row.version;
  }
  return std::nullopt;
}

// The version vcfexport's --vcard names; nothing for any other spelling.
constexpr std::optional<VCardVersion> VersionFromOption(std::string_view option) {
  for (const VersionRow& row : kVersionRows) {
    if (row.option == option) return row.version;
  }
  return std::nullopt;
}

}  // namespace cw::vcard
