// What the system lets this process hold open at once, and the size of a file before it is read:
// what the run needs to fit its files in flight to the process's limits.
#pragma once

#include <cstdint>

#include "io/file_ref.h"

namespace tarnvick {

// The descriptors this process may have open at once (its soft limit).
std::uint64_t OpenFileLimit();

// The size of the file at `file` (links followed); 0 when it cannot be read.
std::uint64_t FileSizeOf(const FileRef& file);

// Whether anything is at `file` (a dangling link counts as nothing, and on Windows a device's
// name), or it cannot be told.
bool SomethingIsAt(const FileRef& file);

}  // namespace tarnvick
