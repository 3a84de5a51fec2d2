// Counting the colours of one source texture into the colour histogram.
#pragma once

#include <string>

#include "palette/color_tables.h"
#include "texture/texture.h"

namespace tarnvick {

// Adds every pixel of the first `byte_extent` bytes of `texture` to `histogram` (the first three
// bytes of each pixel; a fourth byte is ignored). False only when memory ran out.
bool CountColors(const Texture& texture, ColorHistogram& histogram);

// Loads the texture at `path` and counts its colours; a file that does not load counts nothing.
// False only when memory ran out.
bool GatherColors(const std::string& path, ColorHistogram& histogram);

}  // namespace tarnvick
