// Mapping colours to the index of the nearest palette entry (sum of squared differences of the
// three bytes; the lowest index wins ties). NearestIndex and MapPixels are the plain search with
// a one-entry cache of the last colour, the reference that the fast ColorMatcher must equal;
// QuantizeMips makes the indices of a texture's mip levels with a ColorMatcher.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "palette/color_matcher.h"
#include "palette/palette_file.h"

namespace tarnvick {

// The colour of the last search and the index it found.
struct LastMatch {
  // A key no colour has (its top byte is set), so that a reset cache matches nothing.
  static constexpr std::uint32_t kNoColor = 0xFF000000u;
  std::uint32_t key = kNoColor;
  std::uint8_t index = 0;
};

// The index of the entry of `palette` nearest to the colour `rgb` (3 bytes), through `cache`.
std::uint8_t NearestIndex(const Palette& palette, const std::uint8_t* rgb, LastMatch& cache);

// Maps `count` pixels, `stride` bytes apart from `first` (only the first three bytes of each are
// read), to `out`, starting from a reset cache.
void MapPixels(std::uint8_t* out, std::int32_t count, const std::uint8_t* first,
               const Palette& palette, std::int32_t stride);

// Indices for the first `levels` mip levels of a texture of `width` x `height`: level l has
// (width >> l) x (height >> l) pixels, taken one level after the other from the start of
// `source` and mapped by `matcher`. False, and `out` untouched, when `source` (of `source_size`
// bytes) holds too few.
bool QuantizeMips(const std::uint8_t* source, std::size_t source_size, std::uint32_t width,
                  std::uint32_t height, int levels, int stride, ColorMatcher& matcher,
                  std::vector<std::uint8_t>& out);

}  // namespace tarnvick
