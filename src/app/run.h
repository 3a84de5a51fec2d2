// One run of the converter: banner, command line, palette step, conversion walk, exit code.
#pragma once

#include <cstdio>


namespace tarnvick {

// Exit codes beyond those of the command line (1 to 3).
inline constexpr int kExitRunFailed = 4;  // bad start directory, palette not read or written
// The run reached its end, but a WAL could not be written, or the messages could not be.
inline constexpr int kExitIncomplete = 5;

// Runs the converter on argv (program name first).
// Progress goes to `out`, problems to `err`; returns the exit code.
int Run(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

}  // namespace tarnvick
