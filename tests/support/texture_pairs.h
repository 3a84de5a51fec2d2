// Source textures built byte by byte together with the WAL each must give, computed the plain
// way.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/expected_wal.h"
#include "texture/file_builders.h"

namespace tarnvick::testing {

inline std::vector<std::uint8_t> RandomPalette(std::uint32_t seed) { return NoiseBytes(768, seed); }

// An M32 file of w x h with a full mip chain of noisy pixels, and the WAL it must give.
inline std::pair<std::vector<std::uint8_t>, std::vector<std::uint8_t>> M32WithWal(
    std::uint32_t w, std::uint32_t h, std::uint32_t seed, const std::vector<std::uint8_t>& palette) {
  M32Fields fields;
  std::size_t total = 0;
  for (std::uint32_t l = 0; l < 16 && (w >> l) > 0 && (h >> l) > 0; ++l) {
    fields.width.push_back(w >> l);
    fields.height.push_back(h >> l);
    total += static_cast<std::size_t>(w >> l) * (h >> l);
  }
  fields.pixels = NoiseBytes(4 * total, seed);
  fields.name = "textures/m32_" + std::to_string(seed);
  fields.flags = seed;
  const WalContent wal{fields.name, fields.animation_name, w, h, fields.flags, fields.contents, fields.value,
                       PixelsOf32(fields.pixels)};
  return {BuildM32(fields), ExpectedWal(wal, palette)};
}

// An M8 file of w x h with a full mip chain (as far as its version holds) of noisy indices, and
// the WAL it must give.
inline std::pair<std::vector<std::uint8_t>, std::vector<std::uint8_t>> M8WithWal(
    std::int32_t version, std::uint32_t w, std::uint32_t h, std::uint32_t seed,
    const std::vector<std::uint8_t>& palette) {
  M8Fields fields;
  fields.version = version;
  std::size_t total = 0;
  const std::uint32_t levels = version >= 2 ? 16 : 8;
  for (std::uint32_t l = 0; l < levels && (w >> l) > 0 && (h >> l) > 0; ++l) {
    fields.width.push_back(w >> l);
    fields.height.push_back(h >> l);
    total += static_cast<std::size_t>(w >> l) * (h >> l);
  }
  fields.palette = NoiseBytes(768, seed + 1000);
  fields.indices = NoiseBytes(total, seed);
  fields.name = "m8_" + std::to_string(version);
  const WalContent wal{fields.name, fields.animation_name, w, h, fields.flags, fields.contents, fields.value,
                       PixelsOfIndices(fields.indices, fields.palette)};
  return {BuildM8(fields), ExpectedWal(wal, palette)};
}

}  // namespace tarnvick::testing
