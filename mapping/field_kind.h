// The vocabulary of field kinds: the 26 texts the chooser offers, "Ignore" first.
// A kind travels everywhere as its display text; matching is exact and case-sensitive.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace cw::mapping {

enum class FieldKind : unsigned char {
  kIgnore,
  kTitle,
  kFirstName,
  kLastName,
  kMiddleInitial,
  kBirthday,
  kEmail,
  kWebsiteHome,
  kWebsiteWork,
  kHomeAddress,
  kHomeCity,
  kHomeRegion,
  kHomeZip,
  kHomeCountry,
  kWorkAddress,
  kWorkCity,
  kWorkRegion,
  kWorkZip,
  kWorkCountry,
  kHomeVoice,
  kHomeFax,
  kWorkVoice,
  kWorkFax,
  kCellular,
  kPager,
  kNotes,
};

inline constexpr std::size_t kFieldKindCount = 26;

// The display texts in the chooser's order; index = static_cast<size_t>(FieldKind).
inline constexpr std::array<std::string_view, kFieldKindCount> kFieldKindTexts = {
    "Ignore",       "Title",        "First Name",   "Last Name", "Middle Initial", "Birthday",   "Email",
    "Website Home", "Website Work", "Home Address", "Home City", "Home Region",    "Home Zip",   "Home Country",
    "Work Address", "Work City",    "Work Region",  "Work Zip",  "Work Country",   "Home Voice", "Home Fax",
    "Work Voice",   "Work Fax",     "Cellular",     "Pager",     "Notes",
};

// The display text of a kind.
constexpr std::string_view FieldKindText(FieldKind kind) { return kFieldKindTexts[static_cast<std::size_t>(kind)]; }

// The kind whose text equals `text` exactly, or nothing when no kind has that text.
std::optional<FieldKind> FieldKindFromText(std::string_view text);

}  // namespace cw::mapping
