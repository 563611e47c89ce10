#include "sheet/workbook.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <array>
#include <limits>
#include <unordered_map>

#include "sheet/read_error.h"

namespace cw::sheet {
namespace {

struct ErrorEntry {
  CellError error;
  std::string_view text;
  std::uint8_t biff_code;
};
constexpr std::array<ErrorEntry, 8> kErrors = {{
    {CellError::kNull, "#NULL!", 0x00},
    {CellError::kDiv0, "#DIV/0!", 0x07},
    {CellError::kValue, "#VALUE!", 0x0F},
    {CellError::kRef, "#REF!", 0x17},
    {CellError::kName, "#NAME?", 0x1D},
    {CellError::kNum, "#NUM!", 0x24},
    {CellError::kNA, "#N/A", 0x2A},
    {CellError::kGettingData, "#GETTING_DATA", 0x2B},
}};

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string_view ErrorText(CellError error) {
  for (const auto& e : kErrors) {
    if (e.error == error) return e.text;
  }
  return "#VALUE!";
}

std::optional<CellError> ErrorFromText(std::string_view text) {
  for (const auto& e : kErrors) {
    if (e.text == text) return e.error;
  }
  return std::nullopt;
}

std::optional<CellError> ErrorFromBiffCode(std::uint8_t code) {
  for (const auto& e : kErrors) {
    if (e.biff_code == code) return e.error;
  }
  return std::nullopt;
}

void Worksheet::Finish() {
  const auto before = [](const Cell& a, const Cell& b) { return a.row != b.row ? a.row < b.row : a.column < b.column; };
  // Readers nearly always deliver row-major order, each place once; only sort and merge when
  // they did not.
  const auto strictly_before = [](const Cell& a, const Cell& b) {
    return a.row != b.row ? a.row < b.row : a.column < b.column;
  };
  if (std::adjacent_find(cells_.begin(), cells_.end(),
                         [&](const Cell& a, const Cell& b) { return !strictly_before(a, b); }) != cells_.end()) {
    if (!std::is_sorted(cells_.begin(), cells_.end(), before)) {
      std::stable_sort(cells_.begin(), cells_.end(), before);
    }
    // Keep the last of several cells at one place.
    std::vector<Cell>::iterator out = cells_.begin();
    for (auto it = cells_.begin(); it != cells_.end(); ++it) {
      if (out != cells_.begin() && (out - 1)->row == it->row && (out - 1)->column == it->column) {
        *(out - 1) = *it;
      } else {
        *out++ = *it;
      }
    }
    cells_.erase(out, cells_.end());
  }
  // Give back room a reader reserved beyond its cells when it is worth a copy.
  if (cells_.capacity() - cells_.size() > cells_.size() / 4) cells_.shrink_to_fit();

  row_starts_.clear();
  used_.reset();
  if (cells_.empty()) return;
  Extent e{cells_.front().row, cells_.front().column, cells_.back().row, cells_.front().column};
  for (const Cell& c : cells_) {
    e.first_column = std::min<std::uint32_t>(e.first_column, c.column);
    e.last_column = std::max<std::uint32_t>(e.last_column, c.column);
  }
  used_ = e;
  row_starts_.assign(static_cast<std::size_t>(e.last_row - e.first_row) + 2, 0);
  std::size_t pos = 0;
  for (std::uint32_t r = e.first_row; r <= e.last_row; ++r) {
    while (pos < cells_.size() && cells_[pos].row < r) ++pos;
    row_starts_[r - e.first_row] = static_cast<std::uint32_t>(pos);
  }
  row_starts_.back() = static_cast<std::uint32_t>(cells_.size());
}

std::span<const Cell> Worksheet::RowCells(std::uint32_t row) const {
  if (!used_ || row < used_->first_row || row > used_->last_row) return {};
  const std::size_t i = row - used_->first_row;
  return std::span<const Cell>(cells_).subspan(row_starts_[i], row_starts_[i + 1] - row_starts_[i]);
}

const Cell* Worksheet::Find(std::uint32_t row, std::uint32_t column) const {
  const auto cells = RowCells(row);
  const auto it = std::lower_bound(cells.begin(), cells.end(), column,
                                   [](const Cell& c, std::uint32_t col) { return c.column < col; });
  return (it != cells.end() && it->column == column) ? &*it : nullptr;
}

void StringPool::push_back(std::string_view text) {
  if (text_.size() + text.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw ReadError("The workbook holds more text than this program reads (over 4 GB).", 0);
  }
  starts_.push_back(static_cast<std::uint32_t>(text_.size()));
  text_.append(text);
}

void StringPool::reserve(std::size_t count, std::size_t bytes) {
  starts_.reserve(starts_.size() + count);
  if (bytes > 0) text_.reserve(text_.size() + std::min<std::size_t>(bytes, std::numeric_limits<std::uint32_t>::max()));
}

void StringPool::Release() {
  starts_ = {};
  text_ = {};
}

std::uint32_t Workbook::AddString(std::string_view text) {
  strings.push_back(text);
  return static_cast<std::uint32_t>(strings.size() - 1);
}

std::uint32_t Workbook::FormatIdOf(std::uint32_t style) const {
  return style < style_formats.size() ? style_formats[style] : 0;
}

std::string_view Workbook::CustomCode(std::uint32_t format_id) const {
  const auto it = custom_formats.find(format_id);
  return it == custom_formats.end() ? std::string_view{} : std::string_view(it->second);
}

std::optional<std::size_t> Workbook::FindSheet(std::string_view name) const {
  const std::string folded = FoldSheetName(name);
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    const std::string& n = sheets[i].Name();
    if (n.size() == name.size() &&
        std::equal(n.begin(), n.end(), name.begin(), [](char a, char b) { return FoldAscii(a) == FoldAscii(b); })) {
      return i;
    }
  }
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    if (FoldSheetName(sheets[i].Name()) == folded) return i;
  }
  return std::nullopt;
}

std::string FoldSheetName(std::string_view name) {
  const bool ascii = std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  std::string out(name);
  if (ascii) {
    for (char& c : out) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;  // as ICU folds
    return out;
  }
  // Full Unicode case folding; a name that is not valid UTF-8 stays as it is.
  std::u16string wide(name.size(), u'\0');
  std::u16string folded(name.size() * 3 + 1, u'\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8(wide.data(), static_cast<int32_t>(wide.size()), &length, name.data(), static_cast<int32_t>(name.size()),
                &status);
  if (U_FAILURE(status)) return out;
  length = u_strFoldCase(folded.data(), static_cast<int32_t>(folded.size()), wide.data(), length, U_FOLD_CASE_DEFAULT,
                         &status);
  if (U_FAILURE(status)) return out;
  out.assign(static_cast<std::size_t>(length) * 3, '\0');
  int32_t bytes = 0;
  u_strToUTF8(out.data(), static_cast<int32_t>(out.size()), &bytes, folded.data(), length, &status);
  if (U_FAILURE(status)) return std::string(name);
  out.resize(static_cast<std::size_t>(bytes));
  return out;
}

std::optional<std::pair<std::size_t, std::size_t>> CaseTwins(const std::vector<std::string>& names) {
  std::unordered_map<std::string, std::size_t> seen;
  seen.reserve(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    const auto [at, fresh] = seen.emplace(FoldSheetName(names[i]), i);
    if (!fresh) return std::pair{at->second, i};
  }
  return std::nullopt;
}

}  // namespace cw::sheet
