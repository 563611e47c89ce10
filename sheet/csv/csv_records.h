// The records of delimited text (RFC 4180 quoting, kept as written where it is not quoting):
// a field that begins with a quotation mark is quoted and may hold delimiters and line
// breaks, "" in it being one mark; any other field is taken as written, quotes and spaces
// included; records end at CR LF, LF or CR outside quotes; a final line break adds no record.
// A quoted field whose closing mark never comes is taken as written from its opening mark.
// Written by hand: the Debian CSV libraries trim spaces, drop stray quotes or read a byte at
// a time, and the reader must come close to the speed of counting the file's line breaks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sheet/csv/text_decoder.h"

namespace cw::sheet::csv {

// The delimiters a file may use, in the order that wins ties.
inline constexpr char kDelimiters[] = {',', ';', '\t', '|'};
// The most text one record may hold; a longer one is refused (CsvErrorCode::kLineTooLong).
inline constexpr std::size_t kMaxRecordBytes = std::size_t{16} << 20;

// The delimiter among kDelimiters that gives the same field count (more than one) on most of
// the first 20 records of `text`, counted outside quotes; a comma when none does. `whole`
// tells whether `text` is all of the file.
char SniffDelimiter(std::string_view text, bool whole);

// A quoted field of a record whose text must be rebuilt ("" in it, or text after its closing
// mark): spans of the window's text.
struct QuotedField {
  std::size_t index;     // the field's place in the record
  std::size_t begin;     // inside the marks
  std::size_t end;       // the closing mark
  std::size_t tail_end;  // the end of the text after the closing mark
};

// The records of a text file, one at a time, decoded into a window of text that holds the
// record being read and the file's next chunk, never the whole file.
class RecordReader {
 public:
  // Reads `source` as text in `encoding`; `delimiter` 0 sniffs it from the first records.
  RecordReader(std::unique_ptr<ByteSource> source, DetectedEncoding encoding, int ansi_code_page, char delimiter);

  // The next record's fields, views valid until the next call; false after the last record.
  // Throws CsvError for a record longer than kMaxRecordBytes or broken text.
  bool Next(std::vector<std::string_view>& fields);
  // The line on which the record last given begins (1-based); after a failed Next, the line
  // of the record it failed on. Counted when asked, for a message.
  std::size_t Line() const;
  char Delimiter() const { return delimiter_; }

 private:
  bool Refill();

  std::unique_ptr<ByteSource> source_;
  TextDecoder decoder_;
  char delimiter_;
  std::vector<QuotedField> quoted_;
  std::string window_;
  std::size_t pos_ = 0;
  std::size_t chunk_ = std::size_t{64} << 10;
  bool ended_ = false;
  std::size_t first_line_ = 1;        // the line of window_'s first character
  std::size_t record_begin_ = 0;      // where in window_ the record last given begins
  std::deque<std::string> unquoted_;  // the rebuilt texts of quoted_
};

}  // namespace cw::sheet::csv
