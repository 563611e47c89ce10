#include "sheet/ods/ods_reader.h"

#include <algorithm>
#include <deque>
#include <exception>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

#include "sheet/cell_text.h"
#include "sheet/ods/ods_document.h"
#include "sheet/xlsx/xlsx_error.h"
#include "sheet/xlsx/xml_part.h"
#include "sheet/xlsx/zip_package.h"

namespace cw::sheet {
namespace {

using ods::DocumentHandler;
using ods::RowCell;
using ods::RowSink;
using xlsx::ZipPackage;

constexpr std::string_view kSpreadsheetType = "application/vnd.oasis.opendocument.spreadsheet";
constexpr std::string_view kOdfType = "application/vnd.oasis.opendocument.";
constexpr std::string_view kFlatName = "the flat OpenDocument file";

std::string_view AsText(std::span<const std::byte> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// A package's own word on what it is, and whether its parts are encrypted.
void CheckPackage(const ZipPackage& package) {
  if (package.Find("mimetype")) {
    std::string type;
    package.Read("mimetype", [&](std::span<const char> chunk) {
      if (type.size() < 256) type.append(chunk.data(), std::min<std::size_t>(chunk.size(), 256));
    });
    while (!type.empty() && (type.back() == '\n' || type.back() == '\r' || type.back() == ' ')) type.pop_back();
    if (type.rfind(kOdfType, 0) == 0 && type.rfind(kSpreadsheetType, 0) != 0) {
      const std::string kind = type.substr(kOdfType.size());
      FailOds(OdsErrorCode::kNotSpreadsheet, kind == "text" ? "text document" : kind);
    }
  }
  if (package.Find("META-INF/manifest.xml")) {
    struct Manifest : xlsx::XmlHandler {
      bool encrypted = false;
      void Start(std::string_view name, const xlsx::Attributes&) override { encrypted |= name == "encryption-data"; }
      void End(std::string_view) override {}
      void Text(std::string_view) override {}
    } manifest;
    xlsx::ParsePart(package, "META-INF/manifest.xml", manifest);
    if (manifest.encrypted) FailOds(OdsErrorCode::kEncrypted);
  }
  if (!package.Find("content.xml")) FailOds(OdsErrorCode::kNoContent, "content.xml");
}

// Reads styles.xml and settings.xml, the parts before the body.
void ReadSideParts(const ZipPackage& package, DocumentHandler& handler) {
  for (const char* part : {"styles.xml", "settings.xml"}) {
    if (!package.Find(part)) continue;
    handler.SetPart(part);
    xlsx::ParsePart(package, part, handler);
  }
  handler.SetPart("content.xml");
}

void CheckBody(const DocumentHandler& handler, std::string_view what) {
  if (!handler.OtherBody().empty()) FailOds(OdsErrorCode::kNotSpreadsheet, handler.OtherBody(), 0, what);
  if (!handler.BodySeen()) FailOds(OdsErrorCode::kNoContent, what, 0, what);
}

// The cells of every sheet, into the model; a repeated cell's string goes into the pool once.
class ModelSink : public RowSink {
 public:
  explicit ModelSink(Workbook& book) : book_(book) {}
  void SheetStarted(std::size_t sheet) override { sheet_ = sheet; }
  void Rows(std::uint32_t first, std::uint32_t count, std::span<const RowCell> cells) override {
    Worksheet& sheet = book_.sheets[sheet_];
    strings_.clear();
    for (const RowCell& c : cells) strings_.push_back(c.kind == CellKind::kString ? book_.AddString(c.text) : 0);
    for (std::uint32_t r = first; r < first + count; ++r) {
      for (std::size_t i = 0; i < cells.size(); ++i) {
        const RowCell& c = cells[i];
        Cell cell;
        cell.row = r;
        cell.kind = c.kind;
        cell.style = c.style;
        switch (c.kind) {
          case CellKind::kNumber:
            cell.number = c.number;
            break;
          case CellKind::kString:
            cell.string_index = strings_[i];
            break;
          case CellKind::kBoolean:
            cell.boolean = c.boolean;
            break;
          case CellKind::kError:
            cell.error = c.error;
            break;
        }
        for (std::uint32_t col = c.column; col < c.column + c.count; ++col) {
          cell.column = static_cast<std::uint16_t>(col);
          sheet.Add(cell);
        }
      }
    }
  }

 private:
  Workbook& book_;
  std::size_t sheet_ = 0;
  std::vector<std::uint32_t> strings_;
};

// The sheet names alone.
class NamesSink : public RowSink {
 public:
  void Rows(std::uint32_t, std::uint32_t, std::span<const RowCell>) override {}
  bool WantsCells() const override { return false; }
};

bool IsFlat(std::span<const std::byte> bytes) { return !LooksLikeOdsPackage(bytes) && LooksLikeFlatOds(bytes); }

void ReadFlat(std::span<const std::byte> bytes, Workbook& book, RowSink& sink) {
  DocumentHandler handler(book, sink);
  handler.SetPart(std::string(kFlatName));
  xlsx::XmlPartParser parser(std::span<const char>(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                             kFlatName, handler);
  while (parser.Feed()) {
  }
  CheckBody(handler, kFlatName);
  handler.Finish();
}

void ReadPackage(const ZipPackage& package, Workbook& book, RowSink& sink) {
  CheckPackage(package);
  DocumentHandler handler(book, sink);
  ReadSideParts(package, handler);
  xlsx::ParsePart(package, "content.xml", handler);
  CheckBody(handler, "content.xml");
  handler.Finish();
}

// The whole workbook, cells and all, from a flat file's bytes or a package.
Workbook ReadWhole(std::span<const std::byte> bytes, const ZipPackage* package) {
  Workbook book;
  ModelSink sink(book);
  if (package) {
    ReadPackage(*package, book, sink);
  } else {
    ReadFlat(bytes, book, sink);
  }
  for (Worksheet& sheet : book.sheets) sheet.Finish();
  return book;
}

// Where a stream's bytes come from: memory the caller keeps, a file held whole (flat), or a
// package file read as needed.
struct Source {
  std::span<const std::byte> bytes;
  std::vector<std::byte> owned;
  std::string path;  // a package file
  bool flat = false;

  // Opens the package afresh: each read of a part needs an open of its own.
  void Open(std::optional<ZipPackage>& into) const {
    if (!path.empty()) {
      into.emplace(ZipPackage::OpenFile(path));
    } else {
      into.emplace(bytes);
    }
  }
  std::span<const char> Chars() const { return {reinterpret_cast<const char*>(bytes.data()), bytes.size()}; }
};

struct Opened {
  Source source;
  Workbook book;  // without cells
};

class OdsBlockRows : public BlockRows, public RowSink {
 public:
  OdsBlockRows(std::shared_ptr<Opened> opened, std::size_t sheet, const Extent& block, std::vector<bool> wanted,
               const FormatLocale& locale)
      : opened_(std::move(opened)),
        sheet_(sheet),
        block_(block),
        wanted_(std::move(wanted)),
        width_(block.last_column - block.first_column + 1),
        renderer_(opened_->book, locale),
        next_(block.first_row) {
    wanted_.resize(width_, false);
    handler_ = std::make_unique<DocumentHandler>(scratch_, *this);
    if (opened_->source.flat) {
      handler_->SetPart(std::string(kFlatName));
      xml_ = std::make_unique<xlsx::XmlPartParser>(opened_->source.Chars(), kFlatName, *handler_);
    } else {
      opened_->source.Open(package_);
      ReadSideParts(*package_, *handler_);
      xml_ = std::make_unique<xlsx::XmlPartParser>(*package_, "content.xml", *handler_);
      xml_->ReadAhead();
    }
  }

  bool NextRow(std::vector<std::string>& texts) override {
    GivenDates().clear();
    if (next_ > block_.last_row) return false;
    while (ready_.empty() && !finished_) {
      if (failure_) std::rethrow_exception(failure_);
      try {
        if (!xml_->Feed()) finished_ = true;
      } catch (...) {
        failure_ = std::current_exception();
      }
    }
    if (!ready_.empty() && ready_.front().first <= next_) {
      Ready& front = ready_.front();
      if (front.last == next_) {
        texts.swap(front.texts);
        GivenDates().swap(front.dates);
        ready_.pop_front();
      } else {
        texts = front.texts;  // one of several equal rows
        GivenDates() = front.dates;
      }
    } else {
      texts.assign(width_, std::string());  // a row without cells
    }
    ++next_;
    return true;
  }

  // RowSink.
  void SheetStarted(std::size_t sheet) override {
    current_ = sheet;
    if (sheet > sheet_) finished_ = true;  // the block's sheet is behind
  }
  bool WantsSheet(std::size_t sheet) const override { return sheet == sheet_ && !finished_; }
  void Rows(std::uint32_t first, std::uint32_t count, std::span<const RowCell> cells) override {
    if (current_ != sheet_ || finished_) return;
    const std::uint64_t last = std::uint64_t{first} + count - 1;
    if (first > block_.last_row) {
      finished_ = true;
      return;
    }
    if (last < block_.first_row) return;
    Ready row;
    row.first = std::max<std::uint32_t>(first, block_.first_row);
    row.last = static_cast<std::uint32_t>(std::min<std::uint64_t>(last, block_.last_row));
    row.texts.assign(width_, std::string());
    for (const RowCell& c : cells) {
      const std::uint32_t from = std::max(c.column, block_.first_column);
      const std::uint32_t to = std::min(c.column + c.count - 1, block_.last_column);
      for (std::uint32_t col = from; col <= to && from <= to; ++col) {
        const std::size_t at = col - block_.first_column;
        if (!wanted_[at]) continue;
        std::string& out = row.texts[at];
        out.clear();
        std::optional<CivilDate> date;
        if (c.kind == CellKind::kString) {
          renderer_.AppendString(c.text, c.style, out);
        } else {
          Cell cell;
          cell.kind = c.kind;
          cell.style = c.style;
          if (c.kind == CellKind::kNumber) cell.number = c.number;
          if (c.kind == CellKind::kBoolean) cell.boolean = c.boolean;
          if (c.kind == CellKind::kError) cell.error = c.error;
          renderer_.AppendText(cell, out);
          if (c.kind == CellKind::kNumber) date = renderer_.DateShown(cell);
        }
        SetDate(row.dates, at, date);
      }
    }
    ready_.push_back(std::move(row));
    if (last >= block_.last_row) finished_ = true;
  }

 private:
  // Rows first..last of the block, each with these texts.
  struct Ready {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    std::vector<std::string> texts;
    RowDates dates;
  };

  std::shared_ptr<Opened> opened_;
  std::size_t sheet_;
  Extent block_;
  std::vector<bool> wanted_;
  std::uint32_t width_;
  CellTextRenderer renderer_;
  Workbook scratch_;  // what this read of the file learns again: the model stays untouched
  std::optional<ZipPackage> package_;
  std::unique_ptr<DocumentHandler> handler_;
  std::unique_ptr<xlsx::XmlPartParser> xml_;
  std::uint64_t next_;
  std::size_t current_ = 0;
  bool finished_ = false;
  std::deque<Ready> ready_;
  std::exception_ptr failure_;
};

class OdsStream : public WorkbookStream {
 public:
  explicit OdsStream(std::shared_ptr<Opened> opened) : opened_(std::move(opened)) {}
  const Workbook& Model() const override { return opened_->book; }
  std::unique_ptr<BlockRows> Rows(std::size_t sheet, const Extent& block, std::vector<bool> wanted,
                                  FormatLocale locale) override {
    if (sheet >= opened_->book.sheets.size()) throw std::out_of_range("no such sheet");
    if (block.first_row > block.last_row || block.first_column > block.last_column ||
        block.last_column >= kMaxColumns) {
      throw std::invalid_argument("not a block of a sheet");
    }
    return std::make_unique<OdsBlockRows>(opened_, sheet, block, std::move(wanted), locale);
  }

 private:
  std::shared_ptr<Opened> opened_;
};

std::unique_ptr<WorkbookStream> OpenStream(Source source) {
  auto opened = std::make_shared<Opened>();
  opened->source = std::move(source);
  NamesSink names;
  if (opened->source.flat) {
    ReadFlat(opened->source.bytes, opened->book, names);
  } else {
    std::optional<ZipPackage> package;
    opened->source.Open(package);
    ReadPackage(*package, opened->book, names);
  }
  return std::make_unique<OdsStream>(std::move(opened));
}

std::vector<std::byte> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::byte> bytes;
  if (!in) return bytes;
  in.seekg(0, std::ios::end);
  bytes.resize(static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0)));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

std::vector<std::byte> Head(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::byte> head(4096);
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return head;
}

}  // namespace

bool LooksLikeOdsPackage(std::span<const std::byte> head) {
  // A local header (30 bytes) named "mimetype", stored, its content the media type.
  const std::string_view text = AsText(head);
  return text.size() >= 38 + kOdfType.size() && text.substr(0, 4) == std::string_view("PK\x03\x04", 4) &&
         text.substr(30, 8) == "mimetype" && text.substr(38, kOdfType.size()) == kOdfType;
}

bool LooksLikeFlatOds(std::span<const std::byte> head) {
  std::string_view text = AsText(head.first(std::min<std::size_t>(head.size(), 4096)));
  // UTF-16, which XML allows (with its byte-order mark): looked at without its zero bytes;
  // expat reads it as it reads UTF-8.
  std::string narrow;
  if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
    for (const char c : text.substr(2)) {
      if (c != '\0') narrow += c;
    }
    text = narrow;
  }
  return text.find("urn:oasis:names:tc:opendocument:xmlns:office:1.0") != std::string_view::npos &&
         text.find("document") != std::string_view::npos && text.find('<') != std::string_view::npos;
}

Workbook ReadOds(std::span<const std::byte> bytes) {
  if (IsFlat(bytes)) return ReadWhole(bytes, nullptr);
  const ZipPackage package(bytes);
  return ReadWhole(bytes, &package);
}

Workbook ReadOdsFile(const std::string& path) {
  if (IsFlat(Head(path))) {
    const std::vector<std::byte> bytes = ReadFileBytes(path);
    return ReadWhole(bytes, nullptr);
  }
  const ZipPackage package = ZipPackage::OpenFile(path);
  return ReadWhole({}, &package);
}

std::unique_ptr<WorkbookStream> OpenOdsStream(std::span<const std::byte> bytes) {
  Source source;
  source.bytes = bytes;
  source.flat = IsFlat(bytes);
  return OpenStream(std::move(source));
}

std::unique_ptr<WorkbookStream> OpenOdsStreamFile(const std::string& path) {
  Source source;
  if (IsFlat(Head(path))) {
    source.owned = ReadFileBytes(path);
    source.bytes = source.owned;
    source.flat = true;
  } else {
    source.path = path;
  }
  return OpenStream(std::move(source));
}

}  // namespace cw::sheet
