// Mip levels 1 to 3 of a true-colour texture, each made from level 0 by averaging in linear light
// (as the eye adds light up), in integers, so that every system makes the same bytes; with
// alpha, each level keeps the share of opaque pixels that level 0 has.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace tarnvick {

// The linear light of each sRGB byte value c, in 0-65535: round(65535 * lin(c / 255)), where
// lin(x) = x / 12.92 up to 0.04045 and ((x + 0.055) / 1.055) ^ 2.4 above; strictly increasing.
extern const std::array<std::uint16_t, 256> kLinearLight;

// Fills levels 1, 2 and 3 of `rgba`: four levels of 4-byte pixels (red, green, blue, alpha) back
// to back, level 0 first, level l holding (width >> l) x (height >> l) pixels row by row, of which
// only level 0 is read. `width` and `height` are multiples of 8, and `rgba` holds at least
// 4 * width * height * 85 / 64 bytes.
//
// Each pixel of level l comes from its 2^l x 2^l block of level 0: each of its red, green and
// blue is the byte whose linear light is nearest (the lower on a tie) to the block's mean linear
// light, rounded; each texel weighs 1, or with `transparent` its alpha (1 each where the whole
// block's alphas are 0). Without `transparent` every alpha of levels 1 to 3 is 255. With it, a
// texel is opaque when its alpha is at least 128, and of a level's n pixels exactly
// round(n * opaque texels / texels of level 0) get alpha 255 and the rest 0: those whose blocks
// hold the most opaque texels, then the greatest sum of alpha, then the first row by row. So thin
// opaque parts (a fence's wires) keep their coverage at a distance, and solid stays solid.
void MakeMipLevels(std::span<std::uint8_t> rgba, std::uint32_t width, std::uint32_t height, bool transparent);

}  // namespace tarnvick
