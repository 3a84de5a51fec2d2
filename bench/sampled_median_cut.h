// The baselines a library palette is compared with: a plain median cut of a pixel sample of the
// library, refined by a few k-means passes over the same sample; and the program's own median
// cut without its k-means passes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "palette/palette.h"

namespace tarnvick::bench {

using Rgb = std::array<std::uint8_t, 3>;

// About `size` level-0 pixels taken at an even step from every texture below `root` that has
// four mip levels, in walk order.
std::vector<Rgb> SamplePixels(const std::string& root, std::size_t size);

// Median cut of `sample` into at most 256 boxes (the box with the widest colour range is split at
// the median of its widest channel), then `passes` k-means passes over the sample with the exact
// nearest entry. Entries are rounded means; unused entries are black.
Palette SampledMedianCut(const std::vector<Rgb>& sample, int passes);

// The program's median-cut palette of the library below `root` (counted as a generating run
// counts) left as the means of its boxes, without k-means passes; all black if it cannot be made.
Palette UnrefinedMedianCut(const std::string& root);

}  // namespace tarnvick::bench
