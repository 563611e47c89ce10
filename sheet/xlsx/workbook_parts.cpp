#include "sheet/xlsx/workbook_parts.h"

#include <algorithm>

#include "sheet/xlsx/string_item.h"
#include "sheet/xlsx/xlsx_error.h"
#include "sheet/xlsx/xlsx_values.h"
#include "sheet/xlsx/xml_part.h"

namespace cw::sheet::xlsx {
namespace {

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
      if (sheets.size() >= kMaxSheets)
        FailXlsx(XlsxErrorCode::kBadValue, part_, "more sheets than a workbook can hold");
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

class SharedStringsHandler : public XmlHandler {
 public:
  SharedStringsHandler(std::string_view part, StringSink& sink, std::uint64_t max_strings, std::uint64_t size_bound,
                       std::uint64_t text_bound)
      : part_(part), sink_(sink), max_strings_(max_strings), size_bound_(size_bound), text_bound_(text_bound) {}

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
          // The text is never longer than the part: its room is taken at once, so that a large
          // table does not pass through copies of itself as it grows; the bound keeps a small
          // hostile file from reserving much (see ReadSharedStrings).
          sink_.Reserve(static_cast<std::size_t>(fits), static_cast<std::size_t>(text_bound_));
        }
      }
    }
  }
  void End(std::string_view name) override {
    if (name == "si" && in_item_) {
      in_item_ = false;
      capturing_ = false;
      if (count_ >= max_strings_) FailXlsx(XlsxErrorCode::kTooManyStrings, part_, std::to_string(max_strings_));
      DecodeXstringInPlace(text_);  // text_ keeps its buffer for the next item
      sink_.Add(text_);
      ++count_;
    } else if (in_item_) {
      if (name == "t") capturing_ = false;
      item_.End(name);
    }
  }
  // A string longer than a spreadsheet program's 32,767 characters is read whole.
  void Text(std::string_view text) override { text_.append(text); }

 private:
  std::string part_;
  StringSink& sink_;
  std::uint64_t count_ = 0;
  std::uint64_t max_strings_;
  std::uint64_t size_bound_;
  std::uint64_t text_bound_;  // the most text room reserved at once
  bool in_item_ = false;
  StringItem item_;
  std::string text_;
};

}  // namespace

WorkbookPart ReadWorkbookPart(const ZipPackage& package, const std::string& part) {
  WorkbookHandler handler(part);
  ParsePart(package, part, handler);
  return WorkbookPart{std::move(handler.sheets), handler.date1904, handler.active_tab};
}

void ReadStyles(const ZipPackage& package, const std::string& part, Workbook& book, std::uint64_t max_styles) {
  StylesHandler handler(part, book, max_styles);
  ParsePart(package, part, handler);
}

void ReadSharedStrings(const ZipPackage& package, const std::string& part, StringSink& sink,
                       std::uint64_t max_strings) {
  // Shared strings pack about ten to one; room for their text is reserved up to twenty
  // times the whole file, so only a file that inflates far beyond that grows its room.
  constexpr std::uint64_t kTextPerFileByte = 20;
  const std::uint64_t size_bound = package.SizeBound(part);
  SharedStringsHandler handler(part, sink, max_strings, size_bound,
                               std::min(size_bound, kTextPerFileByte * package.ArchiveSize()));
  ParsePart(package, part, handler);
}

void ReadSharedStrings(const ZipPackage& package, const std::string& part, Workbook& book, std::uint64_t max_strings) {
  class PoolSink : public StringSink {
   public:
    explicit PoolSink(StringPool& pool) : pool_(pool) {}
    void Reserve(std::size_t count, std::size_t bytes) override { pool_.reserve(count, bytes); }
    void Add(std::string_view text) override { pool_.push_back(text); }

   private:
    StringPool& pool_;
  } sink(book.strings);
  ReadSharedStrings(package, part, sink, max_strings);
}

}  // namespace cw::sheet::xlsx
