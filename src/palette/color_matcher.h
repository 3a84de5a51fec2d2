// The fast nearest-colour mapping of the conversion walk. It gives exactly the indices of
// NearestIndex (same distance, lowest index on ties) but searches each colour at most once per
// palette (answers are remembered in a table over all 2^24 colours, filled as colours are met),
// and a search looks only at the entries whose red alone is not already too far.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "palette/color_key.h"
#include "palette/palette.h"

namespace tarnvick {

class ColorMatcher {
 public:
  explicit ColorMatcher(const Palette& palette);

  // The index of the palette entry nearest to `rgb` (3 bytes: red, green, blue).
  std::uint8_t Nearest(const std::uint8_t* rgb) {
    const std::uint32_t key = ColorKey(rgb);
    std::uint64_t& word = known_[key >> 6];
    const std::uint64_t bit = std::uint64_t{1} << (key & 63);
    if ((word & bit) == 0) {
      index_[key] = Search(rgb[0], rgb[1], rgb[2]);
      word |= bit;
    }
    return index_[key];
  }

  // Maps `count` pixels, `stride` bytes apart from `first`, to `out`.
  void Map(std::uint8_t* out, std::size_t count, const std::uint8_t* first, std::size_t stride);

 private:
  // The nearest entry to one colour, by a search outwards from its red in the sorted entries.
  std::uint8_t Search(int r, int g, int b) const;

  // The palette entries sorted by red (then by index): their colours and their indices.
  std::array<std::int32_t, kPaletteEntries> red_{};
  std::array<std::int32_t, kPaletteEntries> green_{};
  std::array<std::int32_t, kPaletteEntries> blue_{};
  std::array<std::int32_t, kPaletteEntries> entry_{};
  std::vector<std::uint8_t> index_;   // by colour key: the nearest index, once known
  std::vector<std::uint64_t> known_;  // by colour key: one bit, set once index_ holds it
};

}  // namespace tarnvick
