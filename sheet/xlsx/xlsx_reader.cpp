#include "sheet/xlsx/xlsx_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "sheet/xlsx/xml_part.h"
#include "sheet/xlsx/zip_package.h"

namespace cw::sheet {
namespace xlsx {
namespace {

// ---- small text helpers -------------------------------------------------------------

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

std::string_view TrimSpace(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n')) {
    s.remove_prefix(1);
  }
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) {
    s.remove_suffix(1);
  }
  return s;
}

// A decimal count such as an index or a row number; nothing when malformed or too large.
std::optional<std::uint64_t> ParseCount(std::string_view s) {
  s = TrimSpace(s);
  if (s.empty() || s.size() > 18) return std::nullopt;
  std::uint64_t value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

std::optional<double> ParseNumber(std::string_view s) {
  s = TrimSpace(s);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return std::nullopt;
  double value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The UTF-16 unit escaped as "_xHHHH_" at s[i], or -1.
int EscapeAt(std::string_view s, std::size_t i) {
  if (i + 7 > s.size() || s[i] != '_' || (s[i + 1] != 'x' && s[i + 1] != 'X') || s[i + 6] != '_') return -1;
  int value = 0;
  for (std::size_t k = 2; k < 6; ++k) {
    const int h = HexValue(s[i + k]);
    if (h < 0) return -1;
    value = value * 16 + h;
  }
  return value;
}

}  // namespace

// Text in OOXML strings escapes characters XML cannot carry as "_xHHHH_" (a UTF-16 unit;
// "_x005F_" escapes the underscore itself), ECMA-376 Part 1, 22.9.2.19 ST_Xstring.
std::string DecodeXstring(std::string text) {
  if (text.find("_x") == std::string::npos && text.find("_X") == std::string::npos) return text;
  std::string out;
  out.reserve(text.size());
  const std::string_view s(text);
  std::size_t i = 0;
  while (i < s.size()) {
    const int unit = EscapeAt(s, i);
    if (unit < 0) {
      out += s[i++];
      continue;
    }
    i += 7;
    std::uint32_t cp = static_cast<std::uint32_t>(unit);
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      const int low = EscapeAt(s, i);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<std::uint32_t>(low) - 0xDC00);
        i += 7;
      } else {
        cp = 0xFFFD;
      }
    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

// "B12" -> (11, 1), 0-based; nothing when malformed or beyond XFD1048576.
std::optional<std::pair<std::uint32_t, std::uint32_t>> ParseCellReference(std::string_view s) {
  std::size_t i = 0;
  std::uint32_t column = 0;
  while (i < s.size() && i < 4) {
    char c = s[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c < 'A' || c > 'Z') break;
    column = column * 26 + static_cast<std::uint32_t>(c - 'A' + 1);
    ++i;
  }
  if (i == 0 || i > 3 || column > kMaxColumns) return std::nullopt;
  const std::size_t digits_at = i;
  std::uint32_t row = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i - digits_at < 8) {
    row = row * 10 + static_cast<std::uint32_t>(s[i] - '0');
    ++i;
  }
  if (i == digits_at || i != s.size() || row < 1 || row > kMaxRows) return std::nullopt;
  return std::make_pair(row - 1, column - 1);
}

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool ReadDigits(std::string_view s, std::size_t& i, std::size_t count, unsigned& out) {
  out = 0;
  for (std::size_t k = 0; k < count; ++k, ++i) {
    if (i >= s.size() || s[i] < '0' || s[i] > '9') return false;
    out = out * 10 + static_cast<unsigned>(s[i] - '0');
  }
  return true;
}

}  // namespace

