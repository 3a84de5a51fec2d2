// Visiting the M8 and M32 files of a directory (and, on request, of its subdirectories) in a
// fixed order, calling one action for each.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace tarnvick {

struct WalkOptions {
  bool recurse = false;  // enter subdirectories
  bool verbose = false;  // print "\n\t<directory>..." on entering each directory
};

// Receives the full path of one accepted file.
using FileAction = std::function<void(const std::string& path)>;

// Within a directory, entries are taken in ascending byte order of their names: first every
// file (anything that is not a directory, links followed) whose extension is M8 or M32 in any
// case, then, when recursing, every real subdirectory (never a link, "." or ".."), depth first.
// Paths are the directory, one separator and the entry's name. Verbose lines go to `out`; a
// directory that cannot be read is reported on `err` and the walk goes on.
void WalkDirectory(const std::string& directory, const WalkOptions& options,
                   const FileAction& action, std::FILE* out, std::FILE* err);

}  // namespace tarnvick
