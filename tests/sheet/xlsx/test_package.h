// Test helpers for the .xlsx reader: zip packages built from given parts, workbooks written
// by libxlsxwriter into a temporary folder, and parts of a written package patched.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct lxw_workbook;

namespace cw::sheet::testing {

using Parts = std::map<std::string, std::string>;

// A zip archive holding `parts`, name -> content; deflated, or stored when `stored`.
std::vector<std::byte> ZipBytes(const Parts& parts, bool stored = false);

// The parts of a minimal transitional workbook with one sheet "Sheet1" whose <sheetData>
// content is `sheet_data`; `shared` holds the <si> items of sharedStrings.xml (no part when
// empty), `cell_xfs` the <xf> items of cellXfs and `num_fmts` the <numFmt> items.
Parts MinimalParts(const std::string& sheet_data, const std::vector<std::string>& shared = {},
                   const std::string& num_fmts = {}, const std::string& cell_xfs = "<xf numFmtId=\"0\"/>");

// A temporary folder removed with this object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Writes a workbook at `path` with libxlsxwriter; `fill` adds sheets and cells.
void WriteWorkbook(const std::string& path, const std::function<void(lxw_workbook*)>& fill,
                   bool constant_memory = false);

// The bytes of a file.
std::vector<std::byte> FileBytes(const std::string& path);
void WriteFile(const std::string& path, const std::vector<std::byte>& bytes);
void WriteFile(const std::string& path, const std::string& text);

// The parts of the zip archive at `path`.
Parts ReadParts(const std::string& path);

}  // namespace cw::sheet::testing
