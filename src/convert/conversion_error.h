// How far a WAL's level 0, seen through the palette, lies from its source's level 0: the summed
// squared differences of red, green and blue, for the quality figures (PSNR) of a run.
#pragma once

#include <cstdint>
#include <vector>

#include "palette/palette.h"
#include "texture/texture.h"
#include "texture/wal_texture.h"

namespace tarnvick {

struct ConversionError {
  std::uint64_t squared = 0;  // the sum over the pixels and channels of the squared differences
  std::uint64_t values = 0;   // 3 x the pixels of level 0
  double blurred = 0;         // the same sum after a blur of both images, when it is measured
};

// Whether `a` has the larger mean squared error (squared / values, compared exactly).
bool LargerMeanError(const ConversionError& a, const ConversionError& b);

// Whether `a` has the larger mean blurred squared error (blurred / values).
bool LargerBlurredError(const ConversionError& a, const ConversionError& b);

// Blurs the `width` x `height` plane `values` (row after row) as an eye at a distance sees it: a
// Gaussian of weights exp(-i^2 / 2) for i = -3..3, normalised, along the rows and then along
// the columns, with the edges wrapped around (the texture repeats).
void BlurWrapped(std::vector<double>& values, std::uint32_t width, std::uint32_t height);

// The error of `wal` (made from `source` against `palette`) over level 0; with `transparent`,
// over its opaque pixels (those not of the transparent index).
ConversionError MeasureError(const Texture& source, const WalTexture& wal, const Palette& palette,
                             bool transparent = false);

// The summed squared differences of the two level-0 images, each channel blurred by BlurWrapped;
// with `transparent`, over the opaque pixels, the transparent ones counting as no difference.
double MeasureBlurredError(const Texture& source, const WalTexture& wal, const Palette& palette,
                           bool transparent = false);

}  // namespace tarnvick
