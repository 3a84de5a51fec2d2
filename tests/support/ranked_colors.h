// The reference design's trees of colours: the count of each colour in a red-black tree keyed
// by colour key, then every counted colour in a tree ordered by (count, colour key), the
// popularity palette read off its greatest end.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "palette/color_histogram.h"
#include "palette/palette.h"
#include "support/pooled_tree.h"

namespace tarnvick {

// Colour key to its pixel count, walked from the least key.
using KeyTree = PooledTree<std::uint32_t, PixelCount, std::less<std::uint32_t>, true>;

struct RankKey {
  PixelCount count = 0;
  std::uint32_t color_key = 0;
};

struct RankKeyLess {
  bool operator()(const RankKey& a, const RankKey& b) const {
    return a.count < b.count || (a.count == b.count && a.color_key < b.color_key);
  }
};

// (count, colour key) to the colour's bytes (red, green, blue, zero), walked from the greatest.
using RankedColors = PooledTree<RankKey, std::array<std::uint8_t, 4>, RankKeyLess, false>;

// The palette of the ranked colours: entry 0 the greatest (count, colour key), then down;
// entries past the last colour are black.
inline Palette SelectPalette(const RankedColors& ranked) {
  Palette palette{};
  std::size_t entry = 0;
  for (const auto* node = ranked.Maximum(); node != nullptr && entry < kPaletteEntries;
       node = ranked.Previous(node), ++entry) {
    for (std::size_t i = 0; i < 3; ++i) palette[3 * entry + i] = node->value[i];
  }
  return palette;
}

}  // namespace tarnvick
