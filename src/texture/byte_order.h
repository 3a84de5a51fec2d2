// Little-endian 32-bit integers, the multi-byte integers of the texture files, and the big-endian
// ones of PNG files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnvick {

inline std::uint32_t ReadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline void WriteU32(std::uint8_t* p, std::uint32_t value) {
  p[0] = static_cast<std::uint8_t>(value);
  p[1] = static_cast<std::uint8_t>(value >> 8);
  p[2] = static_cast<std::uint8_t>(value >> 16);
  p[3] = static_cast<std::uint8_t>(value >> 24);
}

inline std::uint32_t ReadBig32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// `count` integers one after the other from `p`.
inline std::vector<std::uint32_t> ReadU32Table(const std::uint8_t* p, std::size_t count) {
  std::vector<std::uint32_t> table(count);
  for (std::size_t i = 0; i < count; ++i) table[i] = ReadU32(p + 4 * i);
  return table;
}

}  // namespace tarnvick
