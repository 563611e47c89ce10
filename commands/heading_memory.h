// The kinds a user chose for the columns under a heading row, kept in the settings store beside
// the output folder, so that the next block under the same headings gets the same kinds instead
// of the heading table's proposals. Section "Headings", one key per heading set
// (mapping::HeadingSetKey), the kind texts in column order joined by "|".
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "commands/settings_store.h"

namespace cw::commands {

inline constexpr const char* kHeadingsSection = "Headings";

// The kinds stored for this heading row, one per cell; nothing when none are stored or the
// stored list does not fit the row. A stored kind this build does not know reads as "Ignore".
std::optional<std::vector<std::string>> RememberedKinds(const SettingsStore& store,
                                                        std::span<const std::string> first_row);

// Stores the kinds chosen under this heading row; false when the store could not be written
// (the window keeps the kinds for this block all the same).
bool RememberKinds(SettingsStore& store, std::span<const std::string> first_row, std::span<const std::string> kinds);

}  // namespace cw::commands
