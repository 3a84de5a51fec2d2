// Dithering of one mip level: the palette indices of its pixels chosen so that, seen from a
// distance, they mix to the pixels' colours: either with the level taken as repeating every way,
// so that it shows no seam where the texture is tiled, or by plain error diffusion.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "palette/color_matcher.h"

namespace tarnvick {

enum class Dither {
  kNone,       // each pixel its nearest entry
  kTiled,      // dot diffusion by a class matrix repeated over the level, edges wrapped around
  kDiffusion,  // serpentine Floyd-Steinberg error diffusion, full strength
};

// The tiled method's 8 x 8 class matrix, row after row: the order in which the pixels of each 8 x 8
// block take their entries. Searched (by swapping pairs from a Bayer matrix) for the highest
// blurred PSNR, against a ramp palette, on gradients and noise, while keeping the error at the
// edges no larger than inside. A smaller side takes the order of its top-left corner.
inline constexpr std::array<std::uint8_t, 64> kTiledClasses = {
    26, 32,  8, 23,  2, 38, 10, 42,
    44, 45,  7, 34,  0, 50, 49, 43,
    12, 48,  4, 46, 60, 57, 30, 24,
    25, 41, 52, 21, 53, 27, 54, 16,
     3, 35, 28, 31,  1, 15, 36, 33,
    63, 19, 59, 29, 58, 17, 62,  9,
    61, 47, 56, 39, 13,  6,  5, 37,
    51, 14, 55, 22, 18, 20, 40, 11};

// One level of `width` x `height` pixels: `colours` holds each pixel's red, green and blue values
// (0-255), `stride` bytes from one pixel to the next, row after row; `opaque`, when not empty, one
// byte a pixel: pixels whose byte is 0 take kTransparentIndex and neither take nor pass on error.
// Writes one index a pixel to `out`, each an entry `matcher` can choose, by `method` (kTiled or
// kDiffusion). The same input always gives the same output (integer arithmetic only).
void DitherLevel(std::span<const std::uint8_t> colours, std::size_t stride, std::span<const std::uint8_t> opaque,
                 std::uint32_t width, std::uint32_t height, const ColorMatcher& matcher, Dither method,
                 std::uint8_t* out);

}  // namespace tarnvick
