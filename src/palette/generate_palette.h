// Generating the shared palette from the source textures: the 256 colours with the most pixels,
// most frequent first, written as the palette file.
#pragma once

#include <cstdio>
#include <string>

#include "palette/color_tables.h"
#include "palette/palette_file.h"
#include "walk/walk_directory.h"

namespace tarnvick {

// Fills `palette` from the ranked colours: entry 0 the greatest (count, colour key), then down;
// entries past the last colour are zero.
void SelectPalette(const RankedColors& ranked, Palette& palette);

// Counts the colours of every source texture under `start_directory` into `histogram`, ranks
// them in `ranked`, fills `palette` and writes it to `palette_path`, printing progress on `out`.
// False, with the reason on `err`, when the palette could not be made or written.
bool GeneratePalette(const std::string& start_directory, const WalkOptions& options,
                     const std::string& palette_path, ColorHistogram& histogram,
                     RankedColors& ranked, Palette& palette, std::FILE* out, std::FILE* err);

}  // namespace tarnvick
