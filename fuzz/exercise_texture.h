// What the fuzz targets do with a texture that parsed: everything the converter and the colour
// gatherer read from it.
#pragma once

#include <vector>

#include "palette/gather_colors.h"
#include "palette/nearest_color.h"
#include "texture/texture.h"

namespace tarnvick {

inline void ExerciseTexture(const Texture& texture, std::uint32_t height3) {
  ColorHistogram histogram;
  CountColors(texture, histogram);
  // One matcher for the whole fuzzing run, as for a whole conversion walk.
  static ColorMatcher matcher([] {
    Palette palette{};
    for (std::size_t i = 0; i < palette.size(); ++i) palette[i] = static_cast<std::uint8_t>(i * 37);
    return palette;
  }());
  std::vector<std::uint8_t> indices;
  if (height3 != 0) {
    QuantizeMips(texture.pixels.data(), texture.pixels.size(), texture.level0_width,
                 texture.level0_height, 4, texture.bits_per_pixel / 8, matcher, indices);
  }
}

}  // namespace tarnvick
