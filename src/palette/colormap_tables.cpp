#include "palette/colormap_tables.h"

#include <algorithm>

#include "palette/color_matcher.h"

namespace tarnvick {

std::vector<std::uint8_t> ColormapTables(const Palette& palette) {
  const ColorMatcher matcher(palette);
  std::vector<std::uint8_t> tables(kColormapWidth * kColormapHeight);
  std::uint8_t* out = tables.data();
  std::uint8_t colour[3];
  for (unsigned level = 0; level < kLightLevels; ++level) {
    for (std::size_t c = 0; c < kPaletteEntries; ++c) {
      for (std::size_t k = 0; k < 3; ++k) {
        colour[k] = static_cast<std::uint8_t>(std::min(255u, (palette[3 * c + k] * (63 - level) + 16) >> 5));
      }
      *out++ = matcher.Nearest(colour);
    }
  }
  for (std::size_t b = 0; b < kPaletteEntries; ++b) {
    for (std::size_t a = 0; a < kPaletteEntries; ++a) {
      for (std::size_t k = 0; k < 3; ++k) {
        colour[k] = static_cast<std::uint8_t>((palette[3 * a + k] + 2 * palette[3 * b + k] + 1) / 3);
      }
      *out++ = matcher.Nearest(colour);
    }
  }
  return tables;
}

}  // namespace tarnvick
