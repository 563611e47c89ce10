#include "sheet/xls/biff_records.h"

#include <bit>

#include "sheet/xls/biff_text.h"
#include "sheet/xls/xls_error.h"

namespace cw::sheet {

std::uint16_t BiffCursor::PeekType() const {
  if (stream_.size() < 4 || position_ > stream_.size() - 4) return 0xFFFF;
  return Le16(stream_, position_);
}

BiffRecord BiffCursor::Next() {
  if (stream_.size() < 4 || position_ > stream_.size() - 4) FailBiff(XlsErrorCode::kRecordTruncated, position_);
  BiffRecord r;
  r.offset = position_;
  r.type = Le16(stream_, position_);
  const std::size_t length = Le16(stream_, position_ + 2);
  if (length > stream_.size() - position_ - 4) FailBiff(XlsErrorCode::kRecordTruncated, position_);
  r.data = stream_.subspan(position_ + 4, length);
  position_ += 4 + length;
  return r;
}

ContinuedReader::ContinuedReader(const BiffRecord& first, BiffCursor& cursor) {
  pieces_.push_back(first);
  while (cursor.PeekType() == biff::kContinue) pieces_.push_back(cursor.Next());
}

bool ContinuedReader::NextPiece() {
  if (piece_ + 1 >= pieces_.size()) return false;
  ++piece_;
  at_ = 0;
  return true;
}

bool ContinuedReader::AtEnd() {
  while (at_ >= pieces_[piece_].data.size()) {
    if (!NextPiece()) return true;
  }
  return false;
}

std::uint8_t ContinuedReader::U8() {
  if (AtEnd()) FailBiff(XlsErrorCode::kRecordTruncated, Offset());
  return std::to_integer<std::uint8_t>(pieces_[piece_].data[at_++]);
}

std::uint16_t ContinuedReader::U16() {
  const std::uint16_t lo = U8();
  return static_cast<std::uint16_t>(lo | (U8() << 8));
}

std::uint32_t ContinuedReader::U32() {
  const std::uint32_t lo = U16();
  return lo | (static_cast<std::uint32_t>(U16()) << 16);
}

void ContinuedReader::Skip(std::size_t count) {
  while (count > 0) {
    if (AtEnd()) FailBiff(XlsErrorCode::kRecordTruncated, Offset());
    const std::size_t take = std::min(count, pieces_[piece_].data.size() - at_);
    at_ += take;
    count -= take;
  }
}

void ContinuedReader::Chars(std::size_t count, bool two_byte, std::string& out) {
  const auto* data = &pieces_[piece_].data;
  // The common case: the whole string lies in this piece.
  const std::size_t width = two_byte ? 2 : 1;
  if (at_ <= data->size() && (data->size() - at_) / width >= count) {
    const auto bytes = data->subspan(at_, count * width);
    at_ += count * width;
    if (!two_byte) {
      AppendLatin1(bytes, out);
    } else {
      scratch_.resize(count);
      for (std::size_t i = 0; i < count; ++i) scratch_[i] = static_cast<char16_t>(Le16(bytes, 2 * i));
      AppendUtf16(scratch_, out);
    }
    return;
  }
  // Split across CONTINUE records: gather UTF-16 units so a surrogate pair may straddle.
  scratch_.clear();
  while (count > 0) {
    data = &pieces_[piece_].data;
    if (at_ >= data->size()) {
      if (!NextPiece()) FailBiff(XlsErrorCode::kRecordTruncated, Offset());
      data = &pieces_[piece_].data;
      if (data->empty()) continue;
      two_byte = (std::to_integer<unsigned>((*data)[at_++]) & 0x01) != 0;
      continue;
    }
    const std::size_t w = two_byte ? 2 : 1;
    const std::size_t take = std::min(count, (data->size() - at_) / w);
    if (take == 0) FailBiff(XlsErrorCode::kRecordDamaged, Offset());  // half a character
    for (std::size_t i = 0; i < take; ++i) {
      scratch_.push_back(two_byte ? static_cast<char16_t>(Le16(*data, at_ + 2 * i))
                                  : static_cast<char16_t>(std::to_integer<unsigned>((*data)[at_ + i])));
    }
    at_ += take * w;
    count -= take;
  }
  AppendUtf16(scratch_, out);
}

std::size_t ContinuedReader::Remaining() const {
  std::size_t n = pieces_[piece_].data.size() - std::min(at_, pieces_[piece_].data.size());
  for (std::size_t i = piece_ + 1; i < pieces_.size(); ++i) n += pieces_[i].data.size();
  return n;
}

std::size_t ContinuedReader::Offset() const { return pieces_[piece_].offset + 4 + at_; }

void NeedData(const BiffRecord& r, std::size_t length) {
  if (r.data.size() < length) FailBiff(XlsErrorCode::kRecordDamaged, r.offset);
}

double DecodeRk(std::uint32_t rk) {
  double value;
  if (rk & 0x02) {
    value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);  // fInt: signed 30-bit integer
  } else {
    value = std::bit_cast<double>(static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32);
  }
  return (rk & 0x01) ? value / 100 : value;  // fX100
}

}  // namespace cw::sheet
