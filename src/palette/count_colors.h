// Counting the colours of one source texture into the colour histogram.
#pragma once

#include "io/error.h"
#include "palette/color_histogram.h"
#include "texture/texture.h"

namespace tarnvick {

// Adds every pixel of the first `byte_extent` bytes of `texture` to `histogram`: the colour of an
// index, or the first three bytes of a pixel (a fourth byte is ignored). Fails only with
// kOutOfMemory, when the histogram's table cannot be had. With `opaque_only`, 4-byte pixels whose
// fourth byte is below 128 (transparent) are not counted.
Result<void> CountColors(const Texture& texture, ColorHistogram& histogram, bool opaque_only = false);

}  // namespace tarnvick
