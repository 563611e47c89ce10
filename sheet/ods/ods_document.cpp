#include "sheet/ods/ods_document.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>

#include "sheet/calendar.h"
#include "sheet/ods/ods_error.h"

namespace cw::sheet::ods {
namespace {

// Positions past any sheet's bounds stop counting here, so repeat counts never overflow.
constexpr std::uint64_t kFarAway = std::uint64_t{1} << 40;
// Custom format ids start above every built-in id.
constexpr std::uint32_t kFirstFormatId = 1000;
// Parents of a cell style looked through for its number style.
constexpr int kMostParents = 32;

std::uint64_t Count(const char* value) {
  if (value == nullptr) return 1;
  std::uint64_t n = 0;
  const std::string_view text(value);
  const auto res = std::from_chars(text.data(), text.data() + text.size(), n);
  if (res.ec == std::errc::result_out_of_range) return kFarAway;
  if (res.ec != std::errc() || n == 0) return 1;
  return std::min(n, kFarAway);
}

std::uint64_t Advance(std::uint64_t at, std::uint64_t by) { return std::min(at + by, kFarAway); }

bool ParseDouble(std::string_view text, double& value) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
  return res.ec == std::errc() && res.ptr == text.data() + text.size();
}

// Reads an unsigned number at the front of `text`; false when none is there.
bool TakeNumber(std::string_view& text, double& value) {
  std::size_t n = 0;
  while (n < text.size() && ((text[n] >= '0' && text[n] <= '9') || text[n] == '.')) ++n;
  if (n == 0 || !ParseDouble(text.substr(0, n), value)) return false;
  text.remove_prefix(n);
  return true;
}

// "2024-02-29" or "2024-02-29T18:30:00.5" as a serial of `system`.
bool ParseDate(std::string_view text, DateSystem system, double& serial) {
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  int parts[3] = {};
  for (int i = 0; i < 3; ++i) {
    const auto res = std::from_chars(text.data(), text.data() + text.size(), parts[i]);
    if (res.ec != std::errc()) return false;
    text.remove_prefix(static_cast<std::size_t>(res.ptr - text.data()));
    if (i < 2) {
      if (text.empty() || text.front() != '-') return false;
      text.remove_prefix(1);
    }
  }
  const int year = negative ? -parts[0] : parts[0];
  if (!IsValidDate(year, parts[1], parts[2])) return false;
  double day_part = 0;
  if (!text.empty() && text.front() == 'T') {
    text.remove_prefix(1);
    double h = 0, m = 0, s = 0;
    if (!TakeNumber(text, h) || text.empty() || text.front() != ':') return false;
    text.remove_prefix(1);
    if (!TakeNumber(text, m)) return false;
    if (!text.empty() && text.front() == ':') {
      text.remove_prefix(1);
      if (!TakeNumber(text, s)) return false;
    }
    day_part = (h * 3600 + m * 60 + s) / 86400;
  }
  serial = static_cast<double>(DateToSerial(year, parts[1], parts[2], system)) + day_part;
  return true;
}

// "PT18H30M00S", "-P1DT2H" as a number of days.
bool ParseDuration(std::string_view text, double& days) {
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  if (text.empty() || text.front() != 'P') return false;
  text.remove_prefix(1);
  double total = 0;
  bool in_time = false;
  bool any = false;
  while (!text.empty()) {
    if (text.front() == 'T') {
      in_time = true;
      text.remove_prefix(1);
      continue;
    }
    double n = 0;
    if (!TakeNumber(text, n) || text.empty()) return false;
    const char unit = text.front();
    text.remove_prefix(1);
    if (unit == 'D' && !in_time) {
      total += n;
    } else if (unit == 'H' && in_time) {
      total += n / 24;
    } else if (unit == 'M' && in_time) {
      total += n / 1440;
    } else if (unit == 'S' && in_time) {
      total += n / 86400;
    } else {
      return false;
    }
    any = true;
  }
  days = negative ? -total : total;
  return any;
}

std::string Folded(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return folded;
}

// The qualified name's prefix: "calcext" for "calcext:value-type".
std::string_view Prefix(const char* name) {
  const char* colon = std::strchr(name, ':');
  return colon ? std::string_view(name, static_cast<std::size_t>(colon - name)) : std::string_view();
}

// The locale tag of the document's language: its default cell style's. LibreOffice on a
// Japanese, Chinese or Korean system writes en-US there and the system's language as the
// Asian language, which it then shows styles without a language in; LibreOffice elsewhere
// writes zh-CN as the Asian language, which is then no word on the document.
std::string DocumentLanguage(const std::string& language, const std::string& country, const std::string& asian_language,
                             const std::string& asian_country) {
  const bool asian = language == "en" && country == "US" && !asian_language.empty() &&
                     !(asian_language == "zh" && asian_country == "CN");
  return asian ? NumberStyles::LocaleTag(asian_language, asian_country) : NumberStyles::LocaleTag(language, country);
}

}  // namespace

