// The palette file: the 768 bytes of the palette, entry 0 first, with no header of any kind.
#pragma once

#include <string>

#include "io/error.h"
#include "palette/palette.h"

namespace tarnvick {

// The palette in the first 768 bytes of `path`; a shorter file leaves the entries past its end
// black, bytes past 768 are ignored. Fails when the file cannot be opened, is not a regular file,
// or cannot be read.
Result<Palette> LoadPalette(const std::string& path);

// Writes the 768 bytes of `palette` to `path`, replacing it atomically; an existing file is left
// as it was when the write fails.
Result<void> SavePalette(const std::string& path, const Palette& palette);

}  // namespace tarnvick
