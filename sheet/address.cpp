#include "sheet/address.h"

#include <algorithm>
#include <utility>

#include "sheet/workbook.h"

namespace cw::sheet {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// One end of a reference: column letters, row digits, or both; each may carry a "$".
struct RefPart {
  std::optional<std::uint32_t> column;
  std::optional<std::uint32_t> row;
};

std::optional<RefPart> ParseRefPart(std::string_view s) {
  RefPart part;
  std::size_t i = 0;
  if (i < s.size() && s[i] == '$') ++i;
  std::uint32_t column = 0;
  std::size_t letters = 0;
  while (i < s.size() && IsAsciiLetter(s[i])) {
    if (++letters > 3) return std::nullopt;
    const char up = static_cast<char>(s[i] & ~0x20);
    column = column * 26 + static_cast<std::uint32_t>(up - 'A' + 1);
    ++i;
  }
  if (letters > 0) {
    if (column > kMaxColumns) return std::nullopt;
    part.column = column;
    if (i < s.size() && s[i] == '$') ++i;
  } else if (i > 0 && i < s.size() && !IsDigit(s[i])) {
    return std::nullopt;
  }
  std::uint32_t row = 0;
  std::size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) {
    ++digits;
    row = row * 10 + static_cast<std::uint32_t>(s[i] - '0');
    if (row > kMaxRows) return std::nullopt;
    ++i;
  }
  if (digits > 0) {
    if (row < 1 || row > kMaxRows) return std::nullopt;
    part.row = row;
  }
  if (i != s.size() || (!part.column && !part.row)) return std::nullopt;
  return part;
}

// Splits "Sheet!ref" / "'My ''Sheet'''!ref" into the sheet name and the reference.
std::optional<std::pair<std::optional<std::string>, std::string_view>> SplitSheet(std::string_view text) {
  if (!text.empty() && text.front() == '\'') {
    std::string name;
    std::size_t i = 1;
    for (;;) {
      if (i >= text.size()) return std::nullopt;
      if (text[i] == '\'') {
        if (i + 1 < text.size() && text[i + 1] == '\'') {
          name += '\'';
          i += 2;
          continue;
        }
        break;
      }
      name += text[i++];
    }
    if (i + 1 >= text.size() || text[i + 1] != '!' || name.empty()) return std::nullopt;
    return std::make_pair(std::optional<std::string>(std::move(name)), text.substr(i + 2));
  }
  const std::size_t bang = text.rfind('!');
  if (bang == std::string_view::npos) return std::make_pair(std::optional<std::string>(), text);
  if (bang == 0) return std::nullopt;
  return std::make_pair(std::optional<std::string>(std::string(text.substr(0, bang))), text.substr(bang + 1));
}

bool LooksLikeReference(std::string_view name) {
  // "A1", "xfd10", "R1C1", "R", "C" would be read as references if left unquoted.
  if (ParseRefPart(name)) return true;
  std::string up(name);
  for (char& c : up) c = static_cast<char>((c >= 'a' && c <= 'z') ? c - 32 : c);
  if (up == "R" || up == "C") return true;
  if (!up.empty() && (up[0] == 'R' || up[0] == 'C')) {
    bool rc = true;
    for (std::size_t i = 1; i < up.size(); ++i) {
      if (!IsDigit(up[i]) && up[i] != 'R' && up[i] != 'C') rc = false;
    }
    if (rc && up.size() > 1) return true;
  }
  return false;
}

}  // namespace

std::optional<CellBlock> ParseAddress(std::string_view text) {
  const auto split = SplitSheet(Trim(text));
  if (!split) return std::nullopt;
  const std::string_view ref = split->second;
  const std::size_t colon = ref.find(':');
  const auto first = ParseRefPart(ref.substr(0, colon));
  if (!first) return std::nullopt;
  RefPart second = *first;
  if (colon != std::string_view::npos) {
    const auto parsed = ParseRefPart(ref.substr(colon + 1));
    if (!parsed) return std::nullopt;
    second = *parsed;
  }
  CellBlock block;
  block.sheet = split->first;
  const bool first_cell = first->column && first->row;
  const bool second_cell = second.column && second.row;
  if (first_cell && second_cell) {
    block.first_column = *first->column;
    block.first_row = *first->row;
    block.last_column = *second.column;
    block.last_row = *second.row;
  } else if (colon != std::string_view::npos && first->column && !first->row && second.column && !second.row) {
    block.whole_columns = true;
    block.first_column = *first->column;
    block.last_column = *second.column;
    block.first_row = 1;
    block.last_row = kMaxRows;
  } else if (colon != std::string_view::npos && first->row && !first->column && second.row && !second.column) {
    block.whole_rows = true;
    block.first_row = *first->row;
    block.last_row = *second.row;
    block.first_column = 1;
    block.last_column = kMaxColumns;
  } else {
    return std::nullopt;
  }
  if (block.first_row > block.last_row) std::swap(block.first_row, block.last_row);
  if (block.first_column > block.last_column) std::swap(block.first_column, block.last_column);
  return block;
}

std::string CellName(std::uint32_t row, std::uint32_t column) { return ColumnLetters(column) + std::to_string(row); }

std::string ColumnLetters(std::uint32_t column) {
  std::string letters;
  while (column > 0) {
    const std::uint32_t rem = (column - 1) % 26;
    letters.insert(letters.begin(), static_cast<char>('A' + rem));
    column = (column - 1) / 26;
  }
  return letters;
}

std::string QuoteSheetName(std::string_view name) {
  bool plain = !name.empty() && !IsDigit(name.front()) && !LooksLikeReference(name);
  for (char c : name) {
    if (!(IsAsciiLetter(c) || IsDigit(c) || c == '_' || c == '.')) plain = false;
  }
  if (plain) return std::string(name);
  std::string quoted = "'";
  for (char c : name) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  quoted += '\'';
  return quoted;
}

std::string FormatAddress(const CellBlock& block) {
  std::string text;
  if (block.sheet) text = QuoteSheetName(*block.sheet) + "!";
  const auto cell = [](std::uint32_t row, std::uint32_t column) {
    return "$" + ColumnLetters(column) + "$" + std::to_string(row);
  };
  text += cell(block.first_row, block.first_column);
  if (block.first_row != block.last_row || block.first_column != block.last_column) {
    text += ":" + cell(block.last_row, block.last_column);
  }
  return text;
}

}  // namespace cw::sheet
