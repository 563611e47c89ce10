#include "sheet/csv/text_decoder.h"

#include <fcntl.h>
#include <unicode/ucnv.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "sheet/code_pages.h"
#include "sheet/csv/csv_error.h"

namespace cw::sheet::csv {
namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;

class Memory : public ByteSource {
 public:
  explicit Memory(std::span<const std::byte> bytes) : bytes_(bytes) {}
  std::size_t Read(char* out, std::size_t size) override {
    const std::size_t n = std::min(size, bytes_.size() - at_);
    if (n > 0) std::memcpy(out, bytes_.data() + at_, n);
    at_ += n;
    return n;
  }
  void Rewind() override { at_ = 0; }

 private:
  std::span<const std::byte> bytes_;
  std::size_t at_ = 0;
};

class File : public ByteSource {
 public:
  explicit File(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (fd_ < 0) FailCsv(CsvErrorCode::kUnreadable, 1, 0, std::strerror(errno));
  }
  ~File() override { ::close(fd_); }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  std::size_t Read(char* out, std::size_t size) override {
    for (;;) {
      const ssize_t n = ::read(fd_, out, size);
      if (n >= 0) return static_cast<std::size_t>(n);
      if (errno != EINTR) FailCsv(CsvErrorCode::kUnreadable, 1, 0, std::strerror(errno));
    }
  }
  void Rewind() override {
    if (::lseek(fd_, 0, SEEK_SET) != 0) FailCsv(CsvErrorCode::kUnreadable, 1, 0, std::strerror(errno));
  }

 private:
  int fd_;
};

// Counts lines and columns of text up to a point, as the error messages give them: a line
// ends at CR LF, LF or CR; columns count characters.
struct PositionCounter {
  std::size_t line = 1;
  std::size_t column = 1;
  bool after_cr = false;
  void Add(char32_t c) {
    if (c == '\n' && after_cr) {
      after_cr = false;
      return;
    }
    after_cr = c == '\r';
    if (c == '\n' || c == '\r') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
};

enum class Utf8Scan { kValid, kInvalid, kCutShort };

// Scans `n` bytes; `stop` is where an invalid sequence, or one cut short by the end, begins.
Utf8Scan ScanUtf8(const unsigned char* s, std::size_t n, std::size_t& stop) {
  std::size_t i = 0;
  while (i < n) {
    while (i + 8 <= n) {
      std::uint64_t word;
      std::memcpy(&word, s + i, 8);
      if (word & 0x8080808080808080ull) break;
      i += 8;
    }
    if (i >= n) break;
    const unsigned c = s[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      if (c == 0xE0) low = 0xA0;   // no overlong forms
      if (c == 0xED) high = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
      stop = i;
      return Utf8Scan::kInvalid;
    }
    for (std::size_t k = 1; k < length; ++k) {
      if (i + k >= n) {
        stop = i;
        return Utf8Scan::kCutShort;
      }
      const unsigned d = s[i + k];
      if (d < (k == 1 ? low : 0x80u) || d > (k == 1 ? high : 0xBFu)) {
        stop = i;
        return Utf8Scan::kInvalid;
      }
    }
    i += length;
  }
  stop = n;
  return Utf8Scan::kValid;
}

// Reads the source from its start up to `offset` and counts lines and columns of its UTF-8
// text (after a mark of `skip` bytes).
PositionCounter Utf8PositionAt(ByteSource& source, std::size_t skip, std::uint64_t offset) {
  source.Rewind();
  PositionCounter at;
  const auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
  std::uint64_t done = 0;
  while (done < offset) {
    const std::size_t n =
        source.Read(buffer.get(), static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, offset - done)));
    if (n == 0) break;
    for (std::size_t i = 0; i < n; ++i) {
      const auto c = static_cast<unsigned char>(buffer[i]);
      if (done + i >= skip && (c & 0xC0) != 0x80) at.Add(c);
    }
    done += n;
  }
  return at;
}

