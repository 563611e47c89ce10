// The BIFF layer of the .xls reader: the workbook globals (sheets, active sheet, date
// system, code page, number formats, cell formats, shared strings) and then each
// worksheet's cell records, into the workbook model. BIFF8 (Excel 97-2003) and BIFF5/7
// (Excel 5 and 95) share one walk; they differ only in how strings and a few records are
// laid out ([MS-XLS] 2.4; BIFF5 layouts per the Excel 95 file format documentation).
#include "sheet/xls/xls_reader.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "sheet/xls/biff_records.h"
#include "sheet/xls/biff_text.h"
#include "sheet/xls/compound_file.h"
#include "sheet/xls/xls_error.h"

namespace cw::sheet {
namespace {

enum class BiffVersion { kBiff5, kBiff8 };

// BOF dt values ([MS-XLS] 2.4.21).
constexpr std::uint16_t kBofGlobals = 0x0005;
constexpr std::uint16_t kBofWorksheet = 0x0010;
// BOUNDSHEET dt values ([MS-XLS] 2.4.28): 0 worksheet or dialog sheet, 1 macro sheet,
// 2 chart sheet, 6 VBA module.
constexpr std::uint8_t kSheetTypeWorksheet = 0;

// Whether 8-bit string data is UTF-16LE in disguise: an even length and a byte below
// 0x20, which text in a code page never has but UTF-16 of Latin or Cyrillic letters does.
bool LooksLikeUtf16(std::span<const std::byte> bytes) {
  if (bytes.size() % 2 != 0) return false;
  return std::any_of(bytes.begin(), bytes.end(), [](std::byte b) { return std::to_integer<unsigned>(b) < 0x20; });
}

struct SheetEntry {
  std::string name;
  std::uint32_t position = 0;  // stream offset of the sheet's BOF record
  std::uint8_t type = 0;
};

// A FORMULA whose cached string result comes in the STRING record after it.
struct PendingString {
  bool active = false;
  std::uint32_t row = 0;
  std::uint16_t column = 0;
  std::uint32_t style = 0;
};

class BiffWorkbookReader {
 public:
  explicit BiffWorkbookReader(std::span<const std::byte> stream) : stream_(stream) {}

  Workbook Read();

 private:
  void ReadGlobals(BiffCursor& cursor);
  void ReadSheet(std::size_t position, Worksheet& sheet);
  void ReadSst(const BiffRecord& first, BiffCursor& cursor);

  // A string whose length is a byte (BIFF8 ShortXLUnicodeString, BIFF5 8-bit) or a 16-bit
  // word (BIFF8 XLUnicodeString, BIFF5 8-bit), read from data[at]; `at` moves past it.
  std::string RecordString(const BiffRecord& r, std::size_t& at, bool byte_length);
  void Need(const BiffRecord& r, std::size_t length) const {
    if (r.data.size() < length) FailXls(XlsErrorCode::kRecordDamaged, r.offset);
  }
  void AddCell(Worksheet& sheet, const BiffRecord& r, std::uint32_t row, std::uint32_t column, std::uint32_t style,
               Cell cell);
  void AddString(Worksheet& sheet, const BiffRecord& r, std::uint32_t row, std::uint32_t column, std::uint32_t style,
                 std::string text);

