// The ranked colours of palette generation: the most frequent colours ordered by (count, colour
// key), for picking the palette.
#pragma once

#include <array>
#include <cstdint>

#include "palette/color_histogram.h"
#include "palette/pooled_tree.h"

namespace tarnvick {


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

}  // namespace tarnvick
