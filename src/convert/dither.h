// Dithering of one mip level: the palette indices of its pixels chosen so that, seen from a
// distance, they mix to the pixels' colours: either with the level taken as repeating every way,
// so that it shows no seam where the texture is tiled, or by plain error diffusion.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "palette/color_matcher.h"
#include "palette/palette.h"

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

// The pixels of one level, row after row, `stride` bytes from one to the next: each holding its
// red, green and blue values (0-255), or, with a `palette` (the red, green and blue of each of
// the 256 indices), an index. With `alpha` (pixels of 4 bytes), a pixel whose fourth byte is below
// kOpaqueAlpha is transparent: it takes kTransparentIndex and neither takes nor passes on error.
struct LevelPixels {
  std::span<const std::uint8_t> pixels;
  std::size_t stride = 3;
  const std::uint8_t* palette = nullptr;
  bool alpha = false;

  // The red, green and blue values of pixel `i`.
  const std::uint8_t* Colour(std::size_t i) const {
    return palette != nullptr ? palette + 3 * std::size_t{pixels[i * stride]} : &pixels[i * stride];
  }
  bool Transparent(std::size_t i) const { return alpha && pixels[i * stride + 3] < kOpaqueAlpha; }
};

// The most pixels of a level the tiled method works on whole, a plane of the level at a time
// (fast, with 12 bytes a pixel of work space); a larger level is worked a few rows at a time, with
// the same result and work space for those rows alone.
inline constexpr std::size_t kMostWholeLevel = std::size_t{1} << 20;

// Writes one index a pixel of the `width` x `height` `level` to `out`, each an entry `matcher` can
// choose, by `method` (kTiled or kDiffusion); with kTiled, a level of more than `most_whole` pixels
// is worked in rows. The same input always gives the same output (integer arithmetic only).
void DitherLevel(const LevelPixels& level, std::uint32_t width, std::uint32_t height, const ColorMatcher& matcher,
                 Dither method, std::uint8_t* out, std::size_t most_whole = kMostWholeLevel);

}  // namespace tarnvick
