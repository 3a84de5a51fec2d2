// The benchmark library: a deterministic texture library of a given size with the mix of a game's
// library: 78% M32 files (256 x 256, 128 x 128 and 512 x 512, full mip chains) and 22% M8 files
// of every version, showing gradients, smooth noise and per-channel noise (some tens of
// thousands of colours in a 256 x 256 level), in folders of 20 files.
#pragma once

#include <cstddef>
#include <string>

namespace tarnvick::samples {

// Writes files below `root` until they hold at least `megabytes` MB; false when one cannot be
// written.
bool WriteBenchLibrary(const std::string& root, std::size_t megabytes);

}  // namespace tarnvick::samples
