// The palette indices of a texture's first mip levels.
//
// convert/ turns one loaded texture into its WAL in memory, with no file involved. It uses
// texture/ and palette/ (and io/ for the error type).
#pragma once

#include <cstdint>
#include <vector>

#include "convert/dither.h"
#include "io/error.h"
#include "palette/color_matcher.h"
#include "palette/nearest_table.h"
#include "texture/texture.h"

namespace tarnvick {

// Indices for the first `levels` mip levels of `source` taken as `width` x `height`: level l has
// (width >> l) x (height >> l) pixels, taken one level after the other from the start of its
// pixels and mapped by `matcher` by their colours. With `transparent`, a 4-byte pixel whose fourth
// byte is below 128 becomes kTransparentIndex. With a `dither` method, each level is dithered from
// its own pixels. Undithered pixels of 3 or 4 bytes are looked up in `nearest` when one is given
// (a table of `matcher`'s entries: the same indices). Fails with kTooFewPixels when `source`
// holds too few.
Result<std::vector<std::uint8_t>> QuantizeMips(const Texture& source, std::uint32_t width, std::uint32_t height,
                                               int levels, const ColorMatcher& matcher, bool transparent = false,
                                               Dither dither = Dither::kNone, const NearestTable* nearest = nullptr);

}  // namespace tarnvick
