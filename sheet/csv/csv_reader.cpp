#include "sheet/csv/csv_reader.h"

#include <algorithm>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "sheet/csv/csv_records.h"
#include "sheet/csv/text_decoder.h"

namespace cw::sheet {
namespace {

std::unique_ptr<csv::ByteSource> SourceOf(const ReaderInput& input) {
  if (const std::string* path = input.Path()) return csv::FileSource(*path);
  return csv::MemorySource(input.Bytes());
}

// The sheet is named after the file, without its extension.
std::string SheetName(const ReaderInput& input) {
  std::string_view name = input.FileName();
  name.remove_suffix(input.Extension().size());
  return name.empty() ? std::string("Sheet1") : std::string(name);
}

constexpr std::uint64_t kReservedBytes = std::uint64_t{16} << 20;

char DelimiterOf(const ReaderInput& input) { return input.Extension() == ".tsv" ? '\t' : 0; }

void CheckWidth(const csv::RecordReader& records, std::size_t fields) {
  if (fields > kMaxColumns) FailCsv(CsvErrorCode::kTooManyColumns, records.Line(), 0);
}

class CsvRows : public BlockRows {
 public:
  CsvRows(std::unique_ptr<csv::RecordReader> records, const Extent& block, std::vector<bool> wanted)
      : records_(std::move(records)), block_(block), wanted_(std::move(wanted)) {
    wanted_.resize(static_cast<std::size_t>(block.last_column - block.first_column) + 1, false);
    rows_left_ = static_cast<std::size_t>(block.last_row - block.first_row) + 1;
  }

  bool NextRow(std::vector<std::string>& texts) override {
    if (rows_left_ == 0) return false;
    texts.resize(wanted_.size());
    for (std::string& text : texts) text.clear();
    while (more_ && row_ < block_.first_row) {
      more_ = records_->Next(fields_);
      if (more_) CheckWidth(*records_, fields_.size());
      ++row_;
    }
    if (more_) {
      more_ = records_->Next(fields_);
      if (more_) {
        CheckWidth(*records_, fields_.size());
        for (std::size_t c = 0; c < wanted_.size(); ++c) {
          const std::size_t at = block_.first_column + c;
          if (wanted_[c] && at < fields_.size()) texts[c].assign(fields_[at]);
        }
      }
      ++row_;
    }
    --rows_left_;
    return true;
  }

 private:
  std::unique_ptr<csv::RecordReader> records_;
  const Extent block_;
  std::vector<bool> wanted_;
  std::vector<std::string_view> fields_;
  std::size_t rows_left_ = 0;
  std::uint32_t row_ = 0;
  bool more_ = true;
};

class CsvStream : public WorkbookStream {
 public:
  CsvStream(const ReaderInput& input, const ReadOptions& options) : input_(input), options_(options) {
    auto source = SourceOf(input_);
    encoding_ = csv::DetectEncoding(*source);
    model_.sheets.emplace_back(SheetName(input_));
  }
  const Workbook& Model() const override { return model_; }
  std::unique_ptr<BlockRows> Rows(std::size_t sheet, const Extent& block, std::vector<bool> wanted,
                                  FormatLocale) override {
    if (sheet != 0) throw std::out_of_range("The block lies on a sheet the workbook does not have.");
    auto records =
        std::make_unique<csv::RecordReader>(SourceOf(input_), encoding_, options_.ansi_code_page, DelimiterOf(input_));
    return std::make_unique<CsvRows>(std::move(records), block, std::move(wanted));
  }

 private:
  ReaderInput input_;
  ReadOptions options_;
  csv::DetectedEncoding encoding_;
  Workbook model_;
};

}  // namespace

bool IsDelimitedText(std::span<const std::byte>, std::string_view extension) {
  return extension == ".csv" || extension == ".tsv" || extension == ".txt";
}

namespace {

Workbook ReadRecords(const ReaderInput& input, csv::DetectedEncoding encoding, const ReadOptions& options) {
  csv::RecordReader records(SourceOf(input), encoding, options.ansi_code_page, DelimiterOf(input));
  Workbook book;
  book.sheets.emplace_back(SheetName(input));
  Worksheet& sheet = book.sheets.back();
  // Room for the cells of a contact list, whose fields average some 12 bytes, up to a size
  // beyond which growing costs little beside the reading.
  const auto room = static_cast<std::size_t>(std::min<std::uint64_t>(input.Size(), kReservedBytes));
  sheet.Reserve(room / 12);
  book.strings.reserve(room / 12, room);
  std::vector<std::string_view> fields;
  std::uint32_t row = 0;
  while (records.Next(fields)) {
    if (row >= kMaxRows) FailCsv(CsvErrorCode::kTooManyRows, records.Line(), 0);
    CheckWidth(records, fields.size());
    for (std::size_t c = 0; c < fields.size(); ++c) {
      if (fields[c].empty()) continue;
      Cell cell;
      cell.row = row;
      cell.column = static_cast<std::uint16_t>(c);
      cell.kind = CellKind::kString;
      cell.string_index = book.AddString(fields[c]);
      sheet.Add(cell);
    }
    ++row;
  }
  sheet.Finish();
  return book;
}

}  // namespace

Workbook ReadCsv(const ReaderInput& input, const ReadOptions& options) {
  // Read once as UTF-8, checking it on the way; text that turns out to be none is read again
  // in the ANSI code page.
  csv::DetectedEncoding encoding = csv::DetectMark(*SourceOf(input));
  try {
    try {
      return ReadRecords(input, encoding, options);
    } catch (const csv::NotUtf8&) {
      encoding.encoding = csv::TextEncoding::kAnsi;
      encoding.unchecked = false;
    }
    return ReadRecords(input, encoding, options);
  } catch (const std::bad_alloc&) {
    FailCsv(CsvErrorCode::kOutOfMemory, 0, 0);
  }
}

std::unique_ptr<WorkbookStream> OpenCsvStream(const ReaderInput& input, const ReadOptions& options) {
  return std::make_unique<CsvStream>(input, options);
}

}  // namespace cw::sheet
