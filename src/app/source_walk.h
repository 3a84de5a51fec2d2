// A walk over the start directory's source files with the walk's own messages: the directory
// lines of a verbose run and the directories that cannot be read.
#pragma once

#include <functional>
#include <string>

#include "app/command_line.h"
#include "app/console.h"
#include "walk/walk_directory.h"

namespace tarnvick {

// Walks the start directory as `options` say, calling `file` for each source file.
void WalkSources(const RunOptions& options, Console& console,
                 const std::function<void(const SourceFile& file)>& file);

}  // namespace tarnvick
