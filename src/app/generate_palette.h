// Generating the shared palette from the source textures, with its progress messages: the
// gathering walk, the ranking, and the palette file.
#pragma once

#include "app/command_line.h"
#include "app/console.h"
#include "palette/key_table.h"
#include "palette/palette.h"

namespace tarnvick {

// A run's palette and, when it was generated, the colours counted for it (a table nonzero at
// each), so that the conversion can find the entries of all of them at once.
struct RunPalette {
  Palette palette{};
  KeyTable counted;
};

// Counts the colours of every source texture under the start directory (files that do not load
// count nothing; of the counts, only which colours were met is kept), makes the palette by the chosen method and
// writes it to the palette path. Fails with kOutOfMemory while counting (the detail names the
// file) or making the palette, kCannotCount when a file could not be read for want of the
// run's own resources (descriptors, a failing device), or with the reason the palette file could
// not be written.
Result<RunPalette> GeneratePalette(const RunOptions& options, Console& console);

}  // namespace tarnvick
