// Record files: the bytes of one record in the chosen encoding, given their final name only
// when complete, so no reader ever sees a truncated or empty .vcf, even when the program is
// killed, and a failed write never destroys the previous file of that name.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vcard/code_page.h"
#include "vcard/vcard_version.h"

namespace cw::vcard {

enum class ExportEncoding { Ansi, Utf8 };

// The UTF-8 bytes of the record; ill-formed input bytes become U+FFFD. Empty for empty text.
std::string EncodeUtf8(std::string_view record);

inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// What a file begins with before its records: the byte-order mark of a vCard 2.1 UTF-8 file;
// nothing for the others.
std::string_view FileStart(ExportEncoding encoding, VCardVersion version);
// Appends a record as a file holds it: in UTF-8, or for Ansi in the code page; then CR LF.
void AppendRecordBytes(std::string& out, std::string_view record, ExportEncoding encoding, const CodePage& code_page);
// The bytes of a file of one record: FileStart, then the record's bytes.
std::string RecordFileBytes(std::string_view record, ExportEncoding encoding, VCardVersion version,
                            const CodePage& code_page);

// An output folder held open while a run writes its files into it, so that each file is made
// relative to it instead of walking the whole path again for every step of every file.
//
// It also remembers which names the folder held when it was opened (as hashes), so that a
// file whose name was not there goes straight to an unnamed file without asking the file
// system first; a name that appears later is still caught when the file is linked. Safe to
// share between threads once made.
class OutputFolder {
 public:
  // Opens the folder; when it cannot be opened, its files are made by their whole paths.
  explicit OutputFolder(std::string path);
  ~OutputFolder();
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;

  const std::string& Path() const { return path_; }
  int Descriptor() const { return fd_; }  // -1 when not open
  // False only when `name` was surely not in the folder when it was opened.
  bool MayHold(std::string_view name) const;

 private:
  std::string path_;
  int fd_ = -1;
  bool listed_ = false;             // the names below are the whole folder's
  std::vector<std::size_t> names_;  // sorted hashes of the names it held
};

// One record file being written. Create, Write, Close are separate steps so the export run
// can number them; each throws std::runtime_error with a description on failure.
//
// Every file is written as an unnamed file in the folder (O_TMPFILE): a reader never sees it
// partial, and a killed process leaves nothing. Once complete, a new name is linked to it; an
// existing file is replaced by linking it under a temporary name and renaming that over the
// old file, with the old file's permission bits; a file the user may not write is refused at
// Create. Where the file system has no unnamed files, a named temporary beside the target is
// written and renamed instead: it is held under an advisory lock while open, and removed
// should the process be ended by SIGTERM or SIGINT.
//
// All of it is done relative to the folder's open descriptor, not by path: a folder renamed
// or moved while its files are written gets them whole, and no temporary stays behind in it.
class RecordFile {
 public:
  RecordFile() = default;
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;
  RecordFile(RecordFile&& other) noexcept;
  RecordFile& operator=(RecordFile&& other) noexcept;
  // A file left unclosed is discarded: the target is untouched and no temporary stays.
  ~RecordFile();

  // The file at `path`; its folder is opened and held until the file is closed.
  static RecordFile Create(const std::string& path);
  // The file `name` in `folder`, which stays open until the file is closed.
  static RecordFile Create(const OutputFolder& folder, const std::string& name);
  // Appends bytes; fails when no file is open.
  void Write(std::string_view bytes);
  // Gives the complete file its name. Closing a file that is not open does nothing.
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

 private:
  // The file `name` in `folder`, relative to `folder_fd` when that is open (not -1); the
  // caller keeps `folder_fd` open until the file is closed, unless `owns_folder` hands it to
  // the file. `surely_new`: the folder is known not to have held the name, so it is not
  // looked up first.
  static RecordFile CreateAt(int folder_fd, bool owns_folder, const std::string& folder, const std::string& name,
                             bool surely_new);
  void Discard() noexcept;
  void ReleaseFolder() noexcept;
  // Close's way when the name was taken while the file was written; closes `fd`.
  void ReplaceTakenName(int fd);
  // Links the unnamed file `fd` under a temporary name and renames it over name_; closes `fd`.
  void ReplaceWithUnnamed(int fd);
  int fd_ = -1;
  int folder_fd_ = -1;        // the folder its names are relative to; AT_FDCWD: they are whole paths
  bool owns_folder_ = false;  // folder_fd_ was opened for this file and closes with it
  bool replaces_ = false;     // an existing file of the name is to be replaced at Close
  int temp_slot_ = -1;        // the named temporary's entry for the signal handler, or -1
  std::string path_;          // the whole path, for messages
  std::string name_;          // the file's name relative to folder_fd_
  std::string temp_name_;     // the named temporary's, relative to folder_fd_; empty for an unnamed file
};

// Why no file can be made in `folder` (the system's words: "Permission denied", "Read-only
// file system", ...), found by making one that leaves nothing behind; nothing when it can.
std::optional<std::string> FolderWriteProblem(const std::string& folder);

// Removes the temporaries an earlier run killed mid-write left in `folder`: only names of
// the form RecordFile gives them, of processes no longer running here, that no process holds
// locked (a run in another container or host holds its own), each removed relative to the
// folder's descriptor. Returns how many went.
std::size_t RemoveLeftoverTemporaries(const std::string& folder);

}  // namespace cw::vcard
