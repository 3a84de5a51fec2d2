#include "palette/select_palette.h"

#include <algorithm>

#include <algorithm>
#include <vector>

namespace tarnvick {

Result<void> RankColors(const ColorHistogram& histogram, RankedColors& ranked) {
  // The 256 greatest (count, key) pairs, kept in a heap whose top is the least of them.
  std::vector<RankKey> greatest;
  greatest.reserve(kPaletteEntries);
  const auto greater = [](const RankKey& a, const RankKey& b) { return RankKeyLess()(b, a); };
  histogram.ForEach([&](std::uint32_t key, PixelCount count) {
    const RankKey rank{count, key};
    if (greatest.size() < kPaletteEntries) {
      greatest.push_back(rank);
      std::push_heap(greatest.begin(), greatest.end(), greater);
    } else if (RankKeyLess()(greatest.front(), rank)) {
      std::pop_heap(greatest.begin(), greatest.end(), greater);
      greatest.back() = rank;
      std::push_heap(greatest.begin(), greatest.end(), greater);
    }
  });
  for (const RankKey& rank : greatest) {
    const std::uint32_t key = rank.color_key;
    const std::array<std::uint8_t, 4> rgb = {static_cast<std::uint8_t>(key),
                                             static_cast<std::uint8_t>(key >> 8),
                                             static_cast<std::uint8_t>(key >> 16), 0};
    if (ranked.Insert(rank, rgb) == nullptr) return Fail(ErrorKind::kOutOfMemory);
  }
  return {};
}

Palette SelectPalette(const RankedColors& ranked, std::size_t entries) {
  Palette palette{};
  std::size_t entry = 0;
  for (const auto* node = ranked.Maximum(); node != nullptr && entry < std::min(entries, kPaletteEntries);
       node = ranked.Previous(node), ++entry) {
    for (std::size_t i = 0; i < 3; ++i) palette[3 * entry + i] = node->value[i];
  }
  return palette;
}

}  // namespace tarnvick
