// The text of a delimited-text file as UTF-8, whatever form it was saved in: a UTF-8
// byte-order mark means UTF-8, a UTF-16 LE or BE mark UTF-16; an unmarked file is UTF-8 when
// its bytes are valid UTF-8, else it is in the ANSI code page the caller names. The bytes are
// read in chunks, so a file of any size is decoded in bounded memory. Written by hand (ICU
// converts the ANSI code pages): validation and the UTF-16 forms are a few lines each, and the
// reader's speed target leaves no room for a converter call per chunk of UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace cw::sheet::csv {

// The bytes of a file, read front to back, from the start again when asked.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to `size` next bytes into `out`; 0 at the end. Throws CsvError (kUnreadable).
  virtual std::size_t Read(char* out, std::size_t size) = 0;
  virtual void Rewind() = 0;
};

// Bytes the caller keeps alive while the source is read.
std::unique_ptr<ByteSource> MemorySource(std::span<const std::byte> bytes);
// The file at `path`, opened now. Throws CsvError (kUnreadable).
std::unique_ptr<ByteSource> FileSource(const std::string& path);

enum class TextEncoding : std::uint8_t { kUtf8, kUtf16Le, kUtf16Be, kAnsi };

struct DetectedEncoding {
  TextEncoding encoding = TextEncoding::kUtf8;
  std::size_t mark_size = 0;  // the byte-order mark's bytes, skipped
  // UTF-8 not yet checked: the decoder checks it as it goes and throws NotUtf8 at the first
  // byte that is no UTF-8 (for a file without a mark) or CsvError (kBadUtf8, with a mark).
  bool unchecked = false;
};

// Thrown by a decoder of unchecked UTF-8 without a mark: read the file again as ANSI.
struct NotUtf8 {};

// The encoding of the text in `source`, by its mark, else by reading it whole once to see
// whether it is valid UTF-8; leaves the source rewound. Throws CsvError (kBadUtf8) for a file
// marked as UTF-8 that holds bytes no UTF-8 text has, with the line and column of the first.
DetectedEncoding DetectEncoding(ByteSource& source);
// The encoding by the mark alone, without reading further: UTF-8 is then unchecked.
DetectedEncoding DetectMark(ByteSource& source);

// Whether `text` is valid UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
bool IsValidUtf8(std::span<const char> text);

// Turns the bytes of a source into UTF-8 text, chunk by chunk.
class TextDecoder {
 public:
  // `ansi_code_page` is used for TextEncoding::kAnsi. Rewinds the source and skips the mark.
  // Throws CsvError (kUnknownCodePage) for a code page with no converter.
  TextDecoder(ByteSource& source, DetectedEncoding encoding, int ansi_code_page);
  ~TextDecoder();
  TextDecoder(const TextDecoder&) = delete;
  TextDecoder& operator=(const TextDecoder&) = delete;

  // Appends the UTF-8 text of up to `max_bytes` more bytes of the file to `out` (a few more to
  // end on a whole character); false at the end of the file (nothing appended). Throws CsvError
  // (kBadUtf16, kBadUtf8) at a broken character, with its line and column, or NotUtf8; and
  // CsvError (kNotText) for text holding a control character other than tab, CR and LF.
  bool ReadMore(std::string& out, std::size_t max_bytes);

 private:
  struct Ansi;
  void DecodeUtf16(std::span<const char> bytes, bool last, std::string& out);
  void CheckUtf8(std::string& out, std::size_t from);
  [[noreturn]] void FailUtf16(std::uint64_t offset);

  ByteSource& source_;
  DetectedEncoding encoding_;
  std::unique_ptr<Ansi> ansi_;
  std::string raw_;               // bytes read, not yet decoded (UTF-16, ANSI)
  std::uint64_t raw_offset_ = 0;  // the file offset of raw_'s first byte
  bool ended_ = false;
};

}  // namespace cw::sheet::csv
