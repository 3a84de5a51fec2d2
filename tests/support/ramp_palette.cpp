#include "support/ramp_palette.h"

#include <array>
#include <cmath>

namespace tarnvick::testing {

Palette RampPalette() {
  Palette palette{};
  for (int ramp = 0; ramp < 16; ++ramp) {
    // Greys have no hue; the saturated hues are 45 degrees apart, the half-saturated ones between.
    const double saturation = ramp == 0 ? 0.0 : ramp <= 8 ? 1.0 : 0.5;
    const double hue = ramp <= 8 ? (ramp - 1) * 45.0 : (ramp - 9) * 360.0 / 7 + 22.5;
    for (int shade = 0; shade < 16; ++shade) {
      const double value = (shade + 1) / 16.0;
      const double chroma = value * saturation;
      const double sector = std::fmod(hue / 60.0, 6.0);
      const double second = chroma * (1 - std::fabs(std::fmod(sector, 2.0) - 1));
      const int part = static_cast<int>(sector);
      std::array<double, 3> hsv_rgb{};
      switch (part) {
        case 0: hsv_rgb = {chroma, second, 0}; break;
        case 1: hsv_rgb = {second, chroma, 0}; break;
        case 2: hsv_rgb = {0, chroma, second}; break;
        case 3: hsv_rgb = {0, second, chroma}; break;
        case 4: hsv_rgb = {second, 0, chroma}; break;
        default: hsv_rgb = {chroma, 0, second}; break;
      }
      const std::size_t entry = 16 * static_cast<std::size_t>(ramp) + static_cast<std::size_t>(shade);
      for (int c = 0; c < 3; ++c) {
        palette[3 * entry + static_cast<std::size_t>(c)] =
            static_cast<std::uint8_t>(std::lround(255 * (hsv_rgb[c] + value - chroma)));
      }
    }
  }
  return palette;
}

}  // namespace tarnvick::testing
