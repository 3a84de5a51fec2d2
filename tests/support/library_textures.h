// Reading a whole library the plain way, for checks and benchmarks that measure a palette on it:
// every texture that loads, and the level-0 pixels of those that make a WAL.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "texture/texture.h"

namespace tarnvick {

// Calls `use(texture)` for every texture below `root` (subdirectories included) that loads, in
// walk order.
void ForEachTexture(const std::string& root, const std::function<void(const Texture&)>& use);

// Calls `use(rgb)` (three bytes) for every level-0 pixel of every texture below `root` that has
// four mip levels, in walk order.
template <typename Use>
void ForEachLevel0Pixel(const std::string& root, Use&& use) {
  ForEachTexture(root, [&](const Texture& texture) {
    if ((texture.width[0] >> 3) == 0 || (texture.height[0] >> 3) == 0) return;
    const std::uint64_t pixels = std::uint64_t{texture.width[0]} * texture.height[0];
    const std::size_t stride = texture.bits_per_pixel / 8;
    for (std::uint64_t i = 0; i < pixels && (i + 1) * stride <= texture.pixels.size(); ++i) use(texture.Colour(i));
  });
}

}  // namespace tarnvick
