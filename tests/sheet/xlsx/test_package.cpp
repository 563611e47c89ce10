#include "tests/sheet/xlsx/test_package.h"

#include <xlsxwriter.h>
#include <zip.h>

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace cw::sheet::testing {

std::vector<std::byte> ZipBytes(const Parts& parts, bool stored) {
  TempDir dir;
  const std::string path = dir.File("package.zip");
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) throw std::runtime_error("zip_open failed");
  for (const auto& [name, content] : parts) {
    zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
    const zip_int64_t index = source ? zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
    if (index < 0) {
      zip_source_free(source);
      zip_discard(archive);
      throw std::runtime_error("zip_file_add failed");
    }
    if (stored) zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
  }
  if (zip_close(archive) != 0) throw std::runtime_error("zip_close failed");
  return FileBytes(path);
}

Parts MinimalParts(const std::string& sheet_data, const std::vector<std::string>& shared, const std::string& num_fmts,
                   const std::string& cell_xfs) {
  const std::string ns = "http://schemas.openxmlformats.org/";
  const std::string rel = ns + "officeDocument/2006/relationships/";
  Parts parts;
  parts["[Content_Types].xml"] =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types xmlns=\"" + ns + "package/2006/content-types\"/>";
  parts["_rels/.rels"] = "<?xml version=\"1.0\"?><Relationships xmlns=\"" + ns +
                         "package/2006/relationships\"><Relationship Id=\"rId1\" Type=\"" + rel +
                         "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
  parts["xl/workbook.xml"] = "<?xml version=\"1.0\"?><workbook xmlns=\"" + ns + "spreadsheetml/2006/main\" xmlns:r=\"" +
                             ns +
                             "officeDocument/2006/relationships\"><sheets><sheet name=\"Sheet1\" sheetId=\"1\" "
                             "r:id=\"rId1\"/></sheets></workbook>";
  std::string rels = "<?xml version=\"1.0\"?><Relationships xmlns=\"" + ns +
                     "package/2006/relationships\"><Relationship Id=\"rId1\" Type=\"" + rel +
                     "worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"" + rel +
                     "styles\" Target=\"styles.xml\"/>";
  if (!shared.empty()) {
    rels += "<Relationship Id=\"rId3\" Type=\"" + rel + "sharedStrings\" Target=\"sharedStrings.xml\"/>";
    std::string sst = "<?xml version=\"1.0\"?><sst xmlns=\"" + ns + "spreadsheetml/2006/main\">";
    for (const auto& si : shared) sst += "<si>" + si + "</si>";
    parts["xl/sharedStrings.xml"] = sst + "</sst>";
  }
  parts["xl/_rels/workbook.xml.rels"] = rels + "</Relationships>";
  parts["xl/styles.xml"] = "<?xml version=\"1.0\"?><styleSheet xmlns=\"" + ns + "spreadsheetml/2006/main\">" +
                           (num_fmts.empty() ? "" : "<numFmts>" + num_fmts + "</numFmts>") +
                           "<cellStyleXfs><xf numFmtId=\"0\"/></cellStyleXfs><cellXfs>" + cell_xfs +
                           "</cellXfs></styleSheet>";
  parts["xl/worksheets/sheet1.xml"] = "<?xml version=\"1.0\"?><worksheet xmlns=\"" + ns +
                                      "spreadsheetml/2006/main\"><sheetData>" + sheet_data + "</sheetData></worksheet>";
  return parts;
}

TempDir::TempDir() {
  std::random_device random;
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = base / ("cw_xlsx_test_" + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void WriteWorkbook(const std::string& path, const std::function<void(lxw_workbook*)>& fill, bool constant_memory) {
  lxw_workbook_options options = {};
  options.constant_memory = constant_memory ? LXW_TRUE : LXW_FALSE;
  lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
  if (!book) throw std::runtime_error("workbook_new_opt failed");
  fill(book);
  if (workbook_close(book) != LXW_NO_ERROR) throw std::runtime_error("workbook_close failed");
}

std::vector<std::byte> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> chars((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::byte> bytes(chars.size());
  for (std::size_t i = 0; i < chars.size(); ++i) bytes[i] = static_cast<std::byte>(chars[i]);
  return bytes;
}

void WriteFile(const std::string& path, const std::vector<std::byte>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

Parts ReadParts(const std::string& path) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
  if (!archive) throw std::runtime_error("zip_open failed");
  Parts parts;
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t st;
    zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st);
    std::string content(st.size, '\0');
    zip_file_t* f = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
    zip_fread(f, content.data(), content.size());
    zip_fclose(f);
    parts[st.name] = std::move(content);
  }
  zip_discard(archive);
  return parts;
}

}  // namespace cw::sheet::testing