// Whether the whole source is valid UTF-8 after `skip` bytes; `bad` is where it stops being so.
bool SourceIsUtf8(ByteSource& source, std::size_t skip, std::uint64_t& bad) {
  const auto buffer = std::make_unique_for_overwrite<char[]>(kChunk + 4);
  std::size_t carried = 0;   // the start of a sequence cut by the last chunk's end
  std::uint64_t offset = 0;  // the file offset of buffer[0]
  bool first = true;
  for (;;) {
    const std::size_t n = source.Read(buffer.get() + carried, kChunk);
    const std::size_t size = carried + n;
    const std::size_t from = first ? std::min(skip, size) : 0;
    first = false;
    std::size_t stop = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.get()) + from;
    const Utf8Scan scan = ScanUtf8(bytes, size - from, stop);
    stop += from;
    if (scan == Utf8Scan::kInvalid || (scan == Utf8Scan::kCutShort && n == 0)) {
      bad = offset + stop;
      return false;
    }
    if (n == 0) return true;
    carried = size - stop;
    std::memmove(buffer.get(), buffer.get() + stop, carried);
    offset += stop;
  }
}

// Whether UTF-8 text holds a control character other than tab, CR and LF: NUL and its kind
// are what binary files hold (programs, pictures, compressed data, UTF-16 without a mark),
// never text. Eight bytes at a time: a word with no byte below 0x20 is passed at once.
bool HoldsControlCharacter(const char* text, std::size_t size) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHighs = 0x8080808080808080ull;
  const auto bad = [](unsigned char c) { return c < 0x20 && c != '\t' && c != '\n' && c != '\r'; };
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text + i, 8);
    if (((word - kOnes * 0x20) & ~word & kHighs) == 0) continue;  // no byte below 0x20
    for (std::size_t k = 0; k < 8; ++k) {
      if (bad(static_cast<unsigned char>(text[i + k]))) return true;
    }
  }
  for (; i < size; ++i) {
    if (bad(static_cast<unsigned char>(text[i]))) return true;
  }
  return false;
}

void AppendUtf8(char32_t c, char*& out) {
  if (c < 0x80) {
    *out++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *out++ = static_cast<char>(0xC0 | (c >> 6));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (c >> 12));
    *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (c >> 18));
    *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::unique_ptr<ByteSource> MemorySource(std::span<const std::byte> bytes) { return std::make_unique<Memory>(bytes); }

std::unique_ptr<ByteSource> FileSource(const std::string& path) { return std::make_unique<File>(path); }

bool IsValidUtf8(std::span<const char> text) {
  std::size_t stop = 0;
  return ScanUtf8(reinterpret_cast<const unsigned char*>(text.data()), text.size(), stop) == Utf8Scan::kValid;
}

DetectedEncoding DetectMark(ByteSource& source) {
  source.Rewind();
  unsigned char mark[3] = {0, 0, 0};
  std::size_t got = 0;
  while (got < 3) {
    const std::size_t n = source.Read(reinterpret_cast<char*>(mark) + got, 3 - got);
    if (n == 0) break;
    got += n;
  }
  source.Rewind();
  if (got >= 2 && mark[0] == 0xFF && mark[1] == 0xFE) return {TextEncoding::kUtf16Le, 2, false};
  if (got >= 2 && mark[0] == 0xFE && mark[1] == 0xFF) return {TextEncoding::kUtf16Be, 2, false};
  const bool marked = got == 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF;
  return {TextEncoding::kUtf8, marked ? std::size_t{3} : 0, true};
}

DetectedEncoding DetectEncoding(ByteSource& source) {
  DetectedEncoding found = DetectMark(source);
  if (!found.unchecked) return found;
  std::uint64_t bad = 0;
  const bool utf8 = SourceIsUtf8(source, found.mark_size, bad);
  if (found.mark_size > 0 && !utf8) {
    const PositionCounter at = Utf8PositionAt(source, found.mark_size, bad);
    FailCsv(CsvErrorCode::kBadUtf8, at.line, at.column);
  }
  source.Rewind();
  found.unchecked = false;
  if (!utf8) found.encoding = TextEncoding::kAnsi;
  return found;
}

