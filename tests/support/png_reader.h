// Reading a PNG file back as 8-bit RGB, with libpng, to check the preview pixel by pixel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnvick::testing {

struct RgbImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> rgb;  // row by row, 3 bytes a pixel

  const std::uint8_t* At(std::uint32_t x, std::uint32_t y) const { return rgb.data() + 3 * (std::size_t{y} * width + x); }
};

// The image in the PNG file at `path`; empty (0 x 0) when it cannot be read.
RgbImage ReadPng(const std::string& path);

}  // namespace tarnvick::testing
