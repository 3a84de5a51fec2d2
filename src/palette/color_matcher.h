// The fast nearest-colour mapping: exactly the index of the plain search (the least sum of
// squared differences of the three bytes, the lowest index on ties), found by comparing only the
// few entries that can be nearest to anything in the colour's small cell of colour space, sixteen
// at a time and without branches. The cells are made once, from coarse to fine, each from the
// candidates of the cell around it. Read-only once made: safe to use from several threads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "palette/palette.h"

namespace tarnvick {

class ColorMatcher {
 public:
  // The instructions the search uses: the widest vectors the processor has, or narrower ones
  // (the results are the same; the tests compare them).
  enum class Vectors { kPlain, kAvx2, kAvx512, kWidest };
  // The vectors this processor can use, widest last.
  static std::vector<Vectors> Available();

  // How the matcher prepares: cells made once per palette (fast to search, 8 ms to make), or one
  // cell holding every entry (a scan of all 256 entries a colour, made at once), for a palette
  // that only meets a few thousand colours.
  enum class Cells { kFine, kOne };

  explicit ColorMatcher(const Palette& palette, Vectors vectors = Vectors::kWidest, Cells cells = Cells::kFine);

  // The index of the palette entry nearest to `rgb` (3 bytes: red, green, blue).
  std::uint8_t Nearest(const std::uint8_t* rgb) const;

  // The entry every colour of `rgb`'s cell maps to, when the cell has only one candidate; else -1.
  // (Cheaper than a search, where many colours are matched.)
  int OnlyCandidate(const std::uint8_t* rgb) const;

  // The colour of entry `index` (red, green, blue).
  const std::array<std::int32_t, 3>& Colour(std::uint8_t index) const { return colours_[index]; }

  // How the colours given to Map lie: mostly near the ones before them, as a picture's pixels do,
  // or scattered over colour space, as dithering makes them; these are fetched from memory early.
  enum class Order { kCoherent, kScattered };

  // Maps `count` pixels, `stride` bytes apart from `first`, to `out`.
  void Map(std::uint8_t* out, std::size_t count, const std::uint8_t* first, std::size_t stride,
           Order order = Order::kCoherent) const;

  // Maps the `count` colours that differ from `rgb` only in red, from `rgb` upwards (its red, then
  // red + 1, ...), to `out`: `rgb`'s red and `count` multiples of 8, the last red at most 255. A
  // run of colours costs less this way than through Map: eight of them are weighed against each
  // candidate of their cell at once.
  void MapReds(std::uint8_t* out, const std::uint8_t* rgb, std::size_t count) const;

 private:
  // Sixteen candidates of a cell, laid out for pairwise multiply-and-add: 16 x red and 16 x green
  // of each, then 16 x blue and the palette index of each (a cell whose candidates do not fill
  // its last group repeats its first candidate, which changes nothing).
  static constexpr std::size_t kGroup = 16;
  struct alignas(64) Group {
    std::array<std::int16_t, 2 * kGroup> red_green;
    std::array<std::int16_t, 2 * kGroup> blue_index;
  };
  // Where a cell's groups lie in `groups_`, and its candidate when it has only one.
  struct Cell {
    std::uint32_t first = 0;
    std::uint32_t count = 0;
    std::int32_t only = -1;
  };

  // Fills the cells of the box of `size` values a side at `low`, whose candidates are among
  // `entries`.
  void Build(const std::array<std::int32_t, 3>& low, std::int32_t size, const std::vector<std::uint8_t>& entries);
  // Makes cell `number` with the candidates `chosen`.
  void AddCell(std::size_t number, const std::vector<std::uint8_t>& chosen);

  // The search and the mapping loop, in plain code and, where the processor has them, with
  // 256-bit or 512-bit vector instructions; all give the same indices.
  std::uint8_t NearestPlain(const std::uint8_t* rgb) const;
  void MapPlain(std::uint8_t* out, std::size_t count, const std::uint8_t* first, std::size_t stride, Order order) const;
  void MapRedsPlain(std::uint8_t* out, const std::uint8_t* rgb, std::size_t count) const;
#if defined(__x86_64__)
  std::uint8_t NearestAvx2(const std::uint8_t* rgb) const;
  void MapAvx2(std::uint8_t* out, std::size_t count, const std::uint8_t* first, std::size_t stride, Order order) const;
  void MapRedsAvx2(std::uint8_t* out, const std::uint8_t* rgb, std::size_t count) const;
  std::uint8_t NearestAvx512(const std::uint8_t* rgb) const;
  void MapAvx512(std::uint8_t* out, std::size_t count, const std::uint8_t* first, std::size_t stride, Order order) const;
#endif
  Vectors vectors_ = Vectors::kPlain;

  std::array<std::array<std::int32_t, 3>, kPaletteEntries> colours_{};
  std::vector<Cell> cells_;  // cells of 8 x 8 x 8 colours, by blue, green, red
  std::vector<Group> groups_;
};

}  // namespace tarnvick
