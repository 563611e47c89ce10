#include "mapping/field_kind.h"

namespace cw::mapping {

std::optional<FieldKind> FieldKindFromText(std::string_view text) {
  for (std::size_t i = 0; i < kFieldKindTexts.size(); ++i) {
    if (kFieldKindTexts[i] == text) return static_cast<FieldKind>(i);
  }
  return std::nullopt;
}

}  // namespace cw::mapping
