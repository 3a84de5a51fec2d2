#include "support/reference_nearest.h"

#include "palette/color_key.h"

namespace tarnvick {

std::uint8_t NearestIndex(const Palette& palette, const std::uint8_t* rgb, LastMatch& cache) {
  const std::uint32_t key = ColorKey(rgb);
  if (key == cache.key) return cache.index;
  const int r = rgb[0];
  const int g = rgb[1];
  const int b = rgb[2];
  std::uint32_t best_distance = UINT32_MAX;
  std::uint8_t best = 0;
  for (std::size_t i = 0; i < kPaletteEntries; ++i) {
    const int dr = r - palette[3 * i];
    const int dg = g - palette[3 * i + 1];
    const int db = b - palette[3 * i + 2];
    const auto distance = static_cast<std::uint32_t>(dr * dr + dg * dg + db * db);
    if (distance < best_distance) {
      best_distance = distance;
      best = static_cast<std::uint8_t>(i);
    }
  }
  cache.key = key;
  cache.index = best;
  return best;
}

void MapPixels(std::uint8_t* out, std::int32_t count, const std::uint8_t* first,
               const Palette& palette, std::int32_t stride) {
  LastMatch cache;
  const std::uint8_t* pixel = first;
  for (std::int32_t i = 0; i < count; ++i, pixel += stride) out[i] = NearestIndex(palette, pixel, cache);
}

}  // namespace tarnvick
