#include "sheet/workbook_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <string_view>
#include <system_error>
#include <vector>

namespace cw::sheet {
namespace {

// Bigger than any workbook a person opens; the file is read whole only for .xls.
constexpr std::uint64_t kMaxFileSize = std::uint64_t{2} << 30;
constexpr std::size_t kSniffSize = 4096;

// The kinds this program reads, from the table of readers: "an Excel workbook (.xlsx), ...
// nor delimited text (.csv .tsv .txt)".
std::string KindsRead() {
  std::string kinds;
  const auto readers = Readers();
  for (std::size_t i = 0; i < readers.size(); ++i) {
    if (i > 0) kinds += i + 1 == readers.size() ? " nor " : ", ";
    kinds += readers[i].name;
  }
  return kinds;
}

struct FileMessage {
  WorkbookFileErrorCode code;
  std::string_view form;  // {file}: the quoted path or "the file"; {detail}; {resave}
};

constexpr std::array kFileMessages = {
    FileMessage{WorkbookFileErrorCode::kNotFound, "The workbook {file} was not found."},
    FileMessage{WorkbookFileErrorCode::kFolder, "Not a workbook: {file} is a folder."},
    FileMessage{WorkbookFileErrorCode::kUnreadable, "The workbook {file} cannot be read ({detail})."},
    FileMessage{WorkbookFileErrorCode::kEmpty, "Not a workbook: the file is empty (0 bytes)."},
    FileMessage{WorkbookFileErrorCode::kTooLarge, "The workbook {file} is too large to read (over 2 GiB)."},
    FileMessage{WorkbookFileErrorCode::kText,
                "Not a workbook: the file holds plain text, such as comma-separated values (CSV), under a "
                "workbook's name.{resave}"},
    FileMessage{WorkbookFileErrorCode::kHtml,
                "Not a workbook: the file is a web page (HTML) saved under a workbook's name.{resave}"},
    FileMessage{WorkbookFileErrorCode::kSpreadsheetXml,
                "Not a workbook this program reads: the file is an XML Spreadsheet 2003.{resave}"},
    FileMessage{WorkbookFileErrorCode::kXml, "Not a workbook: the file holds XML that is no workbook."},
    FileMessage{WorkbookFileErrorCode::kPdf, "Not a workbook: the file is a PDF document."},
    FileMessage{WorkbookFileErrorCode::kOldExcel,
                "This workbook was saved by Excel 4.0 or earlier, a format this program does not read.{resave}"},
    FileMessage{WorkbookFileErrorCode::kUnknown, "Not a workbook: the file is neither {kinds}."},
};

}  // namespace

void FailFile(WorkbookFileErrorCode code, const std::string& path, const std::string& detail) {
  const std::string_view form = MessageForm(kFileMessages, code, "The file cannot be read.");
  const std::string file = path.empty() ? "the file" : "\"" + path + "\"";
  const std::string resave = " Open it in a spreadsheet program, save it as an Excel workbook (.xlsx) and try again.";
  throw WorkbookFileError(code,
                          FillMessage(form, {{"{file}", file},
                                             {"{detail}", detail},
                                             {"{resave}", resave},
                                             {"{kinds}", code == WorkbookFileErrorCode::kUnknown ? KindsRead() : ""}}));
}

namespace {

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), s.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
         });
}

bool ContainsNoCase(std::string_view s, std::string_view needle) {
  for (std::size_t i = 0; i + needle.size() <= s.size(); ++i) {
    if (StartsWithNoCase(s.substr(i), needle)) return true;
  }
  return false;
}

}  // namespace

