// Generating the shared palette from the source textures, with its progress messages: the
// gathering walk, the ranking, and the palette file.
#pragma once

#include "app/command_line.h"
#include "app/console.h"
#include "palette/palette.h"

namespace tarnvick {

// Counts the colours of every source texture under the start directory (files that do not load
// count nothing; the counts are freed on return), makes the palette by the chosen method and
// writes it to the palette path. Fails with kOutOfMemory while counting (the detail names the
// file) or making the palette, kCannotCount when a file could not be read for want of the
// run's own resources (descriptors, a failing device), or with the reason the palette file could
// not be written.
Result<Palette> GeneratePalette(const RunOptions& options, Console& console);

}  // namespace tarnvick
