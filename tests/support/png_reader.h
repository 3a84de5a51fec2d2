// Reading a PNG file back as 8-bit RGB or RGBA, with libpng, to check the preview and the
// true-colour pictures pixel by pixel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnvick::testing {

struct RgbImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> rgb;  // row by row, 3 bytes a pixel (4 when read with alpha)
  std::size_t channels = 3;

  const std::uint8_t* At(std::uint32_t x, std::uint32_t y) const {
    return rgb.data() + channels * (std::size_t{y} * width + x);
  }
};

// The image in the PNG file at `path`, with `alpha` in RGBA; empty (0 x 0) when it cannot be read.
RgbImage ReadPng(const std::string& path, bool alpha = false);

}  // namespace tarnvick::testing
