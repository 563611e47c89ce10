#include "sheet/xls/biff_globals.h"

#include <algorithm>
#include <optional>

#include "sheet/xls/xls_error.h"

namespace cw::sheet {
namespace {

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

// Reads the BOF at the cursor and returns its substream kind; fails with the old format's
// name for BIFF2-4.
std::uint16_t ReadBof(BiffCursor& cursor, BiffVersion& version) {
  const std::size_t at = cursor.Position();
  const BiffRecord r = cursor.Next();
  switch (r.type) {
    case biff::kBofBiff2:
      FailBiff(XlsErrorCode::kBiff2, at);
    case biff::kBofBiff3:
      FailBiff(XlsErrorCode::kBiff3, at);
    case biff::kBofBiff4:
      FailBiff(XlsErrorCode::kBiff4, at);
    case biff::kBof:
      break;
    default:
      FailBiff(XlsErrorCode::kRecordDamaged, at);
  }
  if (r.data.size() < 4) FailBiff(XlsErrorCode::kRecordDamaged, at);
  const std::uint16_t vers = Le16(r.data, 0);
  if (vers == 0x0600) {
    version = BiffVersion::kBiff8;
  } else if (vers == 0x0500) {
    version = BiffVersion::kBiff5;
  } else {
    FailBiff(XlsErrorCode::kUnknownBiffVersion, at);
  }
  return Le16(r.data, 2);
}

struct SheetEntry {
  std::string name;
  std::uint32_t position = 0;  // stream offset of the sheet's BOF record
  std::uint8_t type = 0;
};

// One handler per record kind of the globals substream.
class GlobalsReader {
 public:
  GlobalsReader(BiffGlobals& out, bool decrypted) : out_(out), decrypted_(decrypted) {}

  void Read(BiffCursor& cursor);
  const std::vector<SheetEntry>& Sheets() const { return sheets_; }
  // The selected tab of the workbook window, or SIZE_MAX when no WINDOW1 says.
  std::size_t ActiveTab() const { return active_tab_; }

 private:
  void OnCodePage(const BiffRecord& r);
  void OnDateMode(const BiffRecord& r);
  void OnWindow1(const BiffRecord& r);
  void OnFormat(const BiffRecord& r);
  void OnXf(const BiffRecord& r);
  void OnBoundSheet(const BiffRecord& r);
  void OnSst(const BiffRecord& first, BiffCursor& cursor);

  BiffGlobals& out_;
  bool decrypted_;
  std::vector<SheetEntry> sheets_;
  std::size_t active_tab_ = SIZE_MAX;
};

void GlobalsReader::Read(BiffCursor& cursor) {
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
        if (!decrypted_) FailBiff(XlsErrorCode::kPasswordProtected, r.offset);
        break;
      case biff::kCodePage:
        OnCodePage(r);
        break;
      case biff::kDateMode:
        OnDateMode(r);
        break;
      case biff::kWindow1:
        OnWindow1(r);
        break;
      case biff::kFormat:
        OnFormat(r);
        break;
      case biff::kXf:
        OnXf(r);
        break;
      case biff::kBoundSheet:
        OnBoundSheet(r);
        break;
      case biff::kSst:
        if (out_.strings.version == BiffVersion::kBiff8) OnSst(r, cursor);
        break;
      default:
        break;
    }
  }
}

void GlobalsReader::OnCodePage(const BiffRecord& r) {
  NeedData(r, 2);
  // BIFF8 strings carry their own encoding. Excel 95 never writes 1200 (UTF-16) here,
  // but Gnumeric does, and then writes each non-ASCII string as UTF-16LE bytes.
  BiffStrings& s = out_.strings;
  if (s.version == BiffVersion::kBiff5) {
    const std::uint16_t code_page = Le16(r.data, 0);
    s.biff5_utf16 = code_page == 1200;
    s.decoder = CodePageDecoder(s.biff5_utf16 ? 1252 : code_page);
  }
}

void GlobalsReader::OnDateMode(const BiffRecord& r) {
  NeedData(r, 2);
  out_.workbook.date_system = Le16(r.data, 0) == 1 ? DateSystem::k1904 : DateSystem::k1900;
}

void GlobalsReader::OnWindow1(const BiffRecord& r) {
  // The first WINDOW1 is the workbook window; itabCur (+10) is the selected tab.
  if (active_tab_ == SIZE_MAX && r.data.size() >= 12) active_tab_ = Le16(r.data, 10);
}

void GlobalsReader::OnFormat(const BiffRecord& r) {
  NeedData(r, 3);
  const std::uint32_t id = Le16(r.data, 0);
  std::size_t at = 2;
  std::string code = out_.strings.RecordString(r, at, out_.strings.version == BiffVersion::kBiff5);
  out_.workbook.custom_formats[id] = std::move(code);
}

void GlobalsReader::OnXf(const BiffRecord& r) {
  NeedData(r, 4);
  out_.workbook.style_formats.push_back(Le16(r.data, 2));  // ifmt at +2 in BIFF5 and BIFF8
}

