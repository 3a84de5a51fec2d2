// How far a WAL's level 0, seen through the palette, lies from its source's level 0: the summed
// squared differences of red, green and blue, for the quality figures (PSNR) of a run.
#pragma once

#include <cstdint>

#include "palette/palette.h"
#include "texture/texture.h"
#include "texture/wal_texture.h"

namespace tarnvick {

struct ConversionError {
  std::uint64_t squared = 0;  // the sum over the pixels and channels of the squared differences
  std::uint64_t values = 0;   // 3 x the pixels of level 0
};

// Whether `a` has the larger mean squared error (squared / values, compared exactly).
bool LargerMeanError(const ConversionError& a, const ConversionError& b);

// The error of `wal` (made from `source` against `palette`) over level 0; with `transparent`,
// over its opaque pixels (those not of the transparent index).
ConversionError MeasureError(const Texture& source, const WalTexture& wal, const Palette& palette,
                             bool transparent = false);

}  // namespace tarnvick
