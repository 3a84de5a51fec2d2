#include "palette/color_matcher.h"

#include <algorithm>

namespace tarnvick {

namespace {
constexpr std::size_t kColors = std::size_t{1} << 24;
}  // namespace

ColorMatcher::ColorMatcher(const Palette& palette) : index_(kColors), known_(kColors / 64) {
  std::array<std::int32_t, kPaletteEntries> order;
  for (std::size_t i = 0; i < kPaletteEntries; ++i) order[i] = static_cast<std::int32_t>(i);
  std::stable_sort(order.begin(), order.end(), [&palette](std::int32_t a, std::int32_t b) {
    return palette[3 * static_cast<std::size_t>(a)] < palette[3 * static_cast<std::size_t>(b)];
  });
  for (std::size_t k = 0; k < kPaletteEntries; ++k) {
    const auto i = static_cast<std::size_t>(order[k]);
    red_[k] = palette[3 * i];
    green_[k] = palette[3 * i + 1];
    blue_[k] = palette[3 * i + 2];
    entry_[k] = order[k];
  }
}

std::uint8_t ColorMatcher::Search(int r, int g, int b) const {
  std::int32_t best_distance = INT32_MAX;
  std::int32_t best = 0;
  const auto consider = [&](std::size_t k) {
    const std::int32_t dr = r - red_[k];
    const std::int32_t dg = g - green_[k];
    const std::int32_t db = b - blue_[k];
    const std::int32_t distance = dr * dr + dg * dg + db * db;
    if (distance < best_distance || (distance == best_distance && entry_[k] < best)) {
      best_distance = distance;
      best = entry_[k];
    }
  };
  // Entries at or above r going up, below r going down. Red only grows with the distance from
  // the start in either direction, so once red alone is farther than the best distance, no
  // later entry on that side can be nearer or tie.
  std::size_t up = static_cast<std::size_t>(
      std::lower_bound(red_.begin(), red_.end(), r) - red_.begin());
  std::size_t down = up;
  bool going_up = up < kPaletteEntries;
  bool going_down = down > 0;
  while (going_up || going_down) {
    if (going_up) {
      const std::int32_t dr = red_[up] - r;
      if (dr * dr > best_distance) {
        going_up = false;
      } else {
        consider(up);
        going_up = ++up < kPaletteEntries;
      }
    }
    if (going_down) {
      const std::int32_t dr = r - red_[down - 1];
      if (dr * dr > best_distance) {
        going_down = false;
      } else {
        consider(down - 1);
        going_down = --down > 0;
      }
    }
  }
  return static_cast<std::uint8_t>(best);
}

void ColorMatcher::Map(std::uint8_t* out, std::size_t count, const std::uint8_t* first,
                       std::size_t stride) {
  for (std::size_t i = 0; i < count; ++i) out[i] = Nearest(first + i * stride);
}

}  // namespace tarnvick
