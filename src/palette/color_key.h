// A colour's three bytes (red, green, blue) packed into one integer: red + 256 x green +
// 65536 x blue, top byte zero. Ordering by it orders colours by blue, then green, then red.
#pragma once

#include <cstdint>

namespace tarnvick {

inline std::uint32_t ColorKey(const std::uint8_t* rgb) {
  return static_cast<std::uint32_t>(rgb[0]) | (static_cast<std::uint32_t>(rgb[1]) << 8) |
         (static_cast<std::uint32_t>(rgb[2]) << 16);
}

}  // namespace tarnvick
