#include "sheet/csv/csv_records.h"

#include <algorithm>
#include <cstring>
#include <map>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "sheet/csv/csv_error.h"
#include "sheet/workbook.h"

namespace cw::sheet::csv {
namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;
constexpr std::size_t kSniffRecords = 20;

// Where the field that begins at `from` ends: its delimiter, CR, LF, or the end of the text.
std::size_t FieldEnd(std::string_view text, std::size_t from, char delimiter) {
  const char* s = text.data();
  const std::size_t n = text.size();
  std::size_t i = from;
#if defined(__SSE2__)
  const __m128i d = _mm_set1_epi8(delimiter);
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, d), _mm_cmpeq_epi8(v, cr)), _mm_cmpeq_epi8(v, lf));
    const int mask = _mm_movemask_epi8(hit);
    if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
  }
#endif
  for (; i < n; ++i) {
    const char c = s[i];
    if (c == delimiter || c == '\r' || c == '\n') return i;
  }
  return n;
}

// The parse of one record, shared by sniffing and reading: the fields as spans of `text`,
// and the quoted fields whose text must be rebuilt.
enum class Parsed { kRecord, kIncomplete, kEnd, kTooWide };

Parsed ParseRaw(std::string_view text, std::size_t& pos, char delimiter, bool at_end,
                std::vector<std::string_view>& fields, std::vector<QuotedField>& rebuilt) {
  fields.clear();
  rebuilt.clear();
  const std::size_t n = text.size();
  std::size_t p = pos;
  if (p >= n) return at_end ? Parsed::kEnd : Parsed::kIncomplete;
  for (;;) {
    bool taken = false;
    if (text[p] == '"') {
      std::size_t q = p + 1;
      bool doubled = false;
      for (;;) {
        const void* found = q < n ? std::memchr(text.data() + q, '"', n - q) : nullptr;
        if (!found) {
          if (!at_end) return Parsed::kIncomplete;
          break;  // never closed: the field is taken as written
        }
        const std::size_t c = static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
        if (c + 1 >= n && !at_end) return Parsed::kIncomplete;
        if (c + 1 < n && text[c + 1] == '"') {
          doubled = true;
          q = c + 2;
          continue;
        }
        const std::size_t tail = FieldEnd(text, c + 1, delimiter);
        if (doubled || tail != c + 1) rebuilt.push_back({fields.size(), p + 1, c, tail});
        fields.push_back(text.substr(p + 1, c - p - 1));
        p = tail;
        taken = true;
        break;
      }
    }
    if (!taken) {
      const std::size_t e = FieldEnd(text, p, delimiter);
      fields.push_back(text.substr(p, e - p));
      p = e;
    }
    if (p >= n) {
      if (!at_end) return Parsed::kIncomplete;
      pos = p;
      return Parsed::kRecord;
    }
    const char c = text[p];
    if (c == delimiter) {
      if (fields.size() >= kMaxColumns) return Parsed::kTooWide;  // stopped before it costs
      ++p;
      if (p >= n) {
        if (!at_end) return Parsed::kIncomplete;
        fields.emplace_back();  // "a," ends with an empty field
        pos = p;
        return Parsed::kRecord;
      }
      continue;
    }
    if (c == '\n') {
      pos = p + 1;
      return Parsed::kRecord;
    }
    if (p + 1 >= n && !at_end) return Parsed::kIncomplete;  // CR, perhaps with its LF to come
    pos = p + 1 < n && text[p + 1] == '\n' ? p + 2 : p + 1;
    return Parsed::kRecord;
  }
}

// Line breaks in `text`, CR LF counting once.
std::size_t LineBreaks(std::string_view text) {
  std::size_t breaks = 0;
  const char* p = text.data();
  const char* end = p + text.size();
  while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))) != nullptr) {
    ++breaks;
    ++p;
  }
  p = text.data();
  while ((p = static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(end - p)))) != nullptr) {
    ++p;
    if (p == end || *p != '\n') ++breaks;  // a CR alone
  }
  return breaks;
}

}  // namespace

char SniffDelimiter(std::string_view text, bool whole) {
  char best = ',';
  std::size_t best_score = 0;
  std::vector<std::string_view> fields;
  std::vector<QuotedField> rebuilt;
  for (const char delimiter : kDelimiters) {
    std::map<std::size_t, std::size_t> lines_with_count;
    std::size_t pos = 0;
    for (std::size_t r = 0; r < kSniffRecords; ++r) {
      if (ParseRaw(text, pos, delimiter, whole, fields, rebuilt) != Parsed::kRecord) break;
      if (fields.size() > 1) ++lines_with_count[fields.size()];
    }
    std::size_t score = 0;
    for (const auto& [count, lines] : lines_with_count) score = std::max(score, lines);
    if (score > best_score) {
      best = delimiter;
      best_score = score;
    }
  }
  return best;
}

RecordReader::RecordReader(std::unique_ptr<ByteSource> source, DetectedEncoding encoding, int ansi_code_page,
                           char delimiter)
    : source_(std::move(source)), decoder_(*source_, encoding, ansi_code_page), delimiter_(delimiter) {
  // The first chunk whole, so that a short file is sniffed to its end.
  while (window_.size() < kChunk && Refill()) {
  }
  // A first chunk that ends within a record leaves the sniffing that record short; the
  // records before it decide.
  if (delimiter_ == 0) delimiter_ = SniffDelimiter(window_, ended_);
}

bool RecordReader::Refill() {
  if (ended_) return false;
  if (pos_ > 0) {
    // Records end after a whole CR LF, so no line break is cut in two here.
    first_line_ += LineBreaks(std::string_view(window_).substr(0, pos_));
    record_begin_ -= std::min(record_begin_, pos_);
    window_.erase(0, pos_);
    pos_ = 0;
  }
  if (window_.size() > kMaxRecordBytes) FailCsv(CsvErrorCode::kLineTooLong, Line(), 1, "16 MiB");
  ended_ = !decoder_.ReadMore(window_, chunk_);
  chunk_ = std::min(2 * chunk_, kChunk);  // small files cost little, large ones few reads
  return true;
}

std::size_t RecordReader::Line() const {
  return first_line_ + LineBreaks(std::string_view(window_).substr(0, record_begin_));
}

bool RecordReader::Next(std::vector<std::string_view>& fields) {
  for (;;) {
    std::size_t pos = pos_;
    const Parsed parsed = ParseRaw(window_, pos, delimiter_, ended_, fields, quoted_);
    if (parsed == Parsed::kEnd) return false;
    if (parsed == Parsed::kTooWide) {
      record_begin_ = pos_;
      FailCsv(CsvErrorCode::kTooManyColumns, Line(), 0);
    }
    if (parsed == Parsed::kIncomplete) {
      Refill();
      continue;
    }
    const std::string_view text(window_);
    if (!quoted_.empty()) {
      if (unquoted_.size() < quoted_.size()) unquoted_.resize(quoted_.size());
      for (std::size_t q = 0; q < quoted_.size(); ++q) {
        const QuotedField& f = quoted_[q];
        std::string& field = unquoted_[q];
        field.clear();
        for (std::size_t i = f.begin; i < f.end; ++i) {
          field += text[i];
          if (text[i] == '"') ++i;  // "" is one mark
        }
        field.append(text.substr(f.end + 1, f.tail_end - f.end - 1));
        fields[f.index] = field;
      }
    }
    record_begin_ = pos_;
    pos_ = pos;
    return true;
  }
}

}  // namespace cw::sheet::csv
