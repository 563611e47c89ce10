// The workbook globals of a BIFF stream ([MS-XLS] 2.1.7.20.1): sheets and where their
// substreams start, the active sheet, date system, code page, number formats, cell formats
// and shared strings, read into a workbook model whose sheets hold no cells yet. Both the
// whole-workbook read and the streaming read start here. BIFF8 (Excel 97-2003) and BIFF5/7
// (Excel 5 and 95) share one walk; they differ only in how strings and a few records are
// laid out ([MS-XLS] 2.4; BIFF5 layouts per the Excel 95 file format documentation).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sheet/workbook.h"
#include "sheet/xls/biff_records.h"
#include "sheet/xls/biff_text.h"

namespace cw::sheet {

enum class BiffVersion { kBiff5, kBiff8 };

// Strings inside records, in the forms of the stream's BIFF version and code page.
class BiffStrings {
 public:
  BiffVersion version = BiffVersion::kBiff8;
  // A BIFF5 stream whose CODEPAGE says 1200 (Gnumeric) holds non-ASCII strings as UTF-16LE.
  bool biff5_utf16 = false;
  CodePageDecoder decoder{1252};

  // A string whose length is a byte (BIFF8 ShortXLUnicodeString, BIFF5 8-bit) or a 16-bit
  // word (BIFF8 XLUnicodeString, BIFF5 8-bit), read from data[at]; `at` moves past it.
  // Throws XlsReadError(kRecordDamaged) when the record ends first.
  std::string RecordString(const BiffRecord& r, std::size_t& at, bool byte_length);
};

// Bounds on the work of reading sheets: a hostile file may point many sheets at one
// substream, or nest them, so the bytes walked and the cells reserved over all sheets are
// bounded by the stream's size, keeping work and memory linear.
struct WalkBudget {
  explicit WalkBudget(std::size_t stream_size)
      : bytes(2 * stream_size + 4096), cells(stream_size / 6) {}  // a cell record takes at least 6 bytes (in MULRK)
  std::size_t bytes;
  std::size_t cells;
};

struct BiffGlobals {
  Workbook workbook;                       // sheets named, in order, without cells
  std::vector<std::size_t> sheet_offsets;  // per workbook sheet: stream offset of its BOF record
  std::size_t shared_string_count = 0;     // workbook.strings[0, count) are the SST's strings
  BiffStrings strings;
};

// Reads the globals of `stream`. A bare worksheet stream (no globals) gives one sheet
// "Sheet1". `decrypted` says the stream was decrypted already, so its FILEPASS record is
// passed over; otherwise FILEPASS is refused as password-protected. Throws XlsReadError.
BiffGlobals ReadBiffGlobals(std::span<const std::byte> stream, bool decrypted);

}  // namespace cw::sheet
