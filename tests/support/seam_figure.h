// How much a texture's dithering shows where the texture repeats: its level 0 tiled 2 x 2 beside
// its source tiled the same way, the blurred squared error's mean over a band of 2 pixels each
// side of the inner seams over its mean elsewhere, within the middle tile-sized window. 1 means
// no seam.
#pragma once

#include <cstdint>
#include <span>

namespace tarnvick::testing {

// The seam figure of `converted` against `source`, both `width` x `height` RGB images (three
// bytes a pixel, row after row); 1 when neither part has any error.
double SeamFigure(std::span<const std::uint8_t> source, std::span<const std::uint8_t> converted, std::uint32_t width,
                  std::uint32_t height);

}  // namespace tarnvick::testing
