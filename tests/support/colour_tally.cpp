#include "support/colour_tally.h"

#include <algorithm>

namespace tarnvick::testing {

void ColourTally::Add(const std::vector<Rgb>& pixels) {
  for (const Rgb& c : pixels) ++counts_[{c[2], c[1], c[0]}];
}

std::vector<std::uint8_t> ColourTally::Palette() const {
  std::vector<std::pair<long, std::array<std::uint8_t, 3>>> ranked;
  for (const auto& [bgr, count] : counts_) ranked.emplace_back(count, bgr);
  std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a > b; });
  std::vector<std::uint8_t> palette(768, 0);
  for (std::size_t i = 0; i < ranked.size() && i < 256; ++i) {
    palette[3 * i] = ranked[i].second[2];
    palette[3 * i + 1] = ranked[i].second[1];
    palette[3 * i + 2] = ranked[i].second[0];
  }
  return palette;
}

}  // namespace tarnvick::testing
