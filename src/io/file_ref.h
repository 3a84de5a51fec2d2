// A file named relative to an open directory, so that a file can be reached however deep it
// lies: no path handed to the system ever grows with the depth of a tree.
#pragma once

#include <fcntl.h>

#include <string>

namespace tarnvick {

struct FileRef {
  int directory = AT_FDCWD;  // the open directory `name` is relative to
  std::string name;          // a name or a relative path below `directory`, or an absolute path
};

// The part of `name` before its last '/': "." when it has none, "/" for a file at the root.
std::string DirectoryPart(const std::string& name);

}  // namespace tarnvick
