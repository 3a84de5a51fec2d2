#include "palette/select_palette.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tarnvick {

Palette PopularityPalette(const ColorHistogram& histogram, std::size_t entries) {
  entries = std::min(entries, kPaletteEntries);
  struct Rank {
    PixelCount count;
    std::uint32_t key;
    bool operator>(const Rank& other) const { return count > other.count || (count == other.count && key > other.key); }
  };
  // The greatest pairs, kept in a heap whose top is the least of them.
  std::vector<Rank> greatest;
  greatest.reserve(entries + 1);
  // Once the heap is full, only colours counted at least as often as its least can enter.
  PixelCount least = 1;
  if (entries != 0) {
    histogram.ForEachAtLeast(least, [&](std::uint32_t key, PixelCount count) {
      const Rank rank{count, key};
      if (greatest.size() == entries && !(rank > greatest.front())) return;
      greatest.push_back(rank);
      std::push_heap(greatest.begin(), greatest.end(), std::greater<>());
      if (greatest.size() > entries) {
        std::pop_heap(greatest.begin(), greatest.end(), std::greater<>());
        greatest.pop_back();
      }
      if (greatest.size() == entries) least = greatest.front().count;
    });
  }
  std::sort(greatest.begin(), greatest.end(), std::greater<>());
  Palette palette{};
  for (std::size_t entry = 0; entry < greatest.size(); ++entry) {
    for (std::size_t c = 0; c < 3; ++c) palette[3 * entry + c] = static_cast<std::uint8_t>(greatest[entry].key >> (8 * c));
  }
  return palette;
}

}  // namespace tarnvick
