// The mip levels a true-colour level 0 gives by the rule of linear light, written the plain way
// for comparison with the converter's: the light table from its formula, each pixel summed
// straight over its block, the nearest byte found by a search, the coverage by a stable sort.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace tarnvick::testing {

// round(65535 * lin(c / 255)) for each c, lin the sRGB curve, in double precision.
std::array<std::int64_t, 256> LinearLightByFormula();

// `rgba` (four levels of 4-byte pixels, level 0 first, w and h multiples of 8) with levels 1 to
// 3 made from level 0: with `transparent` the texels weighed by alpha (1 each in a block of no
// alpha) and each level holding level 0's share of opaque pixels, else every alpha 255.
std::vector<std::uint8_t> LevelsByTheRule(std::vector<std::uint8_t> rgba, std::uint32_t w, std::uint32_t h,
                                          bool transparent);

}  // namespace tarnvick::testing
