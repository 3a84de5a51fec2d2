// Whether two paths name one file, so that a run never writes an output over one of its inputs
// or over another of its outputs.
#pragma once

#include <string>

namespace tarnvick {

// True when `a` and `b` name the same file: the same inode once links are followed (hard links
// too), or, for files that do not exist yet, the same path once made absolute and resolved as
// far as it exists.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace tarnvick
