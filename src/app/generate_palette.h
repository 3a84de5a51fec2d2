// Generating the shared palette from the source textures, with its progress messages: the
// gathering walk, the ranking, and the palette file.
#pragma once

#include "app/command_line.h"
#include "app/console.h"
#include "palette/color_tables.h"
#include "palette/palette.h"

namespace tarnvick {

// Counts the colours of every source texture under the start directory into `histogram` (files
// that do not load count nothing), ranks them in `ranked`, selects the 256 most
// frequent and writes them to the palette path. Fails with kOutOfMemory while counting (the
// detail names the file) or ranking, kCannotCount when a file could not be read for want of the
// run's own resources (descriptors, a failing device), or with the reason the palette file could
// not be written.
Result<Palette> GeneratePalette(const RunOptions& options, ColorHistogram& histogram,
                                RankedColors& ranked, Console& console);

}  // namespace tarnvick
