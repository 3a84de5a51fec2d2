#include "app/source_walk.h"

#include "walk/walk_directory.h"

namespace tarnvick {

void WalkSources(const RunOptions& options, Console& console,
                 const std::function<void(const std::string& path)>& file) {
  WalkDirectory(options.start_directory, options.recurse,
                {.entered =
                     [&](const std::string& directory) {
                       if (options.verbose) console.Progress("\n\t" + directory + "...");
                     },
                 .unreadable =
                     [&](const std::string& directory, const Error&) {
                       console.Problem("cannot read directory: " + directory);
                     },
                 .file = file});
}

}  // namespace tarnvick