std::optional<WorkbookFileErrorCode> SniffNonWorkbook(std::span<const std::byte> head) {
  if (head.empty()) return WorkbookFileErrorCode::kEmpty;
  if (FindReader(head, {})) return std::nullopt;
  head = head.first(std::min(head.size(), kSniffSize));
  const std::string_view text(reinterpret_cast<const char*>(head.data()), head.size());
  const auto b0 = static_cast<unsigned char>(text[0]);
  if (text.size() >= 2 && b0 == 0x09 && (text[1] == 0x00 || text[1] == 0x02 || text[1] == 0x04)) {
    return WorkbookFileErrorCode::kOldExcel;
  }
  if (StartsWithNoCase(text, "%PDF")) return WorkbookFileErrorCode::kPdf;
  // Text: no NUL and no control characters but tab, CR, LF, form feed (UTF-16 text has NULs).
  const bool utf16 = text.size() >= 2 && ((b0 == 0xFF && static_cast<unsigned char>(text[1]) == 0xFE) ||
                                          (b0 == 0xFE && static_cast<unsigned char>(text[1]) == 0xFF));
  std::string narrow;
  if (utf16) {
    for (std::size_t i = 2; i < text.size(); ++i) {
      if (text[i] != '\0') narrow += text[i];
    }
  } else {
    narrow.assign(text);
  }
  std::string_view body(narrow);
  if (StartsWithNoCase(body, "\xEF\xBB\xBF")) body.remove_prefix(3);
  const bool is_text = std::none_of(body.begin(), body.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 && c != '\t' && c != '\r' && c != '\n' && c != '\f';
  });
  if (!is_text) return WorkbookFileErrorCode::kUnknown;
  while (!body.empty() &&
         (body.front() == ' ' || body.front() == '\t' || body.front() == '\r' || body.front() == '\n')) {
    body.remove_prefix(1);
  }
  if (ContainsNoCase(body, "urn:schemas-microsoft-com:office:spreadsheet"))
    return WorkbookFileErrorCode::kSpreadsheetXml;
  if (StartsWithNoCase(body, "MIME-Version")) return WorkbookFileErrorCode::kHtml;  // a single-file web page
  if (!body.empty() && body.front() == '<') {
    for (const std::string_view tag : {"<html", "<!doctype html", "<table", "<head", "<body", "<meta", "<style"}) {
      if (ContainsNoCase(body, tag)) return WorkbookFileErrorCode::kHtml;
    }
    return WorkbookFileErrorCode::kXml;
  }
  return WorkbookFileErrorCode::kText;
}

namespace {

// Checks that `path` names a regular file of a size we read.
ReaderInput CheckedFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) FailFile(WorkbookFileErrorCode::kNotFound, path);
    FailFile(WorkbookFileErrorCode::kUnreadable, path, std::strerror(errno));
  }
  if (S_ISDIR(st.st_mode)) FailFile(WorkbookFileErrorCode::kFolder, path);
  if (!S_ISREG(st.st_mode)) FailFile(WorkbookFileErrorCode::kUnreadable, path, "not a regular file");
  if (static_cast<std::uint64_t>(st.st_size) > kMaxFileSize) FailFile(WorkbookFileErrorCode::kTooLarge, path);
  return ReaderInput(path, static_cast<std::uint64_t>(st.st_size));
}

// The reader of the file at `in`, by its first bytes and its extension; fails for a file no
// reader takes, saying what the file is instead.
const Reader& ReaderOfFile(const ReaderInput& in) {
  std::ifstream file(*in.Path(), std::ios::binary);
  if (!file) FailFile(WorkbookFileErrorCode::kUnreadable, *in.Path(), std::strerror(errno));
  std::vector<std::byte> head(kSniffSize);
  file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(file.gcount()));
  if (const Reader* reader = FindReader(head, in.Extension())) return *reader;
  FailFile(SniffNonWorkbook(head).value_or(WorkbookFileErrorCode::kUnknown), *in.Path());
}

const Reader& ReaderOfBytes(const ReaderInput& in) {
  const auto head = in.Bytes().first(std::min(in.Bytes().size(), kSniffSize));
  if (const Reader* reader = FindReader(head, in.Extension())) return *reader;
  FailFile(SniffNonWorkbook(head).value_or(WorkbookFileErrorCode::kUnknown));
}

}  // namespace

Workbook ReadWorkbook(std::span<const std::byte> bytes, std::string_view file_name, const ReadOptions& options) {
  const ReaderInput in(bytes, file_name);
  return ReaderOfBytes(in).load(in, options);
}

Workbook ReadWorkbookFile(const std::string& path, const ReadOptions& options) {
  const ReaderInput in = CheckedFile(path);
  return ReaderOfFile(in).load(in, options);
}

std::unique_ptr<WorkbookStream> OpenWorkbookStream(std::span<const std::byte> bytes, std::string_view file_name,
                                                   const ReadOptions& options) {
  const ReaderInput in(bytes, file_name);
  return ReaderOfBytes(in).stream(in, options);
}

std::unique_ptr<WorkbookStream> OpenWorkbookStreamFile(const std::string& path, const ReadOptions& options) {
  const ReaderInput in = CheckedFile(path);
  return ReaderOfFile(in).stream(in, options);
}

}  // namespace cw::sheet
