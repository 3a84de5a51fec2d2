// The tables a palette's colormap picture holds for software renderers, 256 entries wide: 64
// light levels, row y holding for entry c the entry nearest to c's colour scaled by (63 - y) / 32
// (row 0 about twice as bright, row 31 the colour itself, row 63 black); then 256 rows of
// translucency, row 64 + b column a holding the entry nearest to a third of entry a over two
// thirds of entry b. Nearest is the mapping's: least squared distance, lowest index on ties.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "palette/palette.h"

namespace tarnvick {

inline constexpr std::size_t kColormapWidth = kPaletteEntries;
inline constexpr std::size_t kLightLevels = 64;
inline constexpr std::size_t kColormapHeight = kLightLevels + kPaletteEntries;

// The kColormapWidth x kColormapHeight entries of the tables of `palette`, row after row.
std::vector<std::uint8_t> ColormapTables(const Palette& palette);

}  // namespace tarnvick
