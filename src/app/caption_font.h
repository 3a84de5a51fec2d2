// The 8 x 8 pixel font of the preview's captions: printable ASCII.
#pragma once

#include <array>
#include <cstdint>

namespace tarnvick {

// The glyph of `c`: eight rows, top first, bit 0 of each the leftmost pixel. A byte outside
// 32 to 126 gets the glyph of '?'.
const std::array<std::uint8_t, 8>& CaptionGlyph(char c);

}  // namespace tarnvick