DocumentHandler::DocumentHandler(Workbook& book, RowSink& sink, const OdsLimits& limits)
    : book_(book), sink_(sink), limits_(limits) {
  book_.code_locale_separators = true;
  book_.libreoffice_display = true;
  book_.date_system = DateSystem::kLibreOffice;
  if (book_.style_formats.empty()) book_.style_formats.push_back(0);  // style 0: General
  exact_.assign(book_.style_formats.size(), true);
}

void DocumentHandler::Start(std::string_view name, const xlsx::Attributes& attributes) {
  ++depth_;
  if (numbers_.InStyle()) {
    numbers_.Start(name, attributes);
    capturing_ = numbers_.Capturing();
    return;
  }
  if (ignore_depth_ != 0) return;
  if (cell_depth_ != 0) {
    if (depth_ == cell_depth_ + 1 && (name == "p" || name == "h")) {
      if (paragraphs_++ > 0 && cell_wants_text_) text_ += '\n';
      paragraph_depth_ = depth_;
    } else if (paragraph_depth_ == 0 || name == "annotation" || name == "note" || name == "frame" ||
               name == "custom-shape" || name == "ruby-text" || name == "table") {
      // Notes, shapes and anything beside the cell's paragraphs never show in it.
      ignore_depth_ = depth_;
    } else if (cell_wants_text_) {
      if (name == "s") {
        AddSpaces(Count(attributes.Get("c")));
      } else if (name == "tab") {
        text_ += '\t';
      } else if (name == "line-break") {
        text_ += '\n';
      }
    }
    capturing_ = cell_wants_text_ && paragraph_depth_ != 0 && ignore_depth_ == 0;
    return;
  }
  if (sheet_depth_ != 0) {
    if (name == "table-row") {
      row_repeat_ = Count(attributes.Get("number-rows-repeated"));
      const char* style = attributes.Get("default-cell-style-name");
      row_has_style_ = style != nullptr;
      row_style_ = row_has_style_ ? StyleIndex(style) : 0;
      column_ = 0;
      cells_.clear();
    } else if (name == "table-cell" || name == "covered-table-cell") {
      StartCell(name == "covered-table-cell", attributes);
    } else if (name == "table-column") {
      const char* style = attributes.Get("default-cell-style-name");
      const std::uint32_t index = style ? StyleIndex(style) : default_style_;
      if (column_defaults_.empty() || column_defaults_.back().style != index) {
        column_defaults_.push_back({column_cursor_, index});
      }
      column_cursor_ = Advance(column_cursor_, Count(attributes.Get("number-columns-repeated")));
    } else if (name != "table-row-group" && name != "table-header-rows" && name != "table-rows" &&
               name != "table-column-group" && name != "table-header-columns" && name != "table-columns") {
      ignore_depth_ = depth_;  // shapes, named ranges, forms, a table's title
    }
    return;
  }
  if (NumberStyles::IsStyleElement(name)) {
    if (numbers_.Count() >= limits_.max_styles)
      FailOds(OdsErrorCode::kTooManyStyles, std::to_string(limits_.max_styles), 0, part_);
    numbers_.Start(name, attributes);
    capturing_ = numbers_.Capturing();
    return;
  }
  if (name == "default-style") {
    const char* family = attributes.Get("family");
    in_default_cell_style_ = family != nullptr && std::strcmp(family, "table-cell") == 0;
    return;
  }
  if (name == "text-properties" && in_default_cell_style_) {
    const auto take = [&](const char* attribute, std::string& into) {
      if (const char* value = attributes.Get(attribute); value != nullptr && std::strlen(value) < 16) into = value;
    };
    take("language", language_);
    take("country", country_);
    take("language-asian", asian_language_);
    take("country-asian", asian_country_);
    return;
  }
  if (name == "style") {
    in_default_cell_style_ = false;
    const char* family = attributes.Get("family");
    const char* style_name = attributes.Get("name");
    if (family != nullptr && std::strcmp(family, "table-cell") == 0 && style_name != nullptr) {
      if (cell_styles_.size() >= limits_.max_styles) {
        FailOds(OdsErrorCode::kTooManyStyles, std::to_string(limits_.max_styles), 0, part_);
      }
      const char* parent = attributes.Get("parent-style-name");
      const char* data = attributes.Get("data-style-name");
      cell_styles_.insert_or_assign(style_name, CellStyle{parent ? parent : "", data ? data : ""});
    }
    return;
  }
  if (name == "config-item") {
    const char* item = attributes.Get("name");
    if (!active_named_ && config_item_depth_ == 0 && item != nullptr && std::strcmp(item, "ActiveTable") == 0) {
      config_item_depth_ = depth_;
      active_name_.clear();
      capturing_ = true;
    }
    return;
  }
  if (name == "body") {
    body_seen_ = true;
    body_depth_ = depth_;
    return;
  }
  if (body_seen_ && depth_ == body_depth_ + 1) {
    if (name == "spreadsheet") {
      in_spreadsheet_ = true;
      ResolveCellStyles();
    } else if (other_body_.empty()) {
      other_body_ = name == "text"           ? "text document"
                    : name == "drawing"      ? "drawing"
                    : name == "presentation" ? "presentation"
                    : name == "chart"        ? "chart"
                                             : std::string(name) + " document";
    }
    return;
  }
  if (!in_spreadsheet_) return;
  if (name == "null-date") {
    const char* value = attributes.Get("date-value");
    if (value != nullptr && std::strncmp(value, "1904-01-01", 10) == 0) book_.date_system = DateSystem::k1904;
  } else if (name == "table") {
    // Refused whole: a sheet left out would turn a block on it into "no such sheet".
    if (sheet_count_ >= limits_.max_sheets) {
      FailOds(OdsErrorCode::kTooManySheets, "65,536", 0, part_);
    }
    const char* sheet_name = attributes.Get("name");
    std::string label = sheet_name ? sheet_name : "Sheet" + std::to_string(sheet_count_ + 1);
    if (!folded_names_.insert(Folded(label)).second) FailOds(OdsErrorCode::kSheetNamedTwice, label, 0, part_);
    book_.sheets.emplace_back(std::move(label)).Finish();
    sheet_depth_ = depth_;
    sheet_wanted_ = sink_.WantsCells() && sink_.WantsSheet(sheet_count_);
    sink_.SheetStarted(sheet_count_);
    ++sheet_count_;
    column_defaults_.clear();
    column_cursor_ = 0;
    row_ = 0;
  }
}

