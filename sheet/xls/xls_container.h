// The BIFF workbook stream of an .xls file: found in its compound file ("Workbook", or
// Excel 95's "Book"), or the file itself when it is a bare BIFF5/8 stream, and decrypted
// when the workbook is protected with the default password only.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace cw::sheet {

struct XlsWorkbookStream {
  std::span<const std::byte> stream;  // into the file's bytes, or into `storage`
  std::vector<std::byte> storage;     // a copy when the stream's sectors are scattered or it was decrypted
  bool decrypted = false;
};

// Finds (and decrypts) the workbook stream. The file's bytes must outlive the result.
// Throws XlsReadError for a file that is no .xls workbook, damaged, or protected by a
// password of its own.
XlsWorkbookStream OpenXlsContainer(std::span<const std::byte> bytes);

}  // namespace cw::sheet
