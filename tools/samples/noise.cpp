#include "noise.h"

namespace tarnvick::samples {

std::vector<std::uint8_t> NoiseBytes(std::size_t count, std::uint32_t seed) {
  std::vector<std::uint8_t> bytes(count);
  std::uint32_t state = seed * 2654435761u + 1;
  for (std::uint8_t& b : bytes) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>(state >> 24);
  }
  return bytes;
}

}  // namespace tarnvick::samples
