// The popularity palette computed the plain way, as the reference design makes it: every colour
// counted in a red-black tree (one search a pixel), then ranked most pixels first and equal
// counts by the greater blue, then green, then red.
#pragma once

#include <cstdint>
#include <vector>

#include "support/ranked_colors.h"
#include "support/reference_nearest.h"

namespace tarnvick::testing {

class ColourTally {
 public:
  // Counts one pixel: its first three bytes (red, green, blue).
  void Add(const std::uint8_t* rgb);
  void Add(const std::vector<Rgb>& pixels);
  // 768 bytes: the 256 highest-ranked colours, the rest zero.
  std::vector<std::uint8_t> Palette() const;

 private:
  KeyTree counts_;
};

}  // namespace tarnvick::testing
