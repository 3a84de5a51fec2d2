// A file named relative to an open directory, so that a file can be reached however deep it
// lies: no path handed to the system ever grows with the depth of a tree.
#pragma once

#include <string>

#if defined(_WIN32)
namespace tarnvick {
inline constexpr int kWorkingDirectory = -100;
}  // namespace tarnvick
#else
#include <fcntl.h>
namespace tarnvick {
inline constexpr int kWorkingDirectory = AT_FDCWD;
}  // namespace tarnvick
#endif

namespace tarnvick {

struct FileRef {
  int directory = kWorkingDirectory;  // the open directory `name` is relative to
  std::string name;                   // a name or a relative path below `directory`, or an absolute path
};

// The part of `name` before its last separator: "." when it has none, the root itself for a file
// at the root.
std::string DirectoryPart(const std::string& name);

// Whether `c` separates the folders of a path on this system ('/', and on Windows also '\').
bool IsSeparator(char c);

// The separator the paths this program builds use: '/', and '\' on Windows.
inline constexpr char kSeparator =
#if defined(_WIN32)
    '\\';
#else
    '/';
#endif

}  // namespace tarnvick