struct TextDecoder::Ansi {
  UConverter* converter = nullptr;
  std::vector<UChar> units;
  ~Ansi() {
    if (converter) ucnv_close(converter);
  }
};

TextDecoder::TextDecoder(ByteSource& source, DetectedEncoding encoding, int ansi_code_page)
    : source_(source), encoding_(encoding) {
  if (encoding.encoding == TextEncoding::kAnsi) {
    const WindowsCodePage* page = FindWindowsCodePage(ansi_code_page);
    if (!page) FailCsv(CsvErrorCode::kUnknownCodePage, 1, 0, std::to_string(ansi_code_page));
    ansi_ = std::make_unique<Ansi>();
    UErrorCode status = U_ZERO_ERROR;
    ansi_->converter = ucnv_open(page->converter, &status);
    if (U_FAILURE(status)) FailCsv(CsvErrorCode::kUnknownCodePage, 1, 0, std::to_string(ansi_code_page));
  }
  source_.Rewind();
  char skipped[3];
  std::size_t left = encoding.mark_size;
  while (left > 0) {
    const std::size_t n = source_.Read(skipped, left);
    if (n == 0) break;
    left -= n;
  }
  raw_offset_ = encoding.mark_size;
}

TextDecoder::~TextDecoder() = default;

bool TextDecoder::ReadMore(std::string& out, std::size_t max_bytes) {
  if (ended_) return false;
  const std::size_t old_size = out.size();
  if (encoding_.encoding == TextEncoding::kUtf8) {
    out.resize(old_size + max_bytes + 3);
    const std::size_t n = source_.Read(out.data() + old_size, max_bytes);
    out.resize(old_size + n);
    ended_ = n == 0;
    if (encoding_.unchecked) CheckUtf8(out, old_size);
    raw_offset_ += out.size() - old_size;
    if (HoldsControlCharacter(out.data() + old_size, out.size() - old_size)) FailCsv(CsvErrorCode::kNotText, 0, 0);
    return n > 0;
  }
  while (out.size() == old_size && !ended_) {
    const std::size_t kept = raw_.size();
    raw_.resize(kept + max_bytes);
    const std::size_t n = source_.Read(raw_.data() + kept, max_bytes);
    raw_.resize(kept + n);
    ended_ = n == 0;
    if (encoding_.encoding == TextEncoding::kAnsi) {
      auto& units = ansi_->units;
      units.resize(raw_.size() + 8);
      UChar* target = units.data();
      const char* from = raw_.data();
      UErrorCode status = U_ZERO_ERROR;
      ucnv_toUnicode(ansi_->converter, &target, units.data() + units.size(), &from, raw_.data() + raw_.size(), nullptr,
                     static_cast<UBool>(ended_), &status);
      raw_.clear();  // the converter keeps a character cut by the chunk's end
      const std::size_t count = static_cast<std::size_t>(target - units.data());
      out.resize(old_size + count * 3);
      char* end = out.data() + old_size;
      for (std::size_t i = 0; i < count; ++i) {
        char32_t c = units[i];
        if (U16_IS_LEAD(units[i]) && i + 1 < count && U16_IS_TRAIL(units[i + 1])) {
          c = U16_GET_SUPPLEMENTARY(units[i], units[i + 1]);
          ++i;
        }
        if (U16_IS_SURROGATE(c)) c = 0xFFFD;
        AppendUtf8(c, end);
      }
      out.resize(static_cast<std::size_t>(end - out.data()));
    } else {
      DecodeUtf16(raw_, ended_, out);
    }
  }
  if (HoldsControlCharacter(out.data() + old_size, out.size() - old_size)) FailCsv(CsvErrorCode::kNotText, 0, 0);
  return out.size() > old_size;
}

