#include "sheet/readers.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "sheet/csv/csv_reader.h"
#include "sheet/ods/ods_reader.h"
#include "sheet/workbook_file.h"
#include "sheet/xls/compound_file.h"
#include "sheet/xls/xls_reader.h"
#include "sheet/xls/xls_stream.h"
#include "sheet/xlsx/xlsx_reader.h"
#include "sheet/xlsx/xlsx_stream.h"
#include "sheet/xlsx/zip_package.h"

namespace cw::sheet {
namespace {

bool IsZip(std::span<const std::byte> head, std::string_view) {
  const auto b = [&](std::size_t i) { return i < head.size() ? static_cast<unsigned char>(head[i]) : 0x100u; };
  return b(0) == 'P' && b(1) == 'K' && (b(2) == 3 || b(2) == 5 || b(2) == 7) && (b(3) == 4 || b(3) == 6 || b(3) == 8);
}

bool IsCompoundFile(std::span<const std::byte> head, std::string_view) { return CompoundFile::HasSignature(head); }

Workbook LoadOds(const ReaderInput& in, const ReadOptions&);
std::unique_ptr<WorkbookStream> StreamOds(const ReaderInput& in, const ReadOptions&);

// A zip archive that turns out to hold an OpenDocument spreadsheet whose "mimetype" entry is not
// first (some zip tools reorder entries) is read as one.
Workbook LoadXlsx(const ReaderInput& in, const ReadOptions& options) {
  try {
    // A file's package is read from the file as needed, not loaded whole.
    if (const std::string* path = in.Path()) return xlsx::ReadPackage(xlsx::ZipPackage::OpenFile(*path));
    return ReadXlsx(in.Bytes());
  } catch (const XlsxError& e) {
    if (e.code != XlsxErrorCode::kOpenDocument) throw;
  }
  return LoadOds(in, options);
}

std::unique_ptr<WorkbookStream> StreamXlsx(const ReaderInput& in, const ReadOptions& options) {
  try {
    if (const std::string* path = in.Path()) return OpenXlsxStreamFile(*path);
    return OpenXlsxStream(in.Bytes());
  } catch (const XlsxError& e) {
    if (e.code != XlsxErrorCode::kOpenDocument) throw;
  }
  return StreamOds(in, options);
}

bool IsOpenDocument(std::span<const std::byte> head, std::string_view) {
  return LooksLikeOdsPackage(head) || LooksLikeFlatOds(head);
}

Workbook LoadOds(const ReaderInput& in, const ReadOptions&) {
  if (const std::string* path = in.Path()) return ReadOdsFile(*path);
  return ReadOds(in.Bytes());
}

std::unique_ptr<WorkbookStream> StreamOds(const ReaderInput& in, const ReadOptions&) {
  if (const std::string* path = in.Path()) return OpenOdsStreamFile(*path);
  return OpenOdsStream(in.Bytes());
}

Workbook LoadXls(const ReaderInput& in, const ReadOptions&) {
  if (in.Path()) return ReadXls(in.ReadWhole());
  return ReadXls(in.Bytes());
}

std::unique_ptr<WorkbookStream> StreamXls(const ReaderInput& in, const ReadOptions&) {
  // A compound file is read whole: its streams' sectors lie anywhere in it.
  if (in.Path()) return OpenXlsStream(in.ReadWhole());
  return OpenXlsStream(in.Bytes());
}

// Add a reader as one row here. Containers are known by their first bytes, whatever the
// extension says (an .xls that is really an .xlsx opens), so they come before the readers
// that go by the extension; the .xlsx row takes every zip, so a reader of another zip package
// comes before it.
constexpr std::array kReaders = {
    // Before the .xlsx reader: an OpenDocument package is a zip archive too.
    Reader{"an OpenDocument spreadsheet (.ods, .fods)", IsOpenDocument, LoadOds, StreamOds},
    Reader{"an Excel workbook (.xlsx)", IsZip, LoadXlsx, StreamXlsx},
    Reader{"an Excel 97-2003 workbook (.xls)", IsCompoundFile, LoadXls, StreamXls},
    Reader{"delimited text (.csv, .tsv, .txt)", IsDelimitedText, ReadCsv, OpenCsvStream},
};

}  // namespace

std::span<const Reader> Readers() { return kReaders; }

const Reader* FindReader(std::span<const std::byte> head, std::string_view extension) {
  for (const Reader& reader : kReaders) {
    if (reader.recognises(head, extension)) return &reader;
  }
  return nullptr;
}

std::string ExtensionOf(std::string_view file_name) {
  const std::size_t slash = file_name.find_last_of('/');
  if (slash != std::string_view::npos) file_name.remove_prefix(slash + 1);
  const std::size_t dot = file_name.find_last_of('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  std::string extension(file_name.substr(dot));
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

ReaderInput::ReaderInput(std::span<const std::byte> bytes, std::string_view file_name)
    : bytes_(bytes), size_(bytes.size()), file_name_(file_name), extension_(ExtensionOf(file_name)) {}

ReaderInput::ReaderInput(std::string path, std::uint64_t size) : path_(std::move(path)), size_(size) {
  const std::size_t slash = path_.find_last_of('/');
  file_name_ = slash == std::string::npos ? path_ : path_.substr(slash + 1);
  extension_ = ExtensionOf(file_name_);
}

std::vector<std::byte> ReaderInput::ReadWhole() const {
  if (path_.empty()) return {bytes_.begin(), bytes_.end()};
  std::ifstream in(path_, std::ios::binary);
  if (!in) FailFile(WorkbookFileErrorCode::kUnreadable, path_, std::strerror(errno));
  std::vector<std::byte> bytes(static_cast<std::size_t>(size_));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

}  // namespace cw::sheet
