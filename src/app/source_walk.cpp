#include "app/source_walk.h"


namespace tarnvick {

void WalkSources(const RunOptions& options, Console& console,
                 const std::function<void(const SourceFile& file)>& file) {
  WalkDirectory(options.start_directory, options.recurse,
                {.entered =
                     [&](const std::string& directory) {
                       if (options.verbose) console.Progress("\n\t" + directory + "...");
                     },
                 .unreadable =
                     [&](const std::string& path, const Error& error) {
                       console.Problem("cannot read directory: " + path + ": " + error.detail);
                     },
                 .file = file});
}

}  // namespace tarnvick
