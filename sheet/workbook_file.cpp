#include "sheet/workbook_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <string_view>
#include <system_error>
#include <vector>

#include "sheet/ods/ods_reader.h"
#include "sheet/xls/compound_file.h"
#include "sheet/xls/xls_reader.h"
#include "sheet/xls/xls_stream.h"
#include "sheet/xlsx/xlsx_reader.h"
#include "sheet/xlsx/xlsx_stream.h"
#include "sheet/xlsx/zip_package.h"

namespace cw::sheet {
namespace {

// Bigger than any workbook a person opens; the file is read whole only for .xls.
constexpr std::uint64_t kMaxFileSize = std::uint64_t{2} << 30;
constexpr std::size_t kSniffSize = 4096;

enum class Container { kZip, kCompound, kOds, kFlatOds, kOther };

Container ContainerOf(std::span<const std::byte> head) {
  const auto b = [&](std::size_t i) { return i < head.size() ? static_cast<unsigned char>(head[i]) : 0x100u; };
  if (LooksLikeOdsPackage(head)) return Container::kOds;
  if (b(0) == 'P' && b(1) == 'K' && (b(2) == 3 || b(2) == 5 || b(2) == 7) && (b(3) == 4 || b(3) == 6 || b(3) == 8)) {
    return Container::kZip;
  }
  if (CompoundFile::HasSignature(head)) return Container::kCompound;
  if (LooksLikeFlatOds(head)) return Container::kFlatOds;
  return Container::kOther;
}

[[noreturn]] void Fail(WorkbookFileErrorCode code, const std::string& path = {}, const std::string& detail = {}) {
  const std::string named = path.empty() ? "the file" : "\"" + path + "\"";
  const std::string resave = " Open it in a spreadsheet program, save it as an Excel workbook (.xlsx) and try again.";
  std::string text;
  switch (code) {
    case WorkbookFileErrorCode::kNotFound:
      text = "The workbook " + named + " was not found.";
      break;
    case WorkbookFileErrorCode::kFolder:
      text = "Not a workbook: " + named + " is a folder.";
      break;
    case WorkbookFileErrorCode::kUnreadable:
      text = "The workbook " + named + " cannot be read (" + detail + ").";
      break;
    case WorkbookFileErrorCode::kEmpty:
      text = "Not a workbook: the file is empty (0 bytes).";
      break;
    case WorkbookFileErrorCode::kTooLarge:
      text = "The workbook " + named + " is too large to read (over 2 GiB).";
      break;
    case WorkbookFileErrorCode::kText:
      text =
          "Not a workbook: the file holds plain text, such as comma-separated values (CSV), under a "
          "workbook's name." +
          resave;
      break;
    case WorkbookFileErrorCode::kHtml:
      text = "Not a workbook: the file is a web page (HTML) saved under a workbook's name." + resave;
      break;
    case WorkbookFileErrorCode::kSpreadsheetXml:
      text = "Not a workbook this program reads: the file is an XML Spreadsheet 2003." + resave;
      break;
    case WorkbookFileErrorCode::kXml:
      text = "Not a workbook: the file holds XML that is no workbook.";
      break;
    case WorkbookFileErrorCode::kPdf:
      text = "Not a workbook: the file is a PDF document.";
      break;
    case WorkbookFileErrorCode::kOldExcel:
      text = "This workbook was saved by Excel 4.0 or earlier, a format this program does not read." + resave;
      break;
    case WorkbookFileErrorCode::kUnknown:
      text = "Not a workbook: the file is neither an .xlsx nor an .xls workbook.";
      break;
  }
  throw WorkbookFileError(code, text);
}

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
  if (ContainerOf(head) != Container::kOther) return std::nullopt;
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

Workbook ReadWorkbook(std::span<const std::byte> bytes) {
  switch (ContainerOf(bytes)) {
    case Container::kZip:
      return ReadXlsx(bytes);
    case Container::kCompound:
      return ReadXls(bytes);
    case Container::kOds:
    case Container::kFlatOds:
      return ReadOds(bytes);
    case Container::kOther:
      break;
  }
  Fail(SniffNonWorkbook(bytes).value_or(WorkbookFileErrorCode::kUnknown));
}

namespace {

// Checks that `path` names a regular file of a size we read, and opens it.
std::ifstream OpenChecked(const std::string& path, std::uint64_t& size) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) Fail(WorkbookFileErrorCode::kNotFound, path);
    Fail(WorkbookFileErrorCode::kUnreadable, path, std::strerror(errno));
  }
  if (S_ISDIR(st.st_mode)) Fail(WorkbookFileErrorCode::kFolder, path);
  if (!S_ISREG(st.st_mode)) Fail(WorkbookFileErrorCode::kUnreadable, path, "not a regular file");
  if (static_cast<std::uint64_t>(st.st_size) > kMaxFileSize) Fail(WorkbookFileErrorCode::kTooLarge, path);
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail(WorkbookFileErrorCode::kUnreadable, path, std::strerror(errno));
  size = static_cast<std::uint64_t>(st.st_size);
  return in;
}

std::vector<std::byte> ReadWhole(std::ifstream& in, std::uint64_t size) {
  std::vector<std::byte> bytes(static_cast<std::size_t>(size));
  // A file shorter than the sniffed head has set eof and fail on the stream: clear them,
  // or the seek back is ignored and the read gives nothing.
  in.clear();
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

}  // namespace

namespace {

// The container of the file at `path`, opened in `in`; fails for anything but a zip
// package or a compound file, saying what the file is instead.
Container OpenWorkbookFile(const std::string& path, std::ifstream& in, std::uint64_t& size) {
  in = OpenChecked(path, size);
  std::vector<std::byte> head(kSniffSize);
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  const Container container = ContainerOf(head);
  if (container == Container::kOther) {
    Fail(SniffNonWorkbook(head).value_or(WorkbookFileErrorCode::kUnknown), path);
  }
  return container;
}

}  // namespace

Workbook ReadWorkbookFile(const std::string& path) {
  std::uint64_t size = 0;
  std::ifstream in;
  const Container container = OpenWorkbookFile(path, in, size);
  if (container == Container::kZip) {
    // The package is read from the file as needed, not loaded whole.
    in.close();
    return xlsx::ReadPackage(xlsx::ZipPackage::OpenFile(path));
  }
  if (container == Container::kOds || container == Container::kFlatOds) {
    in.close();
    return ReadOdsFile(path);
  }
  return ReadXls(ReadWhole(in, size));
}

std::unique_ptr<WorkbookStream> OpenWorkbookStreamFile(const std::string& path) {
  std::uint64_t size = 0;
  std::ifstream in;
  const Container container = OpenWorkbookFile(path, in, size);
  if (container == Container::kZip) {
    in.close();
    return OpenXlsxStreamFile(path);
  }
  if (container == Container::kOds || container == Container::kFlatOds) {
    in.close();
    return OpenOdsStreamFile(path);
  }
  return OpenXlsStream(ReadWhole(in, size));
}

}  // namespace cw::sheet
