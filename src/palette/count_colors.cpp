#include "palette/count_colors.h"

#include <algorithm>
#include <array>
#include <span>

#include "palette/color_key.h"

namespace tarnvick {

Result<void> CountColors(const Texture& texture, ColorHistogram& histogram) {
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
  histogram.AddPixels(counted.data(), (counted.size() - 3) / step + 1, step);
  return {};
}

}  // namespace tarnvick