void DocumentHandler::End(std::string_view name) {
  if (numbers_.InStyle()) {
    numbers_.End(name);
    capturing_ = numbers_.Capturing();
    --depth_;
    return;
  }
  if (name == "default-style") in_default_cell_style_ = false;
  if (ignore_depth_ != 0) {
    if (depth_ == ignore_depth_) ignore_depth_ = 0;
    if (cell_depth_ != 0) capturing_ = cell_wants_text_ && paragraph_depth_ != 0 && ignore_depth_ == 0;
    --depth_;
    return;
  }
  if (cell_depth_ != 0) {
    if (depth_ == cell_depth_) {
      EndCell();
    } else if (depth_ == paragraph_depth_) {
      paragraph_depth_ = 0;
    }
    capturing_ = cell_depth_ != 0 && cell_wants_text_ && paragraph_depth_ != 0;
  } else if (sheet_depth_ != 0) {
    if (depth_ == sheet_depth_) {
      sheet_depth_ = 0;
    } else if (name == "table-row") {
      EndRow();
    }
  } else if (depth_ == config_item_depth_) {
    config_item_depth_ = 0;
    active_named_ = true;
    capturing_ = false;
  } else if (in_spreadsheet_ && depth_ == body_depth_ + 1) {
    in_spreadsheet_ = false;
  }
  --depth_;
}

void DocumentHandler::Text(std::string_view text) {
  if (numbers_.InStyle()) {
    numbers_.Text(text);
  } else if (config_item_depth_ != 0) {
    if (active_name_.size() + text.size() <= 4096) active_name_.append(text);
  } else if (cell_depth_ != 0) {
    text_.append(text);
  }
}

void DocumentHandler::AddSpaces(std::uint64_t count) {
  spaces_ += count;
  if (spaces_ > limits_.max_space_run_bytes) {
    FailOds(OdsErrorCode::kTextTooLong, "its runs of spaces make more than 64 MiB of text", row_ + 1, part_);
  }
  text_.append(static_cast<std::size_t>(count), ' ');
}

