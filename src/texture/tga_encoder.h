// TGA files made in memory: uncompressed true colour (image type 2) with no ID and no colour map,
// 24 bits a pixel (blue, green, red) or 32 (blue, green, red, alpha, with 8 alpha bits in the
// descriptor), rows from the bottom up: the form every Quake 2 engine's loader reads.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "io/error.h"

namespace tarnvick {

struct TgaImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  // Writes row `y` (0 at the top) to `row` as the file holds it: 3 bytes a pixel (blue, green,
  // red), or 4 with `alpha` (blue, green, red, alpha).
  std::function<void(std::uint32_t y, std::uint8_t* row)> rows;
  bool alpha = false;
};

// The TGA file of `image`. Fails with kCannotWrite when a side is over 65535 pixels, more than
// the format holds.
Result<std::vector<std::uint8_t>> EncodeTga(const TgaImage& image);

}  // namespace tarnvick
