// Record files: the bytes of one record in the chosen encoding. A new file is created
// exclusively and removed again if its write does not complete; an existing one is replaced
// by a temporary renamed over it once complete. So a failed write never leaves a truncated
// .vcf and never destroys the previous file of that name.
#pragma once

#include <string>
#include <string_view>

#include "vcard/code_page.h"

namespace cw::vcard {

enum class ExportEncoding { Ansi, Utf8 };

// The UTF-8 bytes of the record; ill-formed input bytes become U+FFFD. Empty for empty text.
std::string EncodeUtf8(std::string_view record);

inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// One record file being written. Create, Write, Close are separate steps so the export run
// can number them; each throws std::runtime_error with a description on failure.
class RecordFile {
 public:
  RecordFile() = default;
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;
  RecordFile(RecordFile&& other) noexcept;
  RecordFile& operator=(RecordFile&& other) noexcept;
  // A file left unclosed is discarded: its temporary is removed, the target is untouched.
  ~RecordFile();

  // Opens `path` for its new content: in place when no file has that name yet, else a
  // temporary beside it.
  static RecordFile Create(const std::string& path);
  // Appends bytes; fails when no file is open.
  void Write(std::string_view bytes);
  // Completes the file: flushes it and renames it over the target. Closing a file that is
  // not open does nothing.
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

 private:
  void Discard() noexcept;
  const std::string& WritingPath() const;  // the temporary, or the target when written in place
  int fd_ = -1;
  std::string path_;
  std::string temp_path_;  // empty when the target did not exist and is written in place
};

// The whole write of one record: the file holds the record in the encoding, then CR LF.
void WriteRecordFile(const std::string& path, std::string_view record, ExportEncoding encoding,
                     const CodePage& code_page);

}  // namespace cw::vcard
