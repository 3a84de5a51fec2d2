// The palette a generating run must write, computed the plain way: count every colour in a map,
// rank most pixels first and equal counts by the greater blue, then green, then red.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "support/expected_wal.h"

namespace tarnvick::testing {

class ColourTally {
 public:
  void Add(const std::vector<Rgb>& pixels);
  // 768 bytes: the 256 highest-ranked colours, the rest zero.
  std::vector<std::uint8_t> Palette() const;

 private:
  std::map<std::array<std::uint8_t, 3>, long> counts_;  // keyed blue, green, red
};

}  // namespace tarnvick::testing
