#include "mapping/field_kind.h"

namespace cw::mapping {

std::optional<FieldKind> FieldKindFromText(std::string_view text) {
  for (std::size_t i = 0; i < kFieldKindTexts.size(); ++i) {
    if (kFieldKindTexts[i] == text) return static_cast<FieldKind>(i);
  }
  return std::nullopt;
}

std::optional<LabelFamily> LabelFamilyOf(FieldKind kind) {
  switch (kind) {
    case FieldKind::kPhoneLabel:
      return LabelFamily::kPhone;
    case FieldKind::kEmailLabel:
      return LabelFamily::kEmail;
    case FieldKind::kWebsiteLabel:
      return LabelFamily::kWebsite;
    case FieldKind::kAddressLabel:
      return LabelFamily::kAddress;
    default:
      return std::nullopt;
  }
}

bool InLabelFamily(LabelFamily family, FieldKind kind) {
  using K = FieldKind;
  switch (family) {
    case LabelFamily::kPhone:
      return kind == K::kHomeVoice || kind == K::kWorkVoice || kind == K::kCellular || kind == K::kHomeFax ||
             kind == K::kWorkFax || kind == K::kPager || kind == K::kOtherPhone;
    case LabelFamily::kEmail:
      return kind == K::kEmail || kind == K::kEmailHome || kind == K::kEmailWork || kind == K::kEmailOther;
    case LabelFamily::kWebsite:
      return kind == K::kWebsiteHome || kind == K::kWebsiteWork;
    case LabelFamily::kAddress:
      return (kind >= K::kHomeAddress && kind <= K::kWorkCountry);
  }
  return false;
}

FieldKind DefaultKindOf(LabelFamily family) {
  switch (family) {
    case LabelFamily::kPhone:
      return FieldKind::kOtherPhone;
    case LabelFamily::kEmail:
      return FieldKind::kEmail;
    case LabelFamily::kWebsite:
      return FieldKind::kWebsiteHome;
    case LabelFamily::kAddress:
      return FieldKind::kHomeAddress;
  }
  return FieldKind::kIgnore;
}

}  // namespace cw::mapping
