// The fast nearest-colour mapping: exactly the index of the plain search (the least sum of
// squared differences of the three bytes, the lowest index on ties), found by searching only the
// few entries that can be nearest to anything in the colour's small cell of colour space, and
// remembered per colour for the rest of the run. Safe to use from several threads at once.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "palette/color_key.h"
#include "palette/palette.h"

namespace tarnvick {

class ColorMatcher {
 public:
  explicit ColorMatcher(const Palette& palette);
  ColorMatcher(const ColorMatcher&) = delete;
  ColorMatcher& operator=(const ColorMatcher&) = delete;
  ~ColorMatcher();

  // The index of the palette entry nearest to `rgb` (3 bytes: red, green, blue).
  std::uint8_t Nearest(const std::uint8_t* rgb) {
    const std::uint32_t key = ColorKey(rgb);
    std::atomic_ref<std::uint16_t> known(known_[key]);
    const std::uint16_t remembered = known.load(std::memory_order_relaxed);
    if (remembered != 0) return static_cast<std::uint8_t>(remembered - 1);
    const std::uint8_t index = Search(rgb[0], rgb[1], rgb[2]);
    known.store(static_cast<std::uint16_t>(index + 1), std::memory_order_relaxed);
    return index;
  }

  // Maps `count` pixels, `stride` bytes apart from `first`, to `out`.
  void Map(std::uint8_t* out, std::size_t count, const std::uint8_t* first, std::size_t stride);

 private:
  // The entries that can be nearest to some colour of a cell, in ascending index order.
  struct Cell {
    std::vector<std::uint8_t> candidates;
  };

  std::uint8_t Search(int r, int g, int b);
  const Cell& CellFor(int r, int g, int b);

  std::array<std::int32_t, kPaletteEntries> red_{};
  std::array<std::int32_t, kPaletteEntries> green_{};
  std::array<std::int32_t, kPaletteEntries> blue_{};
  // By colour key: the nearest index + 1, or 0 while unknown. Pages are taken on first touch.
  std::uint16_t* known_ = nullptr;
  std::size_t known_bytes_ = 0;
  // Cells of 8 x 8 x 8 colours, made when first needed.
  std::unique_ptr<std::atomic<const Cell*>[]> cells_;
};

}  // namespace tarnvick
