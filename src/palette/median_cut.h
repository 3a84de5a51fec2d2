// A palette made to fit the colours of a whole library: median cut of the counted colours
// (weighted by their pixels) into 256 boxes, then k-means (Lloyd) passes that move each entry to
// the mean of the colours nearest to it, until nothing moves.
#pragma once

#include "palette/color_histogram.h"
#include "palette/palette.h"

namespace tarnvick {

// Whether the median cut is refined by k-means (the palette of the program), or left as the
// means of its boxes (to see what the refinement gains).
enum class Refinement { kFull, kNone };

// The median-cut palette of the counted colours. Entries are ordered by the pixels they stand
// for, most first (the greater colour key first on ties); entries that stand for none are black.
// With at most `entries` distinct colours it is exactly the popularity palette. Only the first
// `entries` entries are fitted (the rest are black). Deterministic: it depends on the counts
// alone.
Palette MedianCutPalette(const ColorHistogram& histogram, Refinement refinement = Refinement::kFull,
                                 std::size_t entries = kPaletteEntries);

}  // namespace tarnvick
