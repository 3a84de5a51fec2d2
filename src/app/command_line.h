// The command line: the options of one run and how they are parsed.
#pragma once

#include <optional>
#include <string>

#include "io/error.h"

namespace tarnvick {

inline constexpr const char* kDefaultPaletteFile = "palette.lmp";

struct RunOptions {
  std::string start_directory;  // the first argument, verbatim
  std::string palette_path;     // from -p or -o, else "palette.lmp"
  bool generate = true;         // generate the palette (default, -o) or read it (-p)
  bool recurse = false;         // -s
  bool verbose = false;         // -v
  int jobs = 1;                 // --jobs=N, else the processors available to the process
};

// Parses argv (the program name first). Fails with kNoStartDirectory, kInvalidParameter (an
// argument shorter than two characters, a --jobs without a whole number from 1 up) or
// kTwoPaletteOptions, at the first error.
Result<RunOptions> ParseCommandLine(int argc, const char* const* argv);

// The processors this process may run on.
int ProcessorsAvailable();

// The exit code of a command-line error: 1, 2 or 3.
int ExitCodeOf(const Error& error);

}  // namespace tarnvick
