#include "mapping/column_list.h"

#include <stdexcept>

namespace cw::mapping {

void ColumnList::FillColumnList(int count) {
  // Captions count on from the lines already held so they stay unique.
  const std::size_t start = lines_.size();
  for (int i = 0; i < count; ++i) {
    lines_.push_back({"Column" + std::to_string(start + static_cast<std::size_t>(i) + 1),
                      std::string(FieldKindText(FieldKind::kIgnore))});
  }
}

void ColumnList::Clear() {
  lines_.clear();
  selected_.reset();
}

void ColumnList::Select(std::optional<std::size_t> j) {
  if (j && (*j < 1 || *j > lines_.size())) throw std::out_of_range("no such line in the column list");
  selected_ = j;
}

void ColumnList::SetSelectedType(std::string_view type) {
  if (selected_) ChooseType(*selected_, type);
}

void ColumnList::ChooseType(std::size_t j, std::string_view type) {
  SetType(j, type);
  const auto kind_of = [this](std::size_t line) { return FieldKindFromText(TypeOf(line)); };
  if (const auto kind = kind_of(j)) {
    if (const auto family = LabelFamilyOf(*kind); family && j < lines_.size()) {
      const auto next = kind_of(j + 1);
      if (!next || !InLabelFamily(*family, *next)) SetType(j + 1, FieldKindText(DefaultKindOf(*family)));
    }
  }
  // A label line types the lines after it up to the next label line, skipping "Ignore"; one
  // left with none of its family is no longer a pair.
  for (std::size_t label = 1; label <= lines_.size(); ++label) {
    const auto kind = kind_of(label);
    const auto family = kind ? LabelFamilyOf(*kind) : std::nullopt;
    if (!family) continue;
    if (TypedByLabel(label).empty()) SetType(label, FieldKindText(FieldKind::kIgnore));
  }
}

std::vector<std::size_t> ColumnList::TypedByLabel(std::size_t label) const {
  std::vector<std::size_t> typed;
  const auto label_kind = FieldKindFromText(TypeOf(label));
  const auto family = label_kind ? LabelFamilyOf(*label_kind) : std::nullopt;
  if (!family) return typed;
  for (std::size_t line = label + 1; line <= lines_.size(); ++line) {
    const auto kind = FieldKindFromText(TypeOf(line));
    if (kind == FieldKind::kIgnore) continue;
    if (!kind || !InLabelFamily(*family, *kind)) break;
    typed.push_back(line);
  }
  return typed;
}

}  // namespace cw::mapping
