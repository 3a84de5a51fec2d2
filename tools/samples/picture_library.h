// The bundled picture sample library: a deterministic folder tree of PNG pictures of every colour
// type (one interlaced, one of 16 bits, one of a palette with transparent entries, a fence whose
// one-pixel wires stand in transparent pixels), TGA pictures plain, run-length coded and
// colour-mapped, a BMP and a PCX picture, .wal_json files for a light and a water texture, and
// one picture whose sides are no multiples of 8, which a converter refuses.
#pragma once

#include <string>
#include <vector>

namespace tarnvick::samples {

// Writes the library below `root` (created if missing); false when a file cannot be written.
bool WritePictureLibrary(const std::string& root);

// The paths (relative to the root, '/'-separated) of the files WritePictureLibrary writes.
std::vector<std::string> PictureLibraryFiles();

}  // namespace tarnvick::samples
