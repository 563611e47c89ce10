#include "mapping/field_kind.h"

#include <gtest/gtest.h>

namespace cw::mapping {
namespace {

TEST(FieldKind, TextsRoundTripExactlyAndCaseSensitively) {
  EXPECT_EQ(FieldKindText(FieldKind::kIgnore), "Ignore");
  EXPECT_EQ(FieldKindText(FieldKind::kNotes), "Notes");
  EXPECT_EQ(FieldKindText(FieldKind::kMiddleInitial), "Middle Initial");
  for (std::size_t i = 0; i < kFieldKindCount; ++i) {
    const auto kind = static_cast<FieldKind>(i);
    EXPECT_EQ(FieldKindFromText(FieldKindText(kind)), kind);
  }
  EXPECT_EQ(FieldKindFromText("email"), std::nullopt);
  EXPECT_EQ(FieldKindFromText("Email "), std::nullopt);
  EXPECT_EQ(FieldKindFromText(""), std::nullopt);
}

}  // namespace
}  // namespace cw::mapping
