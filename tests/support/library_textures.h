// Reading a whole library the plain way, for the reference run and for checks and benchmarks
// that measure a palette on it: every texture that loads, and the level-0 pixels of those that
// make a WAL.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "texture/texture.h"
#include "walk/walk_directory.h"

namespace tarnvick {

// Calls `use(texture, file)` for every texture below `root` that loads (in subdirectories too
// with `recurse`), in walk order.
void ForEachTexture(const std::string& root, bool recurse,
                    const std::function<void(const Texture&, const SourceFile&)>& use);

// Calls `use(rgb)` (three bytes) for every level-0 pixel of every texture below `root`
// (subdirectories included) that has four mip levels, in walk order.
template <typename Use>
void ForEachLevel0Pixel(const std::string& root, Use&& use) {
  ForEachTexture(root, true, [&](const Texture& texture, const SourceFile&) {
    if ((texture.width[0] >> 3) == 0 || (texture.height[0] >> 3) == 0) return;
    const std::uint64_t pixels = std::uint64_t{texture.width[0]} * texture.height[0];
    const std::size_t stride = texture.bits_per_pixel / 8;
    for (std::uint64_t i = 0; i < pixels && (i + 1) * stride <= texture.pixels.size(); ++i) use(texture.Colour(i));
  });
}

}  // namespace tarnvick
