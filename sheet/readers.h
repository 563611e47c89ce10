// The table of workbook readers: one row per kind of input the program opens. Each row says
// how it recognises a file (its first bytes and its extension), how it loads a workbook
// whole and how it opens the row stream of the export. Opening a file by bytes or by path
// (workbook_file.h), sheetdump, the sheet window, the engine and the export all walk this one
// table, so a new input kind is one row in readers.cpp, never a new branch elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sheet/block_rows.h"
#include "sheet/workbook.h"

namespace cw::sheet {

// What a reader takes from outside the file. The core reads no locale of its own: the
// caller fills these from the user's settings.
struct ReadOptions {
  // The Windows ANSI code page of a text file that has no byte-order mark and is not valid
  // UTF-8 (1252, 1251, 932, ...), as the user's locale gives it.
  int ansi_code_page = 1252;
};

// The input of one read: bytes the caller holds, or a file by its path, which a reader of a
// large container reads as it needs instead of whole.
class ReaderInput {
 public:
  // Bytes that the caller keeps alive and unchanged until the workbook, or the stream and
  // every BlockRows taken from it, are gone. `file_name` may be empty (no extension).
  ReaderInput(std::span<const std::byte> bytes, std::string_view file_name);
  // The regular file at `path`, `size` bytes long.
  ReaderInput(std::string path, std::uint64_t size);

  // The file's name without its folder ("contacts.csv"); may be empty for bytes.
  std::string_view FileName() const { return file_name_; }
  // The extension in lower case, dot included (".csv"); empty when the name has none.
  const std::string& Extension() const { return extension_; }
  // The path of the file, or nullptr for bytes in memory.
  const std::string* Path() const { return path_.empty() ? nullptr : &path_; }
  std::uint64_t Size() const { return size_; }
  // Bytes in memory: the caller's. For a file: nothing (use ReadWhole or the path).
  std::span<const std::byte> Bytes() const { return bytes_; }
  // The whole content: a copy of the bytes in memory, or the file read whole. Throws
  // ReadError when the file cannot be read.
  std::vector<std::byte> ReadWhole() const;

 private:
  std::span<const std::byte> bytes_;
  std::string path_;
  std::uint64_t size_ = 0;
  std::string file_name_;
  std::string extension_;
};

// One kind of input.
struct Reader {
  std::string_view name;  // in messages: "an Excel workbook (.xlsx)"
  // Whether this reader takes a file beginning with `head` (up to 4 KiB; the whole file when
  // shorter) and named with `extension` (lower case, dot included, may be empty). Readers are
  // asked in table order; the first that says yes reads the file.
  bool (*recognises)(std::span<const std::byte> head, std::string_view extension);
  // The whole workbook, cells and all. Throws ReadError (or a type derived from it).
  Workbook (*load)(const ReaderInput& input, const ReadOptions& options);
  // The workbook opened for streaming a block's rows with memory bounded by a window of rows.
  // Throws as load does for what it reads now.
  std::unique_ptr<WorkbookStream> (*stream)(const ReaderInput& input, const ReadOptions& options);
};

// Every reader, in the order they are asked.
std::span<const Reader> Readers();
// The first reader that takes a file beginning with `head` and named with `extension`, or
// nullptr.
const Reader* FindReader(std::span<const std::byte> head, std::string_view extension);
// The extension of `file_name` in lower case, dot included; empty when it has none.
std::string ExtensionOf(std::string_view file_name);

}  // namespace cw::sheet