void GlobalsReader::OnBoundSheet(const BiffRecord& r) {
  NeedData(r, 7);
  SheetEntry e;
  e.position = Le32(r.data, 0);
  e.type = std::to_integer<std::uint8_t>(r.data[5]);  // +4 is the visibility: hidden sheets are kept
  std::size_t at = 6;
  e.name = out_.strings.RecordString(r, at, true);
  sheets_.push_back(std::move(e));
}

void GlobalsReader::OnSst(const BiffRecord& first, BiffCursor& cursor) {
  ContinuedReader in(first, cursor);
  in.U32();  // cstTotal: how often strings are used, not needed
  const std::uint32_t unique = in.U32();
  StringPool& strings = out_.workbook.strings;
  // Every string takes at least three bytes, so the data bounds what we reserve.
  strings.reserve(std::min<std::size_t>(unique, in.Remaining() / 3), in.Remaining());
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
    strings.push_back(text);
  }
  out_.shared_string_count = strings.size();
}

}  // namespace

std::string BiffStrings::RecordString(const BiffRecord& r, std::size_t& at, bool byte_length) {
  const std::size_t length_size = byte_length ? 1 : 2;
  NeedData(r, at + length_size);
  const std::size_t count = byte_length ? std::to_integer<std::size_t>(r.data[at]) : Le16(r.data, at);
  at += length_size;
  std::string text;
  if (version == BiffVersion::kBiff5) {
    NeedData(r, at + count);
    const auto bytes = r.data.subspan(at, count);
    if (biff5_utf16 && LooksLikeUtf16(bytes)) {
      std::u16string units(count / 2, u'\0');
      for (std::size_t i = 0; i < units.size(); ++i) units[i] = static_cast<char16_t>(Le16(bytes, 2 * i));
      AppendUtf16(units, text);
    } else {
      decoder.Append(bytes, text);
    }
    at += count;
    return text;
  }
  NeedData(r, at + 1);
  const unsigned flags = std::to_integer<unsigned>(r.data[at++]);
  const std::size_t width = (flags & 0x01) ? 2 : 1;
  // A rich or phonetic string carries a run count and an extension size first.
  std::size_t runs = 0, extension = 0;
  if (flags & 0x08) {
    NeedData(r, at + 2);
    runs = Le16(r.data, at);
    at += 2;
  }
  if (flags & 0x04) {
    NeedData(r, at + 4);
    extension = Le32(r.data, at);
    at += 4;
  }
  if (r.data.size() - at < count * width) FailBiff(XlsErrorCode::kRecordDamaged, r.offset);
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

BiffGlobals ReadBiffGlobals(std::span<const std::byte> stream, bool decrypted) {
  BiffGlobals out;
  BiffCursor cursor(stream);
  const std::uint16_t kind = ReadBof(cursor, out.strings.version);
  if (kind == kBofWorksheet) {
    // A bare worksheet stream without workbook globals: one sheet.
    out.workbook.sheets.emplace_back("Sheet1");
    out.sheet_offsets.push_back(0);
    return out;
  }
  if (kind != kBofGlobals) FailBiff(XlsErrorCode::kRecordDamaged, 0);
  GlobalsReader globals(out, decrypted);
  globals.Read(cursor);

  std::optional<std::size_t> active;
  const std::vector<SheetEntry>& sheets = globals.Sheets();
  // Two sheets at one place are never written; a crafted file uses them to make one
  // substream read over and over.
  std::vector<std::uint32_t> positions;
  positions.reserve(sheets.size());
  for (const SheetEntry& entry : sheets) positions.push_back(entry.position);
  std::sort(positions.begin(), positions.end());
  if (std::adjacent_find(positions.begin(), positions.end()) != positions.end()) {
    FailBiff(XlsErrorCode::kRecordDamaged, 0);
  }
  std::vector<std::string> names;
  names.reserve(sheets.size());
  for (const SheetEntry& entry : sheets) names.push_back(entry.name);
  if (CaseTwins(names)) FailXls(XlsErrorCode::kSheetNameTwins, 0);
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    const SheetEntry& entry = sheets[i];
    if (entry.type != kSheetTypeWorksheet) continue;  // charts, macro sheets and modules hold no cells
    if (entry.position >= stream.size()) FailBiff(XlsErrorCode::kRecordTruncated, entry.position);
    BiffCursor at(stream, entry.position);
    BiffVersion sheet_version = out.strings.version;
    if (ReadBof(at, sheet_version) != kBofWorksheet) continue;  // a dialog or other sheet kind
    if (globals.ActiveTab() == i) active = out.workbook.sheets.size();
    out.workbook.sheets.emplace_back(entry.name);
    out.sheet_offsets.push_back(entry.position);
  }
  if (out.workbook.sheets.empty()) FailBiff(XlsErrorCode::kNoWorksheets, 0);
  // An active chart sheet leaves the first worksheet active.
  out.workbook.active_sheet = active.value_or(0);
  return out;
}

}  // namespace cw::sheet
