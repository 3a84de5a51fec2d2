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

// With transparency, as Quake 2 engines and map tools draw it: the entry that means a transparent
// pixel, and the least fourth byte of an M32 pixel that is opaque.
inline constexpr std::uint8_t kTransparentIndex = 255;
inline constexpr std::uint8_t kOpaqueAlpha = 128;

// `palette` for a matcher that must never choose the transparent entry: that entry takes the
// colour of entry 0, which wins every tie, so the nearest entry is always one of 0 to 254.
inline Palette WithoutTransparentEntry(Palette palette) {
  for (std::size_t c = 0; c < 3; ++c) palette[3 * kTransparentIndex + c] = palette[c];
  return palette;
}

// A palette as a file in one of the palette formats gives it: its first `colours` entries come
// from the file, the rest are black.
struct PaletteColours {
  Palette palette{};
  std::size_t colours = 0;
};

}  // namespace tarnvick
