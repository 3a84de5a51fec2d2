#include "support/reference_nearest.h"

#include <climits>

#include "palette/color_key.h"

namespace tarnvick {

std::uint8_t BruteForceNearest(std::span<const std::uint8_t> palette, const Rgb& colour, int entries) {
  int best = 0;
  int best_distance = INT_MAX;
  for (int i = 0; i < entries; ++i) {
    const std::uint8_t* entry = &palette[3 * static_cast<std::size_t>(i)];
    const int dr = colour[0] - entry[0];
    const int dg = colour[1] - entry[1];
    const int db = colour[2] - entry[2];
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < best_distance) {
      best_distance = distance;
      best = i;
    }
  }
  return static_cast<std::uint8_t>(best);
}

std::uint8_t NearestIndex(const Palette& palette, const std::uint8_t* rgb, LastMatch& cache) {
  const std::uint32_t key = ColorKey(rgb);
  if (key == cache.key) return cache.index;
  cache.key = key;
  cache.index = BruteForceNearest(palette, {rgb[0], rgb[1], rgb[2]});
  return cache.index;
}

void MapPixels(std::uint8_t* out, std::int32_t count, const std::uint8_t* first,
               const Palette& palette, std::int32_t stride) {
  LastMatch cache;
  const std::uint8_t* pixel = first;
  for (std::int32_t i = 0; i < count; ++i, pixel += stride) out[i] = NearestIndex(palette, pixel, cache);
}

}  // namespace tarnvick
