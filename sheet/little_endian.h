// Little-endian fields of binary file formats (compound files, BIFF records, cursor files):
// unsigned integers of 2, 4 and 8 bytes and IEEE doubles, read byte by byte so that neither
// alignment nor the host's byte order matters. The caller checks the length first.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

namespace cw::sheet {

inline std::uint16_t Le16(std::span<const std::byte> b, std::size_t at) {
  return static_cast<std::uint16_t>(std::to_integer<unsigned>(b[at]) | (std::to_integer<unsigned>(b[at + 1]) << 8));
}
inline std::uint32_t Le32(std::span<const std::byte> b, std::size_t at) {
  return static_cast<std::uint32_t>(Le16(b, at)) | (static_cast<std::uint32_t>(Le16(b, at + 2)) << 16);
}
inline std::uint64_t Le64(std::span<const std::byte> b, std::size_t at) {
  return static_cast<std::uint64_t>(Le32(b, at)) | (static_cast<std::uint64_t>(Le32(b, at + 4)) << 32);
}
inline double LeDouble(std::span<const std::byte> b, std::size_t at) { return std::bit_cast<double>(Le64(b, at)); }

}  // namespace cw::sheet
