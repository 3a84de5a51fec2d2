#include "palette/count_colors.h"

#include <algorithm>
#include <array>
#include <span>

#include "palette/color_key.h"
#include "palette/palette.h"

namespace tarnvick {

Result<void> CountColors(const Texture& texture, ColorHistogram& histogram, bool opaque_only) {
  if (Result<void> reserved = histogram.Reserve(); !reserved) return reserved;
  const auto extent = static_cast<std::size_t>(texture.byte_extent > 0 ? texture.byte_extent : 0);
  const std::span<const std::uint8_t> counted(texture.pixels.data(),
                                              std::min(extent, texture.pixels.size()));
  if (const std::uint8_t* colours = texture.IndexColours(); colours != nullptr) {
    // Indices are counted per index; each index's count then goes to its colour.
    std::array<PixelCount, 256> counts{};
    for (const std::uint8_t index : counted) ++counts[index];
    for (std::size_t index = 0; index < counts.size(); ++index) {
      if (counts[index] != 0) histogram.Add(ColorKey(colours + 3 * index), counts[index]);
    }
    return {};
  }
  const std::size_t step = texture.bits_per_pixel / 8;
  if (step < 3 || counted.size() < 3) return {};
  const std::size_t pixels = (counted.size() - 3) / step + 1;
  if (!opaque_only || step != 4) {
    histogram.AddPixels(counted.data(), pixels, step);
    return {};
  }
  // Each run of opaque pixels at once.
  const auto opaque = [&](std::size_t i) { return i < pixels && 4 * i + 3 < counted.size() && counted[4 * i + 3] >= kOpaqueAlpha; };
  for (std::size_t i = 0; i < pixels;) {
    if (!opaque(i)) {
      ++i;
      continue;
    }
    std::size_t end = i + 1;
    while (opaque(end)) ++end;
    histogram.AddPixels(counted.data() + 4 * i, end - i, step);
    i = end;
  }
  return {};
}

}  // namespace tarnvick