  std::span<const std::byte> stream_;
  BiffVersion version_ = BiffVersion::kBiff8;
  CodePageDecoder decoder_{1252};
  bool biff5_utf16_ = false;
  Workbook workbook_;
  std::size_t shared_string_count_ = 0;
  std::vector<SheetEntry> sheets_;
  std::optional<std::size_t> active_tab_;
  // Sheet substreams are read where BOUNDSHEET says they start. A hostile file may point
  // many sheets at one substream, or nest them: the bytes walked and the cells reserved
  // over all sheets are bounded by the stream's size, so work and memory stay linear.
  std::size_t walk_budget_ = 0;
  std::size_t reserve_budget_ = 0;
};

// Reads the BOF at the cursor; fails with the old format's name for BIFF2-4.
std::uint16_t ReadBof(BiffCursor& cursor, BiffVersion& version) {
  const std::size_t at = cursor.Position();
  const BiffRecord r = cursor.Next();
  switch (r.type) {
    case biff::kBofBiff2:
      FailXls(XlsErrorCode::kBiff2, at);
    case biff::kBofBiff3:
      FailXls(XlsErrorCode::kBiff3, at);
    case biff::kBofBiff4:
      FailXls(XlsErrorCode::kBiff4, at);
    case biff::kBof:
      break;
    default:
      FailXls(XlsErrorCode::kRecordDamaged, at);
  }
  if (r.data.size() < 4) FailXls(XlsErrorCode::kRecordDamaged, at);
  const std::uint16_t vers = Le16(r.data, 0);
  if (vers == 0x0600) {
    version = BiffVersion::kBiff8;
  } else if (vers == 0x0500) {
    version = BiffVersion::kBiff5;
  } else {
    FailXls(XlsErrorCode::kUnknownBiffVersion, at);
  }
  return Le16(r.data, 2);
}

Workbook BiffWorkbookReader::Read() {
  walk_budget_ = 2 * stream_.size() + 4096;
  reserve_budget_ = stream_.size() / 6;  // a cell record takes at least 6 bytes (in MULRK)
  BiffCursor cursor(stream_);
  const std::uint16_t kind = ReadBof(cursor, version_);
  if (kind == kBofWorksheet) {
    // A bare worksheet stream without workbook globals: one sheet.
    workbook_.sheets.emplace_back("Sheet1");
    ReadSheet(0, workbook_.sheets.back());
    return std::move(workbook_);
  }
  if (kind != kBofGlobals) FailXls(XlsErrorCode::kRecordDamaged, 0);
  ReadGlobals(cursor);

  std::optional<std::size_t> active;
  for (std::size_t i = 0; i < sheets_.size(); ++i) {
    const SheetEntry& entry = sheets_[i];
    if (entry.type != kSheetTypeWorksheet) continue;  // charts, macro sheets and modules hold no cells
    if (entry.position >= stream_.size()) FailXls(XlsErrorCode::kRecordTruncated, entry.position);
    BiffCursor at(stream_, entry.position);
    BiffVersion sheet_version = version_;
    if (ReadBof(at, sheet_version) != kBofWorksheet) continue;  // a dialog or other sheet kind
    if (active_tab_ == i) active = workbook_.sheets.size();
    workbook_.sheets.emplace_back(entry.name);
    ReadSheet(entry.position, workbook_.sheets.back());
  }
  if (workbook_.sheets.empty()) FailXls(XlsErrorCode::kNoWorksheets, 0);
  // An active chart sheet leaves the first worksheet active.
  workbook_.active_sheet = active.value_or(0);
  return std::move(workbook_);
}

std::string BiffWorkbookReader::RecordString(const BiffRecord& r, std::size_t& at, bool byte_length) {
  const std::size_t length_size = byte_length ? 1 : 2;
  Need(r, at + length_size);
  const std::size_t count = byte_length ? std::to_integer<std::size_t>(r.data[at]) : Le16(r.data, at);
  at += length_size;
  std::string text;
  if (version_ == BiffVersion::kBiff5) {
    Need(r, at + count);
    const auto bytes = r.data.subspan(at, count);
    if (biff5_utf16_ && LooksLikeUtf16(bytes)) {
      std::u16string units(count / 2, u'\0');
      for (std::size_t i = 0; i < units.size(); ++i) units[i] = static_cast<char16_t>(Le16(bytes, 2 * i));
      AppendUtf16(units, text);
    } else {
      decoder_.Append(bytes, text);
    }
    at += count;
    return text;
  }
  Need(r, at + 1);
  const unsigned flags = std::to_integer<unsigned>(r.data[at++]);
  const std::size_t width = (flags & 0x01) ? 2 : 1;
  // A rich or phonetic string carries a run count and an extension size first.
  std::size_t runs = 0, extension = 0;
  if (flags & 0x08) {
    Need(r, at + 2);
    runs = Le16(r.data, at);
    at += 2;
  }
  if (flags & 0x04) {
    Need(r, at + 4);
    extension = Le32(r.data, at);
    at += 4;
  }
  if (r.data.size() - at < count * width) FailXls(XlsErrorCode::kRecordDamaged, r.offset);
  const auto bytes = r.data.subspan(at, count * width);
  at += count * width;
  if (width == 1) {
    AppendLatin1(bytes, text);
  } else {
    std::u16string units(count, u'\0');
    for (std::size_t i = 0; i < count; ++i) units[i] = static_cast<char16_t>(Le16(bytes, 2 * i));
    AppendUtf16(units, text);
  }
  const std::size_t tail = runs * 4 + extension;
  at = std::min(r.data.size(), at + std::min(tail, r.data.size()));
  return text;
}

void BiffWorkbookReader::ReadGlobals(BiffCursor& cursor) {
  while (true) {
    const BiffRecord r = cursor.Next();
    switch (r.type) {
      case biff::kEof:
        return;
      case biff::kBof:
        // A nested substream inside the globals: skip to its end.
        while (cursor.Next().type != biff::kEof) {
        }
        break;
      case biff::kFilePass:
        FailXls(XlsErrorCode::kPasswordProtected, r.offset);
      case biff::kCodePage:
        Need(r, 2);
        // BIFF8 strings carry their own encoding. Excel 95 never writes 1200 (UTF-16) here,
        // but Gnumeric does, and then writes each non-ASCII string as UTF-16LE bytes.
        if (version_ == BiffVersion::kBiff5) {
          const std::uint16_t code_page = Le16(r.data, 0);
          biff5_utf16_ = code_page == 1200;
          decoder_ = CodePageDecoder(biff5_utf16_ ? 1252 : code_page);
        }
        break;
      case biff::kDateMode:
        Need(r, 2);
        workbook_.date_system = Le16(r.data, 0) == 1 ? DateSystem::k1904 : DateSystem::k1900;
        break;
      case biff::kWindow1:
        // The first WINDOW1 is the workbook window; itabCur (+10) is the selected tab.
        if (!active_tab_ && r.data.size() >= 12) active_tab_ = Le16(r.data, 10);
        break;
      case biff::kFormat: {
        Need(r, 3);
        const std::uint32_t id = Le16(r.data, 0);
        std::size_t at = 2;
        std::string code = RecordString(r, at, version_ == BiffVersion::kBiff5);
        workbook_.custom_formats[id] = std::move(code);
        break;
      }
      case biff::kXf:
        Need(r, 4);
        workbook_.style_formats.push_back(Le16(r.data, 2));  // ifmt at +2 in BIFF5 and BIFF8
        break;
      case biff::kBoundSheet: {
        Need(r, 7);
        SheetEntry e;
        e.position = Le32(r.data, 0);
        e.type = std::to_integer<std::uint8_t>(r.data[5]);  // +4 is the visibility: hidden sheets are kept
        std::size_t at = 6;
        e.name = RecordString(r, at, true);
        sheets_.push_back(std::move(e));
        break;
      }
      case biff::kSst:
        if (version_ == BiffVersion::kBiff8) ReadSst(r, cursor);
        break;
      default:
        break;
    }
  }
}

void BiffWorkbookReader::ReadSst(const BiffRecord& first, BiffCursor& cursor) {
  ContinuedReader in(first, cursor);
  in.U32();  // cstTotal: how often strings are used, not needed
  const std::uint32_t unique = in.U32();
  // Every string takes at least three bytes, so the data bounds what we reserve.
  workbook_.strings.reserve(std::min<std::size_t>(unique, in.Remaining() / 3));
  std::string text;
  for (std::uint32_t i = 0; i < unique && !in.AtEnd(); ++i) {
    const std::uint16_t count = in.U16();
    const std::uint8_t flags = in.U8();
    const std::uint16_t runs = (flags & 0x08) ? in.U16() : 0;       // fRichSt: formatting runs
    const std::uint32_t extension = (flags & 0x04) ? in.U32() : 0;  // fExtSt: phonetic block
    text.clear();
    in.Chars(count, (flags & 0x01) != 0, text);
    in.Skip(std::size_t{runs} * 4);
    in.Skip(extension);
    workbook_.strings.push_back(text);
  }
  shared_string_count_ = workbook_.strings.size();
}

void BiffWorkbookReader::AddCell(Worksheet& sheet, const BiffRecord& r, std::uint32_t row, std::uint32_t column,
                                 std::uint32_t style, Cell cell) {
  if (row >= kMaxRows || column >= kMaxColumns) FailXls(XlsErrorCode::kRecordDamaged, r.offset);
  cell.row = row;
  cell.column = static_cast<std::uint16_t>(column);
  cell.style = style;
  sheet.Add(cell);
}

void BiffWorkbookReader::AddString(Worksheet& sheet, const BiffRecord& r, std::uint32_t row, std::uint32_t column,
                                   std::uint32_t style, std::string text) {
  // An empty string shows nothing, the same as an empty cell.
  if (text.empty()) return;
  Cell cell;
  cell.kind = CellKind::kString;
  cell.string_index = workbook_.AddString(std::move(text));
  AddCell(sheet, r, row, column, style, cell);
}

void BiffWorkbookReader::ReadSheet(std::size_t position, Worksheet& sheet) {
  BiffCursor cursor(stream_, position);
  cursor.Next();  // the BOF, checked by the caller
  int depth = 1;  // charts embedded in a worksheet come as nested BOF ... EOF substreams
  PendingString pending;
  while (depth > 0) {
    const BiffRecord r = cursor.Next();
    const auto& d = r.data;
    if (walk_budget_ < 4 + d.size()) FailXls(XlsErrorCode::kRecordDamaged, r.offset);
    walk_budget_ -= 4 + d.size();
    if (r.type == biff::kBof) {
      ++depth;
      continue;
    }
    if (r.type == biff::kEof) {
      --depth;
      continue;
    }
    if (depth > 1) continue;
    switch (r.type) {
      case biff::kDimensions: {
        // The used range as the writer saw it: only a hint to size the cell store.
        const bool wide = version_ == BiffVersion::kBiff8;
        if (d.size() < (wide ? 12u : 8u)) break;
        const std::uint64_t rows = wide ? std::uint64_t{Le32(d, 4)} - std::min(Le32(d, 0), Le32(d, 4))
                                        : std::uint64_t{Le16(d, 2)} - std::min(Le16(d, 0), Le16(d, 2));
        const std::size_t c = wide ? 8 : 4;
        const std::uint64_t columns = Le16(d, c + 2) - std::min(Le16(d, c), Le16(d, c + 2));
        const std::size_t reserve = static_cast<std::size_t>(std::min<std::uint64_t>(rows * columns, reserve_budget_));
        reserve_budget_ -= reserve;
        sheet.Reserve(reserve);
        break;
      }
      case biff::kNumber: {
        Need(r, 14);
        pending.active = false;
        Cell cell;
        cell.number = LeDouble(d, 6);
        AddCell(sheet, r, Le16(d, 0), Le16(d, 2), Le16(d, 4), cell);
        break;
      }
      case biff::kRk: {
        Need(r, 10);
        pending.active = false;
        Cell cell;
        cell.number = DecodeRk(Le32(d, 6));
        AddCell(sheet, r, Le16(d, 0), Le16(d, 2), Le16(d, 4), cell);
        break;
      }
      case biff::kMulRk: {
        // rw, colFirst, then (ixfe, rk) per cell, then colLast.
        Need(r, 6);
        pending.active = false;
        const std::uint16_t row = Le16(d, 0);
        const std::uint32_t first = Le16(d, 2);
        const std::size_t count = (d.size() - 6) / 6;
        for (std::size_t i = 0; i < count; ++i) {
          Cell cell;
          cell.number = DecodeRk(Le32(d, 4 + 6 * i + 2));
          AddCell(sheet, r, row, first + static_cast<std::uint32_t>(i), Le16(d, 4 + 6 * i), cell);
        }
        break;
      }
      case biff::kLabelSst: {
        Need(r, 10);
        pending.active = false;
        const std::uint32_t index = Le32(d, 6);
        if (index >= shared_string_count_) FailXls(XlsErrorCode::kRecordDamaged, r.offset);
        if (workbook_.strings[index].empty()) break;
        Cell cell;
        cell.kind = CellKind::kString;
        cell.string_index = index;
        AddCell(sheet, r, Le16(d, 0), Le16(d, 2), Le16(d, 4), cell);
        break;
      }
      case biff::kLabel:
      case biff::kRString: {
        Need(r, 8);
        pending.active = false;
        std::size_t at = 6;
        std::string text = RecordString(r, at, false);
        AddString(sheet, r, Le16(d, 0), Le16(d, 2), Le16(d, 4), std::move(text));
        break;
      }
      case biff::kBoolErr: {
        Need(r, 8);
        pending.active = false;
        Cell cell;
        const std::uint8_t value = std::to_integer<std::uint8_t>(d[6]);
        if (std::to_integer<unsigned>(d[7]) != 0) {
          const auto error = ErrorFromBiffCode(value);
          if (!error) break;  // an error code no spreadsheet writes
          cell.kind = CellKind::kError;
          cell.error = *error;
        } else {
          cell.kind = CellKind::kBoolean;
          cell.boolean = value != 0;
        }
        AddCell(sheet, r, Le16(d, 0), Le16(d, 2), Le16(d, 4), cell);
        break;
      }
      case biff::kFormula: {
        // rw, col, ixfe, then the cached result (8 bytes): a double, or when its last two
        // bytes are FFFF a type byte at +0: 0 string (in the STRING record that follows),
        // 1 boolean, 2 error (value at +2), 3 empty string.
        Need(r, 14);
        pending.active = false;
        const std::uint32_t row = Le16(d, 0), column = Le16(d, 2), style = Le16(d, 4);
        if (Le16(d, 12) != 0xFFFF) {
          Cell cell;
          cell.number = LeDouble(d, 6);
          AddCell(sheet, r, row, column, style, cell);
          break;
        }
        const unsigned type = std::to_integer<unsigned>(d[6]);
        const std::uint8_t value = std::to_integer<std::uint8_t>(d[8]);
        Cell cell;
        if (type == 0) {
          if (row >= kMaxRows || column >= kMaxColumns) FailXls(XlsErrorCode::kRecordDamaged, r.offset);
          pending = PendingString{true, row, static_cast<std::uint16_t>(column), style};
        } else if (type == 1) {
          cell.kind = CellKind::kBoolean;
          cell.boolean = value != 0;
          AddCell(sheet, r, row, column, style, cell);
        } else if (type == 2) {
          if (const auto error = ErrorFromBiffCode(value)) {
            cell.kind = CellKind::kError;
            cell.error = *error;
            AddCell(sheet, r, row, column, style, cell);
          }
        }
        break;
      }
      case biff::kString: {
        if (!pending.active) break;  // a STRING without its FORMULA holds nothing we show
        std::string text;
        if (version_ == BiffVersion::kBiff5) {
          std::size_t at = 0;
          text = RecordString(r, at, false);
        } else {
          ContinuedReader in(r, cursor);
          const std::uint16_t count = in.U16();
          const std::uint8_t flags = in.U8();
          in.Chars(count, (flags & 0x01) != 0, text);
        }
        AddString(sheet, r, pending.row, pending.column, pending.style, std::move(text));
        pending.active = false;
        break;
      }
      default:
        break;
    }
  }
  sheet.Finish();
}

}  // namespace

Workbook ReadXls(std::span<const std::byte> bytes) {
  if (CompoundFile::HasSignature(bytes)) {
    const CompoundFile file(bytes);
    if (file.HasStream(u"EncryptedPackage") && file.HasStream(u"EncryptionInfo")) {
      FailXls(XlsErrorCode::kEncryptedPackage, 0);
    }
    // Excel 97 and later write "Workbook"; Excel 5 and 95 write "Book". A file saved for
    // both may hold the two, and "Workbook" is the newer and complete one.
    std::vector<std::byte> storage;
    std::optional<std::span<const std::byte>> stream = file.StreamBytes(u"Workbook", storage);
    if (!stream) stream = file.StreamBytes(u"Book", storage);
    if (!stream) FailXls(XlsErrorCode::kNoWorkbookStream, 0);
    return BiffWorkbookReader(*stream).Read();
  }
  // Excel 2.1 to 4.0 wrote bare BIFF streams, not compound files; some tools still write a
  // bare BIFF5 or BIFF8 stream, which reads like the stream inside a compound file.
  if (bytes.size() >= 4 && std::to_integer<unsigned>(bytes[0]) == 0x09) {
    const unsigned second = std::to_integer<unsigned>(bytes[1]);
    if (second == 0x00 || second == 0x02 || second == 0x04 || second == 0x08) {
      return BiffWorkbookReader(bytes).Read();
    }
  }
  FailXls(XlsErrorCode::kNotXls, 0);
}

}  // namespace cw::sheet
