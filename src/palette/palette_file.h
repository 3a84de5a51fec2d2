// The palette file: the 768 bytes of the palette, entry 0 first, with no header of any kind.
#pragma once

#include <cstddef>

#include "io/error.h"
#include "io/file_ref.h"
#include "palette/palette.h"

namespace tarnvick {

struct LoadedPalette {
  Palette palette{};
  std::size_t length = 0;  // bytes the file held, up to 768
};

// The palette in the first 768 bytes of `file`; a shorter file leaves the entries past its end
// black, bytes past 768 are ignored. Fails when the file cannot be opened, is not a regular file
// (it is then never opened), cannot be read, or is empty (kEmptyFile).
Result<LoadedPalette> LoadPalette(const FileRef& file);

// Writes the 768 bytes of `palette` to `file`, replacing it atomically (through a link, the file
// it names); an existing file is left as it was when the write fails.
Result<void> SavePalette(const FileRef& file, const Palette& palette);

}  // namespace tarnvick
