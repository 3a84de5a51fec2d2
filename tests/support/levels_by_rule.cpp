#include "support/levels_by_rule.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>

namespace tarnvick::testing {

std::array<std::int64_t, 256> LinearLightByFormula() {
  std::array<std::int64_t, 256> light{};
  for (int c = 0; c < 256; ++c) {
    const double x = c / 255.0;
    light[c] = std::llround(std::round(65535 * (x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4))));
  }
  return light;
}

std::vector<std::uint8_t> LevelsByTheRule(std::vector<std::uint8_t> rgba, std::uint32_t w, std::uint32_t h, bool transparent) {
  const std::array<std::int64_t, 256> light = LinearLightByFormula();
  std::int64_t opaque = 0;
  for (std::size_t i = 0; i < std::size_t{w} * h; ++i) opaque += rgba[4 * i + 3] >= 128;
  std::size_t at = std::size_t{4} * w * h;
  for (int l = 1; l <= 3; ++l) {
    const std::uint32_t lw = w >> l, lh = h >> l, side = 1u << l;
    std::vector<std::pair<int, int>> keys;
    for (std::uint32_t y = 0; y < lh; ++y) {
      for (std::uint32_t x = 0; x < lw; ++x) {
        auto texel = [&](std::uint32_t i) { return &rgba[4 * ((y * side + i / side) * w + x * side + i % side)]; };
        int count = 0, alpha = 0;
        for (std::uint32_t i = 0; i < side * side; ++i) count += texel(i)[3] >= 128, alpha += texel(i)[3];
        for (int c = 0; c < 3; ++c) {
          std::int64_t sum = 0, weight = 0;
          for (std::uint32_t i = 0; i < side * side; ++i) {
            const std::int64_t t = transparent && alpha > 0 ? texel(i)[3] : 1;
            sum += t * light[texel(i)[c]], weight += t;
          }
          const std::int64_t mean = (sum + weight / 2) / weight;
          int best = 0;
          for (int b = 1; b < 256; ++b) best = std::abs(light[b] - mean) < std::abs(light[best] - mean) ? b : best;
          rgba[at + 4 * keys.size() + c] = static_cast<std::uint8_t>(best);
        }
        rgba[at + 4 * keys.size() + 3] = 255;
        keys.emplace_back(count, alpha);
      }
    }
    if (transparent) {
      std::vector<std::size_t> order(keys.size());
      std::iota(order.begin(), order.end(), 0);
      std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return keys[a] > keys[b]; });
      const std::int64_t n = std::ssize(keys), texels = std::int64_t{w} * h, taken = (opaque * n + texels / 2) / texels;
      for (std::int64_t i = 0; i < n; ++i) rgba[at + 4 * order[i] + 3] = i < taken ? 255 : 0;
    }
    at += 4 * keys.size();
  }
  return rgba;
}

}  // namespace tarnvick::testing
