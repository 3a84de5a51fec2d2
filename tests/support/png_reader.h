// Reading a PNG file back as 8-bit RGB or RGBA, with libpng, to check the preview and the
// true-colour pictures pixel by pixel; or as the samples its rows hold, to check the sample
// generator's PNG pictures of every form.
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

// A PNG picture's header fields and its samples as libpng's row reader gives them: palette
// entries and grey levels of fewer than 8 bits expanded to 8 bits, a palette's tRNS chunk to an
// alpha channel, 16-bit samples kept (high byte first), interlaced rows put in their places.
struct PngSamples {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int bit_depth = 0;
  int colour_type = 0;
  bool interlaced = false;
  int channels = 0;                   // of each pixel in `samples`
  std::vector<std::uint8_t> samples;  // row by row
};

// The picture in `bytes`; empty (0 x 0) when libpng finds an error or warns (a wrong checksum, a
// damaged or overlong stream, a missing IEND).
PngSamples ReadPngSamples(const std::vector<std::uint8_t>& bytes);

}  // namespace tarnvick::testing
