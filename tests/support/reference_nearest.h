// The plain nearest-colour search (sum of squared differences of the three bytes; the lowest
// index wins ties), alone and behind a one-entry cache of the last colour: the reference that the
// fast ColorMatcher must equal, and what the tests compute expected indices with.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "palette/palette.h"

namespace tarnvick {

using Rgb = std::array<std::uint8_t, 3>;

// The index of the entry nearest to `colour` among the first `entries` of `palette` (3 bytes an
// entry).
std::uint8_t BruteForceNearest(std::span<const std::uint8_t> palette, const Rgb& colour, int entries = 256);

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

}  // namespace tarnvick
