// 32-bit little-endian integers in test byte buffers, written out by hand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnvick::testing {

inline void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
  bytes[at] = static_cast<std::uint8_t>(v);
  bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
  bytes[at + 2] = static_cast<std::uint8_t>(v >> 16);
  bytes[at + 3] = static_cast<std::uint8_t>(v >> 24);
}

inline std::uint32_t Get32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
         (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

}  // namespace tarnvick::testing
