// The vocabulary of field kinds: the texts the chooser offers, "Ignore" first. The first 26
// are the original program's, in its order; the kinds after them are added at the end so that
// files and scripts that name the first 26 keep working. A kind travels everywhere as its
// display text; matching is exact and case-sensitive.
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
  // Added after the original 26.
  kOrganization,
  kDepartment,
  kJobTitle,  // TITLE; "Title" stays the name prefix in N
  kNickname,
  kAnniversary,
  kCategories,
  kEmailHome,
  kEmailWork,
  kEmailOther,
  kOtherPhone,
  kPhoto,
  // A birthday in three columns (Thunderbird): the year, the month, the day of the month.
  kBirthYear,
  kBirthMonth,
  kBirthDayOfMonth,
  // A label column (Google's "Phone 1 - Label"): its cell gives the type of the phone, e-mail
  // address, web site or address in the columns after it, row by row.
  kPhoneLabel,
  kEmailLabel,
  kWebsiteLabel,
  kAddressLabel,
};

inline constexpr std::size_t kFieldKindCount = 44;
// The kinds of the original program: FieldKind values below this.
inline constexpr std::size_t kOriginalFieldKindCount = 26;

// The display texts in the chooser's order; index = static_cast<size_t>(FieldKind).
inline constexpr std::array<std::string_view, kFieldKindCount> kFieldKindTexts = {
    "Ignore",        "Title",         "First Name",   "Last Name",          "Middle Initial", "Birthday",
    "Email",         "Website Home",  "Website Work", "Home Address",       "Home City",      "Home Region",
    "Home Zip",      "Home Country",  "Work Address", "Work City",          "Work Region",    "Work Zip",
    "Work Country",  "Home Voice",    "Home Fax",     "Work Voice",         "Work Fax",       "Cellular",
    "Pager",         "Notes",         "Organization", "Department",         "Job Title",      "Nickname",
    "Anniversary",   "Categories",    "Email Home",   "Email Work",         "Email Other",    "Other Phone",
    "Photo",         "Birth Year",    "Birth Month",  "Birth Day of Month", "Phone Label",    "Email Label",
    "Website Label", "Address Label",
};

// The display text of a kind.
constexpr std::string_view FieldKindText(FieldKind kind) { return kFieldKindTexts[static_cast<std::size_t>(kind)]; }

// The kind whose text equals `text` exactly, or nothing when no kind has that text.
std::optional<FieldKind> FieldKindFromText(std::string_view text);

// The kinds a label kind types: phones, e-mail addresses, web sites, or the parts of an address.
enum class LabelFamily { kPhone, kEmail, kWebsite, kAddress };
// The family a label kind types; nothing for any other kind.
std::optional<LabelFamily> LabelFamilyOf(FieldKind kind);
// True when `kind` is of `family` (any home or work address part for kAddress).
bool InLabelFamily(LabelFamily family, FieldKind kind);
// The kind a column beside a new label takes when it holds none of the family.
FieldKind DefaultKindOf(LabelFamily family);

}  // namespace cw::mapping
