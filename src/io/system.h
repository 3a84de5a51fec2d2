// What the program asks of the system besides files: the processors it may use, whether an
// output is a terminal, the kind of a path, and zeroed memory taken straight from the system.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace tarnvick {

// The processors this process may run on (at least 1).
int ProcessorsAvailable();

// Whether `stream` is an interactive terminal (a console on Windows).
bool IsTerminal(std::FILE* stream);

enum class PathKind { kMissing, kDirectory, kOther };
// What `path` names, links followed.
PathKind KindOfPath(const std::string& path);

// The current folder as the system reports it (an absolute path); empty when it cannot tell.
std::string CurrentFolder();

// Whether `path` is absolute on this system (on Windows also one with a drive or a leading
// separator).
bool IsAbsolutePath(const std::string& path);

// `bytes` of zeroed memory; nullptr when the system has none. Memory written whole has every
// page ready for writing at once; memory read at random (a large table) has its pages mapped as
// they are first touched, large ones where the system gives them, so that fewer addresses miss
// the processor's translation caches.
enum class MemoryUse { kWrittenWhole, kReadAtRandom };
void* MapZeroedMemory(std::size_t bytes, MemoryUse use = MemoryUse::kWrittenWhole);
void UnmapZeroedMemory(void* memory, std::size_t bytes);

}  // namespace tarnvick
