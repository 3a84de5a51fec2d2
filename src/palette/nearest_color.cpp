#include "palette/nearest_color.h"

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

bool QuantizeMips(const std::uint8_t* source, std::size_t source_size, std::uint32_t width,
                  std::uint32_t height, int levels, int stride, ColorMatcher& matcher,
                  std::vector<std::uint8_t>& out) {
  std::uint64_t total = 0;
  for (int level = 0; level < levels && level < 32; ++level) {
    const std::uint64_t size = static_cast<std::uint64_t>(width >> level) * (height >> level);
    if (size > INT32_MAX) return false;
    total += size;
  }
  if (stride < 3 || total > INT32_MAX || total * static_cast<std::uint64_t>(stride) > source_size) {
    return false;
  }
  out.assign(static_cast<std::size_t>(total), 0);
  matcher.Map(out.data(), out.size(), source, static_cast<std::size_t>(stride));
  return true;
}

}  // namespace tarnvick
