// The baseline a library palette must beat: a plain median cut of a pixel sample of the library,
// refined by a few k-means passes over the same sample.
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

}  // namespace tarnvick::bench