void DocumentHandler::ResolveCellStyles() {
  numbers_.SetDocumentLanguage(DocumentLanguage(language_, country_, asian_language_, asian_country_));
  // Style 0, a cell without a number style, shows General in the document's language.
  const std::string general = numbers_.DocumentLanguage() + "General";
  if (!numbers_.DocumentLanguage().empty()) {
    book_.custom_formats[kFirstFormatId - 1] = general;
    book_.style_formats[0] = kFirstFormatId - 1;
  }
  // Every cell style gets its index before the first cell, in the order of their names, so
  // that every read of the file numbers the styles alike.
  std::map<std::pair<std::string, bool>, std::uint32_t> by_code;
  std::map<std::string, std::uint32_t> format_ids;
  // Each number style's code is made once, however many cell styles name it.
  std::map<std::string, std::optional<StyleCode>, std::less<>> codes;
  for (const auto& [name, style] : cell_styles_) {
    const CellStyle* at = &style;
    std::string data;
    for (int i = 0; i < kMostParents && at != nullptr; ++i) {
      if (!at->data_style.empty()) {
        data = at->data_style;
        break;
      }
      const auto parent = cell_styles_.find(at->parent);
      at = parent == cell_styles_.end() ? nullptr : &parent->second;
    }
    auto known = codes.find(data);
    if (known == codes.end()) known = codes.emplace(data, data.empty() ? std::nullopt : numbers_.CodeOf(data)).first;
    const std::optional<StyleCode>& code = known->second;
    if (!code || (code->code == general && code->exact)) {
      style_index_.emplace(name, 0);
      continue;
    }
    const auto key = std::make_pair(code->code, code->exact);
    auto found = by_code.find(key);
    if (found == by_code.end()) {
      auto id = format_ids.find(code->code);
      if (id == format_ids.end()) {
        const auto next = static_cast<std::uint32_t>(kFirstFormatId + format_ids.size());
        id = format_ids.emplace(code->code, next).first;
        book_.custom_formats[next] = code->code;
      }
      found = by_code.emplace(key, static_cast<std::uint32_t>(book_.style_formats.size())).first;
      book_.style_formats.push_back(id->second);
      exact_.push_back(code->exact);
    }
    style_index_.emplace(name, found->second);
  }
  default_style_ = StyleIndex("Default");
}

std::uint32_t DocumentHandler::StyleIndex(const char* name) const {
  const auto it = style_index_.find(std::string_view(name));
  return it == style_index_.end() ? 0 : it->second;
}

std::uint32_t DocumentHandler::ColumnDefault(std::uint64_t column) const {
  // Runs are in column order; a sheet has few of them.
  std::uint32_t style = default_style_;
  for (const ColumnDefaultRun& run : column_defaults_) {
    if (run.first > column) break;
    style = run.style;
  }
  return style;
}

void DocumentHandler::StartCell(bool covered, const xlsx::Attributes& attributes) {
  cell_depth_ = depth_;
  cell_repeat_ = Count(attributes.Get("number-columns-repeated"));
  cell_covered_ = covered;
  paragraphs_ = 0;
  paragraph_depth_ = 0;
  text_.clear();
  cell_has_value_ = false;
  cell_wants_text_ = false;
  cell_text_is_value_ = false;
  // A covered cell shows nothing, whatever it holds; an unwanted sheet's cells are skipped.
  if (covered || !sheet_wanted_ || column_ >= kMaxColumns) return;
  cell_ = RowCell{};
  const char* style = attributes.Get("style-name");
  cell_.style = style ? StyleIndex(style) : row_has_style_ ? row_style_ : ColumnDefault(column_);
  const char* office_type = nullptr;
  const char* calc_type = nullptr;
  const char* value = nullptr;
  const char* date_value = nullptr;
  const char* time_value = nullptr;
  const char* boolean_value = nullptr;
  const char* string_value = nullptr;
  for (const char** p = attributes.Raw(); p && *p; p += 2) {
    const std::string_view local = xlsx::LocalName(p[0]);
    if (local == "value-type") {
      (Prefix(p[0]) == "calcext" ? calc_type : office_type) = p[1];
    } else if (local == "value") {
      value = p[1];
    } else if (local == "date-value") {
      date_value = p[1];
    } else if (local == "time-value") {
      time_value = p[1];
    } else if (local == "boolean-value") {
      boolean_value = p[1];
    } else if (local == "string-value") {
      string_value = p[1];
    }
  }
  const std::string_view type = office_type ? office_type : "";
  if (type == "float" || type == "percentage" || type == "currency") {
    cell_has_value_ = value != nullptr && ParseDouble(value, cell_.number);
  } else if (type == "date") {
    cell_has_value_ = date_value != nullptr && ParseDate(date_value, book_.date_system, cell_.number);
  } else if (type == "time") {
    cell_has_value_ = time_value != nullptr && ParseDuration(time_value, cell_.number);
  } else if (type == "boolean") {
    // LibreOffice holds a boolean as the number 1 or 0 (or the number it was, "-1", "2.5"),
    // shown through the cell's number style: a boolean style shows its words, a number style
    // the number, General 1 or 0.
    cell_has_value_ = boolean_value != nullptr;
    if (cell_has_value_ && std::strcmp(boolean_value, "true") == 0) {
      cell_.number = 1;
    } else if (cell_has_value_ && std::strcmp(boolean_value, "false") != 0) {
      cell_has_value_ = ParseDouble(boolean_value, cell_.number);
    }
  } else if (type == "string" && string_value != nullptr) {
    cell_.kind = CellKind::kString;
    cell_.text = string_value;
    cell_has_value_ = true;
  }
  const bool error = calc_type != nullptr && std::strcmp(calc_type, "error") == 0;
  if (error || !cell_has_value_) {
    // An error, a string and a cell of no type show their paragraphs.
    cell_has_value_ = false;
    cell_text_is_value_ = true;
    cell_wants_text_ = true;
    if (error) cell_.kind = CellKind::kError;
  } else if (cell_.kind == CellKind::kNumber && cell_.style < exact_.size() && !exact_[cell_.style]) {
    cell_wants_text_ = true;  // a style beyond the renderer: what LibreOffice stored shows
  }
}

