#include "palette/select_palette.h"

namespace tarnvick {

Result<void> RankColors(const ColorHistogram& histogram, RankedColors& ranked) {
  for (const auto* node = histogram.Minimum(); node != nullptr; node = histogram.Next(node)) {
    const std::uint32_t key = node->key;
    const std::array<std::uint8_t, 4> rgb = {static_cast<std::uint8_t>(key),
                                             static_cast<std::uint8_t>(key >> 8),
                                             static_cast<std::uint8_t>(key >> 16), 0};
    if (ranked.Insert(RankKey{node->value, key}, rgb) == nullptr) {
      return Fail(ErrorKind::kOutOfMemory);
    }
  }
  return {};
}

Palette SelectPalette(const RankedColors& ranked) {
  Palette palette{};
  std::size_t entry = 0;
  for (const auto* node = ranked.Maximum(); node != nullptr && entry < kPaletteEntries;
       node = ranked.Previous(node), ++entry) {
    for (std::size_t i = 0; i < 3; ++i) palette[3 * entry + i] = node->value[i];
  }
  return palette;
}

}  // namespace tarnvick
