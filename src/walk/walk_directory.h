// Visiting the M8 and M32 files of a directory (and, on request, of its subdirectories) in a
// fixed order, telling the caller what it meets.
//
// walk/ holds the directory walk. It prints nothing; it uses texture/ (the extension table) and
// io/ (the error type).
#pragma once

#include <functional>
#include <string>

#include "io/error.h"

namespace tarnvick {

// What the walk tells its caller, in walk order.
struct WalkVisitor {
  std::function<void(const std::string& directory)> entered;  // before its entries
  std::function<void(const std::string& path, const Error& error)> unreadable;
  std::function<void(const std::string& path)> file;  // an accepted source file
};

// Within a directory, entries are taken in ascending byte order of their names: first every
// file (anything that is not a directory, links followed) whose extension is M8 or M32 in any
// case, then, when `recurse`, every real subdirectory (never a link, "." or ".."), depth first.
// Paths are the directory, one separator and the entry's name. A directory that cannot be
// listed is reported (kCannotList) and the walk goes on.
void WalkDirectory(const std::string& directory, bool recurse, const WalkVisitor& visitor);

}  // namespace tarnvick
