#include "support/colour_tally.h"

namespace tarnvick::testing {

void ColourTally::Add(const std::uint8_t* rgb) {
  const std::uint32_t key = rgb[0] | rgb[1] << 8 | rgb[2] << 16;
  KeyTree::Node* node = counts_.Find(key);
  if (node == nullptr) node = counts_.Insert(key, 0);
  ++node->value;
}

void ColourTally::Add(const std::vector<Rgb>& pixels) {
  for (const Rgb& c : pixels) Add(c.data());
}

std::vector<std::uint8_t> ColourTally::Palette() const {
  RankedColors ranked;
  for (const auto* node = counts_.Minimum(); node != nullptr; node = counts_.Next(node)) {
    const std::uint32_t key = node->key;
    ranked.Insert({node->value, key}, {static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(key >> 8),
                                       static_cast<std::uint8_t>(key >> 16), 0});
  }
  const tarnvick::Palette palette = SelectPalette(ranked);
  return {palette.begin(), palette.end()};
}

}  // namespace tarnvick::testing
