// The record layer of a BIFF stream ([MS-XLS] 2.1.4): records of a 16-bit type and a
// 16-bit length, and the CONTINUE records that carry the rest of a long SST or STRING.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sheet/little_endian.h"

namespace cw::sheet {

namespace biff {
// Record types ([MS-XLS] 2.3), BIFF5 and BIFF8 unless noted.
inline constexpr std::uint16_t kFormula = 0x0006;
inline constexpr std::uint16_t kEof = 0x000A;
inline constexpr std::uint16_t kDateMode = 0x0022;  // DATE1904
inline constexpr std::uint16_t kFilePass = 0x002F;
inline constexpr std::uint16_t kContinue = 0x003C;
inline constexpr std::uint16_t kWindow1 = 0x003D;
inline constexpr std::uint16_t kCodePage = 0x0042;
inline constexpr std::uint16_t kBoundSheet = 0x0085;
inline constexpr std::uint16_t kMulRk = 0x00BD;
inline constexpr std::uint16_t kMulBlank = 0x00BE;
inline constexpr std::uint16_t kRString = 0x00D6;
inline constexpr std::uint16_t kXf = 0x00E0;
inline constexpr std::uint16_t kSst = 0x00FC;
inline constexpr std::uint16_t kLabelSst = 0x00FD;
inline constexpr std::uint16_t kDimensions = 0x0200;
inline constexpr std::uint16_t kBlank = 0x0201;
inline constexpr std::uint16_t kNumber = 0x0203;
inline constexpr std::uint16_t kLabel = 0x0204;
inline constexpr std::uint16_t kBoolErr = 0x0205;
inline constexpr std::uint16_t kString = 0x0207;
inline constexpr std::uint16_t kRk = 0x027E;
inline constexpr std::uint16_t kFormat = 0x041E;
inline constexpr std::uint16_t kBof = 0x0809;
inline constexpr std::uint16_t kBofBiff2 = 0x0009;
inline constexpr std::uint16_t kBofBiff3 = 0x0209;
inline constexpr std::uint16_t kBofBiff4 = 0x0409;
}  // namespace biff

struct BiffRecord {
  std::uint16_t type = 0;
  std::span<const std::byte> data;
  std::size_t offset = 0;  // of the record header in the stream
};

// Walks the records of a stream. Throws XlsReadError(kRecordTruncated) for a record whose
// header or data runs past the end.
class BiffCursor {
 public:
  explicit BiffCursor(std::span<const std::byte> stream, std::size_t position = 0)
      : stream_(stream), position_(position) {}

  bool AtEnd() const { return position_ >= stream_.size(); }
  std::size_t Position() const { return position_; }
  // The type of the next record, without moving; 0xFFFF (no record has it) at the end.
  std::uint16_t PeekType() const;
  BiffRecord Next();

 private:
  std::span<const std::byte> stream_;
  std::size_t position_;
};

// The data of one record and the CONTINUE records after it, read as one. Characters of a
// string that crosses into a CONTINUE record start there with a fresh option byte that
// says whether they are one byte (Latin-1) or two (UTF-16); every other field is plain
// bytes across the boundary. Throws XlsReadError(kRecordTruncated) when the data runs out.
class ContinuedReader {
 public:
  // Takes `first` and every CONTINUE record that follows it from `cursor`.
  ContinuedReader(const BiffRecord& first, BiffCursor& cursor);

  bool AtEnd();
  std::uint8_t U8();
  std::uint16_t U16();
  std::uint32_t U32();
  void Skip(std::size_t count);
  // Appends `count` characters as UTF-8, the first of them `two_byte` wide.
  void Chars(std::size_t count, bool two_byte, std::string& out);
  // Bytes left in all pieces: an upper bound for what the data can still hold.
  std::size_t Remaining() const;
  // Stream offset of the next byte, for error reports.
  std::size_t Offset() const;

 private:
  bool NextPiece();

  std::vector<BiffRecord> pieces_;
  std::size_t piece_ = 0;
  std::size_t at_ = 0;
  std::u16string scratch_;
};

// Throws XlsReadError(kRecordDamaged) when the record's data is shorter than `length`.
void NeedData(const BiffRecord& r, std::size_t length);

// The number an RK value stands for ([MS-XLS] 2.5.217): a 30-bit integer or the top 30
// bits of a double, either of them possibly scaled by 1/100.
double DecodeRk(std::uint32_t rk);

}  // namespace cw::sheet
