// Dithering of one mip level: the palette indices of its pixels chosen so that, seen from a
// distance, they mix to the pixels' colours: either with the level taken as repeating every way,
// so that it shows no seam where the texture is tiled, or by plain error diffusion.
#pragma once

#include <cstdint>
#include <span>

#include "palette/color_matcher.h"

namespace tarnvick {

enum class Dither {
  kNone,       // each pixel its nearest entry
  kTiled,      // dot diffusion by a class matrix repeated over the level, edges wrapped around
  kDiffusion,  // serpentine Floyd-Steinberg error diffusion, full strength
};

// One level of `width` x `height` pixels: `rgb` holds three values (0-255) a pixel, row after
// row; `opaque`, when not empty, one byte a pixel: pixels whose byte is 0 take
// kTransparentIndex and neither take nor pass on error. Writes one index a pixel to `out`, each
// an entry `matcher` can choose, by `method` (kTiled or kDiffusion). The same input always gives
// the same output (integer arithmetic only).
void DitherLevel(std::span<const std::uint8_t> rgb, std::span<const std::uint8_t> opaque, std::uint32_t width,
                 std::uint32_t height, const ColorMatcher& matcher, Dither method, std::uint8_t* out);

}  // namespace tarnvick
