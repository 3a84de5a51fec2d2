// The popularity palette: the most frequent colours of the library, most pixels first.
#pragma once

#include <cstddef>

#include "palette/color_histogram.h"
#include "palette/palette.h"

namespace tarnvick {

// The `entries` greatest (count, colour key) pairs of the histogram (a colour's key: blue, then
// green, then red), greatest first, in the first entries of the palette; the rest are black.
Palette PopularityPalette(const ColorHistogram& histogram, std::size_t entries = kPaletteEntries);

}  // namespace tarnvick
