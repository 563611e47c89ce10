// The column list: one line per column of the marked block, in block order, each carrying
// the field-kind text shown in its " Type" column. This is the model behind the window's
// list view; it holds no Qt so the export run and its tests can use it directly.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mapping/field_kind.h"

namespace cw::mapping {

struct ColumnLine {
  std::string caption;  // "Column1", "Column2", ...: a label only, never read by the export
  std::string type;     // a field-kind text
};

class ColumnList {
 public:
  // Header texts and widths (twips) of the list's two columns.
  static constexpr std::string_view kColumnsHeader = " Columns";
  static constexpr std::string_view kTypeHeader = " Type";
  static constexpr int kColumnsHeaderWidthTwips = 4500;
  static constexpr int kTypeHeaderWidthTwips = 2300;

  // Adds `count` lines "Column<n>" of type "Ignore" after the lines already held,
  // numbering them from one past the current count.
  void FillColumnList(int count);
  // Removes every line and the selection.
  void Clear();

  std::size_t Count() const { return lines_.size(); }
  bool Empty() const { return lines_.empty(); }
  // Line j, counted from 1 as the export counts.
  const ColumnLine& Line(std::size_t j) const { return lines_.at(j - 1); }
  // The type text of line j (from 1).
  const std::string& TypeOf(std::size_t j) const { return Line(j).type; }
  void SetType(std::size_t j, std::string_view type) { lines_.at(j - 1).type = type; }

  // The selected line (from 1), if any.
  std::optional<std::size_t> Selected() const { return selected_; }
  void Select(std::optional<std::size_t> j);
  // Sets the type of the selected line; with no line selected nothing changes. A label
  // column and the column it types are one choice (see ChooseType).
  void SetSelectedType(std::string_view type);
  // The user's choice of `type` for line j. A label kind ("Phone Label") makes a pair with
  // the line after it, which takes the family's kind when it holds none ("Other Phone");
  // a label line left with no column of its family to type becomes "Ignore".
  void ChooseType(std::size_t j, std::string_view type);
  // The lines (from 1) the label line `label` types: the lines after it of its family, up to
  // the first line of another kind, "Ignore" lines skipped; none when it is no label line.
  std::vector<std::size_t> TypedByLabel(std::size_t label) const;

 private:
  std::vector<ColumnLine> lines_;
  std::optional<std::size_t> selected_;
};

}  // namespace cw::mapping
