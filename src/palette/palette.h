// The shared 256-colour palette every WAL indexes: entry i is bytes 3i (red), 3i+1 (green) and
// 3i+2 (blue).
//
// palette/ holds the palette type, colour counting and ranking, the palette file formats and
// nearest-colour matching. It prints nothing and walks no directory; it uses io/ and texture/.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarnvick {

inline constexpr std::size_t kPaletteEntries = 256;
inline constexpr std::size_t kPaletteFileSize = 3 * kPaletteEntries;

using Palette = std::array<std::uint8_t, kPaletteFileSize>;

// A palette as a file in one of the palette formats gives it: its first `colours` entries come
// from the file, the rest are black.
struct PaletteColours {
  Palette palette{};
  std::size_t colours = 0;
};

}  // namespace tarnvick
