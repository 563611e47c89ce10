// The output choice beside the save buttons: the address book the files are for, which fixes
// the vCard version, and whether all rows go into one file. The user knows their address book,
// rarely a version number, so each version is offered under the address books that import it.
// The choice is kept in the settings store beside the output folder.
#pragma once

#include <QString>
#include <array>
#include <cstddef>

#include "commands/settings_store.h"
#include "vcard/vcard_version.h"

namespace cw::commands {

inline constexpr const char* kVCardVersionKey = "VCardVersion";  // "2.1", "3.0" or "4.0"
inline constexpr const char* kOneFileKey = "OneFile";            // "true" or "false"

inline constexpr const char* kOneFileCaption = "All rows in one file";

struct OutputChoice {
  // A new user gets the original design's files: vCard 2.1, one file per row.
  vcard::VCardVersion version = vcard::VCardVersion::k21;
  bool one_file = false;
  bool operator==(const OutputChoice&) const = default;
};

// One entry per version, in the order of kVCardVersions: what the chooser shows for it.
struct AddressBookEntry {
  vcard::VCardVersion version;
  const char* caption;
};
inline constexpr std::array<AddressBookEntry, 3> kAddressBooks = {{
    // Outlook reads 2.1 and takes one contact per file.
    {vcard::VCardVersion::k21, "Outlook and other Windows address books (vCard 2.1)"},
    // What phones and web address books import; Nextcloud and GrapheneOS refuse 2.1.
    {vcard::VCardVersion::k30, "Phones, Google, iCloud, Thunderbird, GNOME, Nextcloud (vCard 3.0)"},
    // Android's contacts app refuses 4.0, so it is offered only to those who ask for it.
    {vcard::VCardVersion::k40, "Programs that ask for vCard 4.0 (not Android phones)"},
}};

// The chooser's line for a version.
constexpr std::size_t AddressBookIndex(vcard::VCardVersion version) {
  for (std::size_t i = 0; i < kAddressBooks.size(); ++i) {
    if (kAddressBooks[i].version == version) return i;
  }
  return 0;  // not reached: the check below names every version
}

static_assert([] {
  for (std::size_t i = 0; i < vcard::kVCardVersions.size(); ++i) {
    if (kAddressBooks[i].version != vcard::kVCardVersions[i]) return false;
  }
  return kAddressBooks.size() == vcard::kVCardVersions.size();
}());

// The stored choice; a key that is absent or holds a value this program does not know gives
// that part's default.
OutputChoice ReadOutputChoice(const SettingsStore& store);

// Stores both parts at once; false when the store could not be written (the window keeps the
// choice for this run all the same).
bool StoreOutputChoice(SettingsStore& store, const OutputChoice& choice);

// The tool tip of the ANSI save button under this version: why it is off, or "" when it works.
QString AnsiButtonToolTip(vcard::VCardVersion version);

}  // namespace cw::commands
