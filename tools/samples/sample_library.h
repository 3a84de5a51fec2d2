// The bundled sample texture library: a deterministic folder tree of M8 files of every version
// and M32 files with full mip chains, with contents that look like textures (bricks, gradients,
// noise, flat colours), plus a few files a converter must pass over.
#pragma once

#include <string>
#include <vector>

namespace tarnvick::samples {

// Writes the library below `root` (created if missing); false when a file cannot be written.
bool WriteSampleLibrary(const std::string& root);

// Writes the library as one archive, `directory`/pak0.pak (created if missing): the same files,
// each named `textures/` and its path, in the order of SampleLibraryFiles. False when it cannot be
// written.
bool WriteSampleArchive(const std::string& directory);

// Writes every M8 sample into `directory`/m8 and every M32 sample into `directory`/m32, flat:
// the seed corpora of the fuzz targets. False when a file cannot be written.
bool WriteFuzzSeeds(const std::string& directory);

// The paths (relative to the root, '/'-separated) of the files WriteSampleLibrary writes.
std::vector<std::string> SampleLibraryFiles();

}  // namespace tarnvick::samples
