// A palette in the shape of the classic game palettes, for the dithering checks and the quality
// benchmark: 16 ramps of 16 shades, dark to light: greys, then eight hues fully saturated, then
// seven at half saturation.
#pragma once

#include "palette/palette.h"

namespace tarnvick::testing {

Palette RampPalette();

}  // namespace tarnvick::testing
