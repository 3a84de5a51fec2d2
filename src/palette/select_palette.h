// Picking the popularity palette: the counted colours ranked by (count, colour key), and the
// 256 greatest taken, most pixels first.
#pragma once

#include "io/error.h"
#include "palette/color_tables.h"
#include "palette/palette.h"

namespace tarnvick {

// Ranks the 256 greatest (count, colour key) pairs of the histogram (all of them when there are
// fewer): only those can make the palette. Fails only with kOutOfMemory.
Result<void> RankColors(const ColorHistogram& histogram, RankedColors& ranked);

// The palette of the ranked colours: entry 0 the greatest (count, colour key), then down, in the
// first `entries` entries; entries past the last colour are black.
Palette SelectPalette(const RankedColors& ranked, std::size_t entries = kPaletteEntries);

}  // namespace tarnvick
