// A colour's three bytes (red, green, blue) packed into one integer: red + 256 x green +
// 65536 x blue, top byte zero. Ordering by it orders colours by blue, then green, then red.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace tarnvick {

inline std::uint32_t ColorKey(const std::uint8_t* rgb) {
  return static_cast<std::uint32_t>(rgb[0]) | (static_cast<std::uint32_t>(rgb[1]) << 8) |
         (static_cast<std::uint32_t>(rgb[2]) << 16);
}

// The key of a pixel read as one little-endian 32-bit word (red in its lowest byte); the top byte
// is dropped.
inline std::uint32_t ColorKeyOfWord(std::uint32_t word) {
  if constexpr (std::endian::native == std::endian::little) {
    return word & 0xFFFFFFu;
  } else {
    return ((word >> 24) & 0xFF) | ((word >> 8) & 0xFF00) | ((word << 8) & 0xFF0000);
  }
}

// The key of a 4-byte pixel (red, green, blue and a fourth byte that is dropped), read as one word.
inline std::uint32_t ColorKeyOfPixel(const std::uint8_t* pixel) {
  std::uint32_t word;
  std::memcpy(&word, pixel, 4);
  return ColorKeyOfWord(word);
}

}  // namespace tarnvick
