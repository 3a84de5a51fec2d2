// The shared 256-colour palette and its file form: 768 raw bytes, red, green, blue for entry 0
// first, with no header of any kind.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tarnvick {

inline constexpr std::size_t kPaletteEntries = 256;
inline constexpr std::size_t kPaletteFileSize = 3 * kPaletteEntries;

// Entry i is bytes 3i (red), 3i+1 (green) and 3i+2 (blue).
using Palette = std::array<std::uint8_t, kPaletteFileSize>;

// Reads up to 768 bytes of `path` into `palette` from entry 0 on; a shorter file leaves the rest
// of the table as it was, bytes past 768 are ignored. False when the file cannot be opened.
bool LoadPalette(const std::string& path, Palette& palette);

// Writes the 768 bytes of `palette` to `path`, replacing it atomically. False, with the reason in
// `error`, when the file cannot be written; an existing file is then left as it was.
bool SavePalette(const std::string& path, const Palette& palette, std::string& error);

}  // namespace tarnvick