void DocumentHandler::EndCell() {
  const std::uint64_t column = column_;
  column_ = Advance(column_, cell_repeat_);
  cell_depth_ = 0;
  paragraph_depth_ = 0;
  if (cell_covered_ || !sheet_wanted_ || column >= kMaxColumns) return;
  if (cell_text_is_value_) {
    if (text_.empty()) return;  // an empty cell
    if (cell_.kind == CellKind::kError) {
      if (const auto error = ErrorFromText(text_)) {
        cell_.error = *error;
      } else {
        cell_.kind = CellKind::kString;
      }
    } else {
      cell_.kind = CellKind::kString;
    }
    if (cell_.kind == CellKind::kString) cell_.text = std::move(text_);
  } else if (!cell_has_value_) {
    return;
  } else if (cell_wants_text_ && !text_.empty()) {
    cell_.kind = CellKind::kString;
    cell_.text = std::move(text_);
  }
  if (cell_.kind == CellKind::kString && cell_.text.empty()) return;
  cell_.column = static_cast<std::uint32_t>(column);
  cell_.count = static_cast<std::uint32_t>(std::min<std::uint64_t>(cell_repeat_, kMaxColumns - column));
  cells_.push_back(std::move(cell_));
  text_.clear();
}

void DocumentHandler::EndRow() {
  if (row_ < kMaxRows && !cells_.empty()) {
    const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(row_repeat_, kMaxRows - row_));
    std::uint64_t per_row = 0;
    for (const RowCell& cell : cells_) {
      per_row += cell.count;
      repeated_text_ += cell.text.size() * (std::uint64_t{cell.count} * count - 1);
    }
    cells_read_ += cells_.size();
    copies_ += per_row * count - cells_.size();
    if (copies_ > limits_.max_repeated_copies) {
      FailOds(OdsErrorCode::kTooManyRepeats, std::to_string(limits_.max_repeated_copies), row_ + 1, part_);
    }
    if (repeated_text_ > limits_.max_repeated_text_bytes) {
      FailOds(OdsErrorCode::kTextTooLong,
              "its repeated rows and columns repeat more than " +
                  std::to_string(limits_.max_repeated_text_bytes >> 20) + " MiB of text",
              row_ + 1, part_);
    }
    if (cells_read_ + copies_ > limits_.max_cells)
      FailOds(OdsErrorCode::kTooManyCells, std::to_string(limits_.max_cells), 0, part_);
    sink_.Rows(static_cast<std::uint32_t>(row_), count, cells_);
  }
  row_ = Advance(row_, row_repeat_);
  cells_.clear();
}

void DocumentHandler::Finish() {
  if (book_.sheets.empty()) FailOds(OdsErrorCode::kNoSheets, {}, 0, part_);
  book_.active_sheet = 0;
  if (active_named_) {
    for (std::size_t i = 0; i < book_.sheets.size(); ++i) {
      if (book_.sheets[i].Name() == active_name_) {
        book_.active_sheet = i;
        break;
      }
    }
  }
}

}  // namespace cw::sheet::ods
