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
  if (selected_) SetType(*selected_, type);
}

}  // namespace cw::mapping
