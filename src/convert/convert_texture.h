// Converting one M8 or M32 texture file into a WAL file beside it, against the shared palette.
#pragma once

#include <string>

#include "palette/color_matcher.h"

namespace tarnvick {

// The WAL path for a source path: everything after its last "." replaced by "wal" (".wal"
// appended when there is no ".").
std::string WalPathFor(const std::string& source_path);

// Loads the texture at `path`, maps its first four mip levels to the palette of `matcher` and
// writes the WAL. False, with a short reason in `reason`, when no WAL was written.
bool ConvertTexture(const std::string& path, ColorMatcher& matcher, std::string& reason);

}  // namespace tarnvick
