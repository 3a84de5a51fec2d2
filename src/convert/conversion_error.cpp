#include "convert/conversion_error.h"

namespace tarnvick {

bool LargerMeanError(const ConversionError& a, const ConversionError& b) {
  return static_cast<unsigned __int128>(a.squared) * b.values > static_cast<unsigned __int128>(b.squared) * a.values;
}

ConversionError MeasureError(const Texture& source, const WalTexture& wal, const Palette& palette,
                             bool transparent) {
  const std::uint64_t pixels = wal.LevelSize(0);
  const std::uint8_t* colours = source.IndexColours();
  const std::size_t stride = colours != nullptr ? 1 : source.bits_per_pixel / 8;
  ConversionError error;
  for (std::size_t i = 0; i < pixels && i < wal.pixels.size() && (i + 1) * stride <= source.pixels.size(); ++i) {
    if (transparent && wal.pixels[i] == kTransparentIndex) continue;
    const std::uint8_t* pixel = colours != nullptr ? colours + 3 * source.pixels[i] : source.pixels.data() + i * stride;
    const std::uint8_t* entry = palette.data() + 3 * static_cast<std::size_t>(wal.pixels[i]);
    for (int c = 0; c < 3; ++c) {
      const std::int32_t d = static_cast<std::int32_t>(pixel[c]) - entry[c];
      error.squared += static_cast<std::uint64_t>(d * d);
    }
    error.values += 3;
  }
  return error;
}

}  // namespace tarnvick
