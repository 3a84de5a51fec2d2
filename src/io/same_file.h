// Whether two paths name one file, so that a run never writes an output over one of its inputs
// or over another of its outputs.
#pragma once

#include <string>

namespace tarnvick {

// True when `a` and `b` name the same file: the same inode once links are followed (hard links
// too), or, for files that do not exist yet, the same path once made absolute and resolved as
// far as it exists, links followed to the file they name even when it is missing.
bool SameFile(const std::string& a, const std::string& b);

// `path` as the file system tells names apart: two paths with one key name one file. The path
// itself, and on Windows its letters in upper case, as Windows compares names.
std::string PathKey(const std::string& path);

}  // namespace tarnvick