void TextDecoder::CheckUtf8(std::string& out, std::size_t from) {
  std::size_t stop = 0;
  Utf8Scan scan = ScanUtf8(reinterpret_cast<const unsigned char*>(out.data()) + from, out.size() - from, stop);
  if (scan == Utf8Scan::kCutShort) {
    // The chunk ends within a character: read on to its end, so the next chunk begins whole.
    for (std::size_t more = 0; more < 3 && scan == Utf8Scan::kCutShort; ++more) {
      char c;
      if (source_.Read(&c, 1) == 0) break;
      out += c;
      scan = ScanUtf8(reinterpret_cast<const unsigned char*>(out.data()) + from, out.size() - from, stop);
    }
  }
  if (scan == Utf8Scan::kValid) return;
  if (encoding_.mark_size == 0) throw NotUtf8{};
  const PositionCounter at = Utf8PositionAt(source_, encoding_.mark_size, raw_offset_ + stop);
  FailCsv(CsvErrorCode::kBadUtf8, at.line, at.column);
}

void TextDecoder::DecodeUtf16(std::span<const char> bytes, bool last, std::string& out) {
  const bool little = encoding_.encoding == TextEncoding::kUtf16Le;
  const auto unit = [&](std::size_t i) {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    return static_cast<char16_t>(little ? a | (b << 8) : (a << 8) | b);
  };
  const std::size_t old_size = out.size();
  out.resize(old_size + bytes.size() / 2 * 3 + 4);
  char* end = out.data() + old_size;
  std::size_t i = 0;
  while (i + 2 <= bytes.size()) {
    const char16_t u = unit(i);
    if (u < 0xD800 || u > 0xDFFF) {
      AppendUtf8(u, end);
      i += 2;
      continue;
    }
    if (u >= 0xDC00) FailUtf16(raw_offset_ + i);  // a trail without its lead
    if (i + 4 > bytes.size()) {
      if (last) FailUtf16(raw_offset_ + i);
      break;  // the trail comes with the next chunk
    }
    const char16_t t = unit(i + 2);
    if (t < 0xDC00 || t > 0xDFFF) FailUtf16(raw_offset_ + i);
    AppendUtf8(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (t - 0xDC00), end);
    i += 4;
  }
  if (last && i < bytes.size()) FailUtf16(raw_offset_ + i);  // an odd byte at the end
  out.resize(static_cast<std::size_t>(end - out.data()));
  raw_.erase(0, i);
  raw_offset_ += i;
}

void TextDecoder::FailUtf16(std::uint64_t offset) {
  const bool little = encoding_.encoding == TextEncoding::kUtf16Le;
  source_.Rewind();
  PositionCounter at;
  const auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
  std::uint64_t done = 0;
  int pending = -1;  // a lead unit whose trail comes in the next chunk
  while (done < offset) {
    std::size_t n =
        source_.Read(buffer.get(), static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, offset - done)));
    if (n == 0) break;
    for (std::size_t i = 0; i < n; ++i, ++done) {
      if (done < encoding_.mark_size || (done - encoding_.mark_size) % 2 == 1) continue;
      if (i + 1 >= n) break;
      const auto a = static_cast<unsigned char>(buffer[i]);
      const auto b = static_cast<unsigned char>(buffer[i + 1]);
      const unsigned u = little ? a | (b << 8) : (a << 8) | b;
      if (u >= 0xDC00 && u <= 0xDFFF && pending >= 0) {
        pending = -1;  // the pair counted once, at its lead
        continue;
      }
      at.Add(u);
      pending = u >= 0xD800 && u <= 0xDBFF ? 1 : -1;
    }
  }
  FailCsv(CsvErrorCode::kBadUtf16, at.line, at.column);
}

}  // namespace cw::sheet::csv
