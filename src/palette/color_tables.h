// The two colour containers of palette generation: the pixel count of every distinct colour,
// and the colours ranked by (count, colour key) for picking the most frequent.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "palette/pooled_tree.h"

namespace tarnvick {

// Counts are 64-bit so that a colour shared by billions of pixels cannot wrap around.
using PixelCount = std::uint64_t;

// Colour key to pixel count, ascending by key.
using ColorHistogram = PooledTree<std::uint32_t, PixelCount, std::less<std::uint32_t>, true>;

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
