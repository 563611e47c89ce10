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

// The chooser's lines, one per version row, in the rows' order.
using AddressBookEntry = vcard::VersionRow;
inline constexpr const auto& kAddressBooks = vcard::kVersionRows;

// The chooser's line for a version.
constexpr std::size_t AddressBookIndex(vcard::VCardVersion version) {
  for (std::size_t i = 0; i < kAddressBooks.size(); ++i) {
    if (kAddressBooks[i].version == version) return i;
  }
  return 0;  // not reached: every version has its row
}

// The stored choice; a key that is absent or holds a value this program does not know gives
// that part's default.
OutputChoice ReadOutputChoice(const SettingsStore& store);

// Stores both parts at once; false when the store could not be written (the window keeps the
// choice for this run all the same).
bool StoreOutputChoice(SettingsStore& store, const OutputChoice& choice);

// The tool tip of the ANSI save button under this version: why it is off, or "" when it works.
QString AnsiButtonToolTip(vcard::VCardVersion version);

}  // namespace cw::commands
