// Making the folders an output goes into: every missing one along a path, as a plain mkdir would
// (0777 less the umask).
#pragma once

#include <string>

#include "io/error.h"

namespace tarnvick {

// Creates `path` and every missing folder above it. Fails with kCannotWrite and the system's
// reason (a file in the way, no permission, ...).
Result<void> MakeDirectories(const std::string& path);

}  // namespace tarnvick
