// The palette indices of a texture's first mip levels.
//
// convert/ turns one loaded texture into its WAL in memory, with no file involved. It uses
// texture/ and palette/ (and io/ for the error type).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "convert/dither.h"
#include "io/error.h"
#include "palette/color_matcher.h"

namespace tarnvick {

// Indices for the first `levels` mip levels of a texture of `width` x `height`: level l has
// (width >> l) x (height >> l) pixels of `stride` bytes, taken one level after the other from
// the start of `source` and mapped by `matcher`. A pixel is its first three bytes (red, green,
// blue) or, with `index_colours` (stride 1), the colour of its index in that 768-byte table.
// With `transparent`, a pixel of 4 bytes whose fourth is below 128 becomes kTransparentIndex.
// With a `dither` method, each level is dithered from its own pixels.
// Fails with kTooFewPixels when `source` holds too few, kOutOfMemory when the indices cannot be
// allocated.
Result<std::vector<std::uint8_t>> QuantizeMips(std::span<const std::uint8_t> source,
                                               std::uint32_t width, std::uint32_t height,
                                               int levels, int stride, const ColorMatcher& matcher,
                                               const std::uint8_t* index_colours = nullptr,
                                               bool transparent = false, Dither dither = Dither::kNone);

}  // namespace tarnvick