// The serial number of an ISO 8601 date-time as a t="d" cell stores it
// ("2024-02-29", "2024-02-29T13:45:00Z", "T08:30:00"), in the workbook's date system.
std::optional<double> IsoDateSerial(std::string_view s, DateSystem system) {
  s = TrimSpace(s);
  std::size_t i = 0;
  double serial = 0;
  if (!s.empty() && s[0] != 'T') {
    unsigned y = 0, m = 0, d = 0;
    if (!ReadDigits(s, i, 4, y) || i >= s.size() || s[i++] != '-' || !ReadDigits(s, i, 2, m) || i >= s.size() ||
        s[i++] != '-' || !ReadDigits(s, i, 2, d)) {
      return std::nullopt;
    }
    static constexpr unsigned kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12 || d < 1 || d > kDays[m - 1]) return std::nullopt;
    if (m == 2 && d == 29 && !((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return std::nullopt;
    const std::int64_t days = DaysFromCivil(y, m, d);
    if (system == DateSystem::k1904) {
      serial = static_cast<double>(days - DaysFromCivil(1904, 1, 1));
    } else {
      serial = static_cast<double>(days - DaysFromCivil(1899, 12, 30));
      if (serial < 61) serial -= 1;  // the 1900 system counts a 29 Feb 1900 that never was
    }
  }
  if (i < s.size()) {
    if (s[i++] != 'T') return std::nullopt;
    unsigned h = 0, mi = 0, sec = 0;
    if (!ReadDigits(s, i, 2, h) || i >= s.size() || s[i++] != ':' || !ReadDigits(s, i, 2, mi)) return std::nullopt;
    double seconds = 0;
    if (i < s.size() && s[i] == ':') {
      ++i;
      if (!ReadDigits(s, i, 2, sec)) return std::nullopt;
      seconds = sec;
      if (i < s.size() && s[i] == '.') {
        const std::size_t start = i;
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
        double fraction = 0;
        std::from_chars(s.data() + start, s.data() + i, fraction);
        seconds += fraction;
      }
    }
    if (i < s.size() && s[i] == 'Z') ++i;
    if (i != s.size() || h > 24 || mi > 59 || sec > 60) return std::nullopt;
    serial += (h * 3600.0 + mi * 60.0 + seconds) / 86400.0;
  }
  return serial;
}

namespace {

// Reservations made from counts a part declares go no further than this; past it the
// storage grows as the items really come.
constexpr std::uint64_t kMaxReserve = 16u << 20;

// ---- package relationships ------------------------------------------------------------

struct Relationship {
  std::string id;
  std::string type;
  std::string target;  // part name, resolved against the source part
  bool external = false;
};

std::string PercentDecode(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

// The folder of a part name, with its trailing "/": "xl/workbook.xml" -> "xl/".
std::string_view FolderOf(std::string_view part) {
  const std::size_t slash = part.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : part.substr(0, slash + 1);
}

// The part a relationship target names, relative to the source part's folder or, with a
// leading "/", to the package root; "." and ".." steps resolved.
std::string ResolveTarget(std::string_view source_part, std::string_view target) {
  std::string joined = PercentDecode(target);
  if (!joined.empty() && joined.front() == '/') {
    joined.erase(0, 1);
  } else {
    joined.insert(0, FolderOf(source_part));
  }
  std::vector<std::string_view> steps;
  std::string_view rest(joined);
  while (!rest.empty()) {
    const std::size_t slash = rest.find('/');
    const std::string_view step = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (step.empty() || step == ".") continue;
    if (step == "..") {
      if (!steps.empty()) steps.pop_back();
      continue;
    }
    steps.push_back(step);
  }
  std::string out;
  for (const auto& step : steps) {
    if (!out.empty()) out += '/';
    out += step;
  }
  return out;
}

// "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels".
std::string RelationshipsPartOf(std::string_view part) {
  const std::string_view folder = FolderOf(part);
  return std::string(folder) + "_rels/" + std::string(part.substr(folder.size())) + ".rels";
}

class RelationshipsHandler : public XmlHandler {
 public:
  explicit RelationshipsHandler(std::string_view source) : source_(source) {}
  std::vector<Relationship> found;

  void Start(std::string_view name, const Attributes& a) override {
    if (name != "Relationship" || found.size() >= kMaxRelationships) return;
    const char* id = a.Get("Id");
    const char* type = a.Get("Type");
    const char* target = a.Get("Target");
    const char* mode = a.Get("TargetMode");
    if (!type || !target) return;
    Relationship r;
    r.id = id ? id : "";
    r.type = type;
    r.external = mode && std::string_view(mode) == "External";
    r.target = r.external ? std::string(target) : ResolveTarget(source_, target);
    found.push_back(std::move(r));
  }
  void End(std::string_view) override {}
  void Text(std::string_view) override {}

 private:
  static constexpr std::size_t kMaxRelationships = 100'000;
  std::string source_;
};

std::vector<Relationship> ReadRelationships(const ZipPackage& package, std::string_view source_part) {
  const std::string rels = RelationshipsPartOf(source_part);
  const auto stored = package.Find(rels);
  if (!stored) return {};
  RelationshipsHandler handler(source_part);
  ParsePart(package, *stored, handler);
  return std::move(handler.found);
}

// Relationship types end alike in the transitional ("http://schemas.openxmlformats.org/
// officeDocument/2006/relationships/worksheet") and Strict ("http://purl.oclc.org/ooxml/
// officeDocument/relationships/worksheet") namespaces.
const Relationship* FindByType(const std::vector<Relationship>& rels, std::string_view type_tail) {
  for (const auto& r : rels) {
    if (!r.external && EndsWith(r.type, type_tail)) return &r;
  }
  return nullptr;
}

// ---- workbook part ------------------------------------------------------------------------

struct SheetEntry {
  std::string name;
  std::string relationship_id;
};

class WorkbookHandler : public XmlHandler {
 public:
  explicit WorkbookHandler(std::string_view part) : part_(part) {}
  std::vector<SheetEntry> sheets;
  bool date1904 = false;
  std::size_t active_tab = 0;

  void Start(std::string_view name, const Attributes& a) override {
    if (!root_seen_) {
      root_seen_ = true;
      if (name == "document") FailXlsx(XlsxErrorCode::kOtherOfficeDocument, part_, "a Word document");
      if (name == "presentation") FailXlsx(XlsxErrorCode::kOtherOfficeDocument, part_, "a PowerPoint presentation");
      if (name != "workbook") FailXlsx(XlsxErrorCode::kNotWorkbookPackage, part_);
      return;
    }
    if (name == "sheets") {
      in_sheets_ = true;
    } else if (name == "sheet" && in_sheets_) {
      if (sheets.size() >= kMaxSheets) FailXlsx(XlsxErrorCode::kBadValue, part_, "more sheets than a workbook can hold");
      const char* sheet_name = a.Get("name");
      const char* id = a.Get("id");
      sheets.push_back({sheet_name ? sheet_name : "", id ? id : ""});
    } else if (name == "workbookPr") {
      const char* v = a.Get("date1904");
      date1904 = v && (std::string_view(v) == "1" || std::string_view(v) == "true");
    } else if (name == "workbookView" && !view_seen_) {
      view_seen_ = true;
      if (const char* v = a.Get("activeTab")) {
        const auto tab = ParseCount(v);
        active_tab = tab ? static_cast<std::size_t>(*tab) : 0;
      }
    }
  }
  void End(std::string_view name) override {
    if (name == "sheets") in_sheets_ = false;
  }
  void Text(std::string_view) override {}

 private:
  static constexpr std::size_t kMaxSheets = 65'536;
  bool in_sheets_ = false;
  std::string part_;
  bool root_seen_ = false;
  bool view_seen_ = false;
};

// ---- styles -------------------------------------------------------------------------------

class StylesHandler : public XmlHandler {
 public:
  StylesHandler(std::string_view part, Workbook& book, std::uint64_t max_styles)
      : part_(part), book_(book), max_styles_(max_styles) {}

  void Start(std::string_view name, const Attributes& a) override {
    if (name == "numFmt") {
      const char* id = a.Get("numFmtId");
      const char* code = a.Get("formatCode");
      const auto value = id ? ParseCount(id) : std::nullopt;
      if (book_.custom_formats.size() >= max_styles_) {
        FailXlsx(XlsxErrorCode::kBadValue, part_, "more number formats than a workbook can hold");
      }
      if (value && *value <= 0xFFFFFFFFu && code) book_.custom_formats[static_cast<std::uint32_t>(*value)] = code;
    } else if (name == "cellXfs") {
      in_cell_xfs_ = true;
    } else if (name == "xf" && in_cell_xfs_) {
      if (book_.style_formats.size() >= max_styles_) {
        FailXlsx(XlsxErrorCode::kBadValue, part_, "more cell formats than a workbook can hold");
      }
      const char* id = a.Get("numFmtId");
      const auto value = id ? ParseCount(id) : std::nullopt;
      // A malformed format id reads as General: the cell's value still shows.
      book_.style_formats.push_back(value && *value <= 0xFFFFFFFFu ? static_cast<std::uint32_t>(*value) : 0);
    }
  }
  void End(std::string_view name) override {
    if (name == "cellXfs") in_cell_xfs_ = false;
  }
  void Text(std::string_view) override {}

 private:
  std::string part_;
  Workbook& book_;
  std::uint64_t max_styles_;
  bool in_cell_xfs_ = false;
};

// ---- shared strings -----------------------------------------------------------------------

// One string item (<si> or <is>): plain text <t>, or rich-text runs <r><t> joined; the
// phonetic reading <rPh> is no part of the displayed text.
class StringItem {
 public:
  // True when `name` starts text to capture.
  bool Start(std::string_view name) {
    if (name == "rPh") ++phonetic_depth_;
    return name == "t" && phonetic_depth_ == 0;
  }
  void End(std::string_view name) {
    if (name == "rPh" && phonetic_depth_ > 0) --phonetic_depth_;
  }
  void Reset() { phonetic_depth_ = 0; }

 private:
  int phonetic_depth_ = 0;
};

class SharedStringsHandler : public XmlHandler {
 public:
  SharedStringsHandler(std::string_view part, Workbook& book, std::uint64_t max_strings, std::uint64_t size_bound)
      : part_(part), book_(book), max_strings_(max_strings), size_bound_(size_bound) {}

  void Start(std::string_view name, const Attributes& a) override {
    if (name == "si") {
      in_item_ = true;
      text_.clear();
      item_.Reset();
    } else if (in_item_) {
      capturing_ = item_.Start(name);
    } else if (name == "sst") {
      // Reserve for the count the part declares, but never beyond what its size can hold.
      if (const char* v = a.Get("uniqueCount")) {
        if (const auto n = ParseCount(v)) {
          const std::uint64_t fits = std::min<std::uint64_t>({*n, size_bound_ / 13 + 1, max_strings_, kMaxReserve});
          book_.strings.reserve(static_cast<std::size_t>(fits));
        }
      }
    }
  }
  void End(std::string_view name) override {
    if (name == "si" && in_item_) {
      in_item_ = false;
      capturing_ = false;
      if (book_.strings.size() >= max_strings_) {
        FailXlsx(XlsxErrorCode::kTooManyStrings, part_, std::to_string(max_strings_));
      }
      book_.strings.push_back(DecodeXstring(text_));
    } else if (in_item_) {
      if (name == "t") capturing_ = false;
      item_.End(name);
    }
  }
  void Text(std::string_view text) override {
    if (text_.size() + text.size() > kMaxStringBytes) {
      FailXlsx(XlsxErrorCode::kBadValue, part_,
               "the shared string " + std::to_string(book_.strings.size()) + " is longer than a cell can hold");
    }
    text_.append(text);
  }

 private:
  // Far above the 32,767 characters a cell can hold, as bytes of UTF-8.
  static constexpr std::size_t kMaxStringBytes = 1u << 20;
  std::string part_;
  Workbook& book_;
  std::uint64_t max_strings_;
  std::uint64_t size_bound_;
  bool in_item_ = false;
  StringItem item_;
  std::string text_;
};

// ---- worksheets ---------------------------------------------------------------------------

enum class ValueType : std::uint8_t { kNumber, kShared, kInline, kFormulaString, kBoolean, kError, kDate };

class WorksheetHandler : public XmlHandler {
 public:
  WorksheetHandler(std::string_view part, Workbook& book, Worksheet& sheet, std::size_t shared_count,
                   std::uint64_t& cells_left, std::uint64_t max_cells, std::uint64_t size_bound)
      : part_(part),
        book_(book),
        sheet_(sheet),
        shared_count_(shared_count),
        cells_left_(cells_left),
        max_cells_(max_cells),
        size_bound_(size_bound) {}

  // The rows from the first to the last that hold a cell; the sheet's row index takes one
  // entry for each.
  std::uint64_t RowSpan() const { return last_row_ >= first_row_ ? std::uint64_t{last_row_ - first_row_} + 1 : 0; }

  void Start(std::string_view name, const Attributes& a) override {
    if (!in_data_) {
      if (name == "sheetData") {
        in_data_ = true;
      } else if (name == "dimension") {
        ReserveFor(a.Get("ref"));
      }
      return;
    }
    if (in_cell_) {
      if (name == "v") {
        capturing_ = true;
        has_value_ = true;
      } else if (name == "is") {
        in_inline_ = true;
        has_value_ = true;
        saw_inline_ = true;
        item_.Reset();
      } else if (in_inline_) {
        capturing_ = item_.Start(name);
      }
      return;
    }
    if (name == "c") {
      StartCell(a);
    } else if (name == "row") {
      StartRow(a);
    }
  }

  void End(std::string_view name) override {
    if (!in_data_) return;
    if (in_cell_) {
      if (name == "c") {
        EndCell();
      } else if (name == "v") {
        capturing_ = false;
      } else if (name == "is") {
        in_inline_ = false;
        capturing_ = false;
      } else if (in_inline_) {
        if (name == "t") capturing_ = false;
        item_.End(name);
      }
      return;
    }
    if (name == "sheetData") in_data_ = false;
  }

  void Text(std::string_view text) override {
    if (value_.size() + text.size() > kMaxCellText) {
      FailXlsx(XlsxErrorCode::kBadValue, part_, "the cell " + CellName() + " holds more text than a cell can");
    }
    value_.append(text);
  }

 private:
  // Far above the 32,767 characters a cell can hold, as bytes of UTF-8 and XML escapes.
  static constexpr std::size_t kMaxCellText = 1u << 20;

  void ReserveFor(const char* ref) {
    if (!ref) return;
    const std::string_view r(ref);
    const std::size_t colon = r.find(':');
    if (colon == std::string_view::npos) return;
    const auto first = ParseCellReference(r.substr(0, colon));
    const auto last = ParseCellReference(r.substr(colon + 1));
    if (!first || !last || last->first < first->first || last->second < first->second) return;
    const std::uint64_t area = std::uint64_t{last->first - first->first + 1} * (last->second - first->second + 1);
    // A stored cell takes at least "<c><v>0</v></c>" of the sheet's XML.
    const std::uint64_t fits = std::min<std::uint64_t>({area, size_bound_ / 15 + 1, cells_left_, kMaxReserve});
    sheet_.Reserve(static_cast<std::size_t>(fits));
  }

  void StartRow(const Attributes& a) {
    if (const char* r = a.Get("r")) {
      const auto n = ParseCount(r);
      if (!n || *n < 1 || *n > kMaxRows) FailXlsx(XlsxErrorCode::kBadRowNumber, part_, r);
      row_ = static_cast<std::uint32_t>(*n - 1);
    } else {
      // A row without a number follows the previous one.
      row_ = row_started_ ? row_ + 1 : 0;
      if (row_ >= kMaxRows) FailXlsx(XlsxErrorCode::kBadRowNumber, part_, std::to_string(std::uint64_t{row_} + 1));
    }
    row_started_ = true;
    next_column_ = 0;
  }

  void StartCell(const Attributes& a) {
    in_cell_ = true;
    has_value_ = false;
    in_inline_ = false;
    saw_inline_ = false;
    value_.clear();
    type_ = ValueType::kNumber;
    style_ = 0;
    const char* ref = nullptr;
    const char* type = nullptr;
    const char* style = nullptr;
    for (const char** p = a.Raw(); p && *p; p += 2) {
      const std::string_view n = LocalName(p[0]);
      if (n == "r") {
        ref = p[1];
      } else if (n == "t") {
        type = p[1];
      } else if (n == "s") {
        style = p[1];
      }
    }
    if (ref) {
      const auto at = ParseCellReference(ref);
      if (!at) FailXlsx(XlsxErrorCode::kBadCellReference, part_, ref);
      cell_row_ = at->first;
      cell_column_ = at->second;
      // The reference wins over the row's number; cells and rows without one follow it.
      row_ = cell_row_;
      row_started_ = true;
    } else {
      // A cell without a reference takes the place after the previous cell of its row.
      if (next_column_ >= kMaxColumns) {
        FailXlsx(XlsxErrorCode::kBadCellReference, part_,
                 "(the cell after XFD" + std::to_string(std::uint64_t{row_} + 1) + ")");
      }
      cell_row_ = row_;
      cell_column_ = next_column_;
    }
    next_column_ = cell_column_ + 1;
    if (style) {
      const auto s = ParseCount(style);
      if (!s) FailXlsx(XlsxErrorCode::kStyleIndex, part_, "the format index \"" + std::string(style) + "\" of " + CellName());
      if (*s != 0 && *s >= book_.style_formats.size()) {
        FailXlsx(XlsxErrorCode::kStyleIndex, part_, "the format index " + std::to_string(*s) + " of " + CellName());
      }
      style_ = static_cast<std::uint32_t>(*s);
    }
    if (type) type_ = TypeOf(type);
  }

  ValueType TypeOf(std::string_view t) const {
    if (t == "s") return ValueType::kShared;
    if (t == "n") return ValueType::kNumber;
    if (t == "str") return ValueType::kFormulaString;
    if (t == "inlineStr") return ValueType::kInline;
    if (t == "b") return ValueType::kBoolean;
    if (t == "e") return ValueType::kError;
    if (t == "d") return ValueType::kDate;
    FailXlsx(XlsxErrorCode::kBadValue, part_, "the cell " + CellName() + " has the unknown type \"" + std::string(t) + "\"");
  }

  std::string CellName() const {
    std::string name;
    for (std::uint32_t c = cell_column_ + 1; c > 0; c = (c - 1) / 26) {
      name.insert(name.begin(), static_cast<char>('A' + (c - 1) % 26));
    }
    return name + std::to_string(std::uint64_t{cell_row_} + 1);
  }

  [[noreturn]] void BadValue(std::string_view what) const {
    FailXlsx(XlsxErrorCode::kBadValue, part_,
             "the cell " + CellName() + " holds \"" + std::string(value_.substr(0, 40)) + "\", which is not " +
                 std::string(what));
  }

  void EndCell() {
    in_cell_ = false;
    capturing_ = false;
    // A cell with only a format, or a formula without a cached result, stays empty.
    if (!has_value_) return;
    Cell cell;
    cell.row = cell_row_;
    cell.column = static_cast<std::uint16_t>(cell_column_);
    cell.style = style_;
    // Text in <is> is an inline string even where the writer left out t="inlineStr".
    if (saw_inline_) type_ = ValueType::kInline;
    switch (type_) {
      case ValueType::kNumber: {
        if (TrimSpace(value_).empty()) return;
        const auto number = ParseNumber(value_);
        if (!number) BadValue("a number");
        cell.kind = CellKind::kNumber;
        cell.number = *number;
        break;
      }
      case ValueType::kShared: {
        const auto index = ParseCount(value_);
        if (!index) BadValue("a shared-string index");
        if (*index >= shared_count_) {
          FailXlsx(XlsxErrorCode::kStringIndex, part_,
                   "the cell " + CellName() + " (string " + std::to_string(*index) + ")");
        }
        cell.kind = CellKind::kString;
        cell.string_index = static_cast<std::uint32_t>(*index);
        break;
      }
      case ValueType::kInline:
      case ValueType::kFormulaString:
        cell.kind = CellKind::kString;
        cell.string_index = book_.AddString(type_ == ValueType::kInline ? DecodeXstring(value_) : value_);
        break;
      case ValueType::kBoolean: {
        const std::string_view v = TrimSpace(value_);
        if (v == "1" || v == "true") {
          cell.boolean = true;
        } else if (v == "0" || v == "false") {
          cell.boolean = false;
        } else {
          BadValue("TRUE or FALSE");
        }
        cell.kind = CellKind::kBoolean;
        break;
      }
      case ValueType::kError: {
        const std::string_view v = TrimSpace(value_);
        if (const auto error = ErrorFromText(v)) {
          cell.kind = CellKind::kError;
          cell.error = *error;
        } else {
          // Error codes newer than the model's (#SPILL!, #CALC!, ...) show as their text.
          cell.kind = CellKind::kString;
          cell.string_index = book_.AddString(std::string(v));
        }
        break;
      }
      case ValueType::kDate: {
        if (TrimSpace(value_).empty()) return;
        const auto serial = IsoDateSerial(value_, book_.date_system);
        if (!serial) BadValue("a date");
        cell.kind = CellKind::kNumber;
        cell.number = *serial;
        break;
      }
    }
    if (cells_left_ == 0) FailXlsx(XlsxErrorCode::kTooManyCells, part_, std::to_string(max_cells_));
    --cells_left_;
    first_row_ = std::min(first_row_, cell.row);
    last_row_ = std::max(last_row_, cell.row);
    sheet_.Add(cell);
  }

  std::string part_;
  Workbook& book_;
  Worksheet& sheet_;
  std::size_t shared_count_;
  std::uint64_t& cells_left_;
  std::uint64_t max_cells_;
  std::uint64_t size_bound_;
  std::uint32_t first_row_ = kMaxRows;
  std::uint32_t last_row_ = 0;

  bool in_data_ = false;
  bool row_started_ = false;
  std::uint32_t row_ = 0;
  std::uint32_t next_column_ = 0;

  bool in_cell_ = false;
  bool in_inline_ = false;
  bool saw_inline_ = false;
  bool has_value_ = false;
  std::uint32_t cell_row_ = 0;
  std::uint32_t cell_column_ = 0;
  std::uint32_t style_ = 0;
  ValueType type_ = ValueType::kNumber;
  std::string value_;
  StringItem item_;
};

std::string StoredName(const ZipPackage& package, const std::string& part, std::string_view what) {
  auto stored = package.Find(part);
  if (!stored) FailXlsx(XlsxErrorCode::kMissingPart, part, what);
  return *stored;
}

}  // namespace

Workbook ReadPackage(const ZipPackage& package, const WorkbookLimits& limits) {
  // The package's own relationships name the workbook part.
  const auto root_rels = package.Find("_rels/.rels");
  if (!root_rels) {
    if (package.Find("mimetype") || package.Find("content.xml")) FailXlsx(XlsxErrorCode::kOpenDocument);
    FailXlsx(XlsxErrorCode::kNotWorkbookPackage);
  }
  std::vector<Relationship> package_rels;
  {
    RelationshipsHandler handler("");
    ParsePart(package, *root_rels, handler);
    package_rels = std::move(handler.found);
  }
  const Relationship* main = FindByType(package_rels, "/officeDocument");
  if (!main) FailXlsx(XlsxErrorCode::kNotWorkbookPackage);
  const std::string workbook_part = StoredName(package, main->target, "the workbook part");
  // An .xlsb package has the same relationships, but its parts are binary records.
  if (EndsWith(workbook_part, ".bin") || EndsWith(workbook_part, ".BIN")) FailXlsx(XlsxErrorCode::kBinaryWorkbook);

  Workbook book;
  WorkbookHandler workbook(workbook_part);
  ParsePart(package, workbook_part, workbook);
  if (workbook.sheets.empty()) FailXlsx(XlsxErrorCode::kNoSheets);
  book.date_system = workbook.date1904 ? DateSystem::k1904 : DateSystem::k1900;
  book.active_sheet = workbook.active_tab < workbook.sheets.size() ? workbook.active_tab : 0;

  const std::vector<Relationship> rels = ReadRelationships(package, workbook_part);
  if (const Relationship* styles = FindByType(rels, "/styles")) {
    if (const auto stored = package.Find(styles->target)) {
      StylesHandler handler(*stored, book, limits.max_styles);
      ParsePart(package, *stored, handler);
    }
  }
  if (const Relationship* strings = FindByType(rels, "/sharedStrings")) {
    if (const auto stored = package.Find(strings->target)) {
      SharedStringsHandler handler(*stored, book, limits.max_strings, package.SizeBound(*stored));
      ParsePart(package, *stored, handler);
    } else {
      FailXlsx(XlsxErrorCode::kMissingPart, strings->target, "the shared strings");
    }
  }
  const std::size_t shared_count = book.strings.size();

  std::uint64_t cells_left = limits.max_cells;
  std::uint64_t row_span_left = limits.max_row_span;
  book.sheets.reserve(workbook.sheets.size());
  for (const SheetEntry& entry : workbook.sheets) {
    Worksheet& sheet = book.sheets.emplace_back(entry.name);
    const auto rel = std::find_if(rels.begin(), rels.end(),
                                  [&](const Relationship& r) { return !r.external && r.id == entry.relationship_id; });
    if (rel == rels.end()) {
      FailXlsx(XlsxErrorCode::kBadValue, RelationshipsPartOf(workbook_part),
               "the sheet \"" + entry.name + "\" names a relationship that is missing");
    }
    // A chart sheet holds no cells; it keeps its tab so that the active tab still counts right.
    if (EndsWith(rel->type, "/chartsheet")) {
      sheet.Finish();
      continue;
    }
    const std::string part = StoredName(package, rel->target, "the sheet \"" + entry.name + "\"");
    WorksheetHandler handler(part, book, sheet, shared_count, cells_left, limits.max_cells, package.SizeBound(part));
    ParsePart(package, part, handler);
    // Many sheets with one cell in row 1 and one in row 1048576 would each cost a full row index.
    if (handler.RowSpan() > row_span_left) FailXlsx(XlsxErrorCode::kTooManyRows, part, std::to_string(limits.max_row_span));
    row_span_left -= handler.RowSpan();
    sheet.Finish();
  }
  return book;
}

}  // namespace xlsx

Workbook ReadXlsx(std::span<const std::byte> bytes) {
  const xlsx::ZipPackage package(bytes);
  return xlsx::ReadPackage(package);
}

}  // namespace cw::sheet
