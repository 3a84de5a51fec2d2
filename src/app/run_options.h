// The command line: the options of one run, how they are parsed, and the usage text.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "walk/walk_directory.h"

namespace tarnvick {

inline constexpr const char* kDefaultPaletteFile = "palette.lmp";

struct RunOptions {
  std::string start_directory;               // the first argument, verbatim
  std::optional<std::string> palette_path;   // from -p or -o
  bool generate = true;                      // generate the palette (default, -o) or read it (-p)
  bool recurse = false;                      // -s
  bool verbose = false;                      // -v

  WalkOptions walk() const { return {recurse, verbose}; }
};

// Prints the usage text to `out`.
void PrintUsage(std::FILE* out);

// Parses argv (the program name first) into `options`, printing the usage and any error to
// `out`. Returns 0 when the run may go on, otherwise its exit code: 1 without a start
// directory, 2 for an argument shorter than two characters, 3 for a second palette option.
// Afterwards an unset palette path is "palette.lmp".
int ParseCommandLine(int argc, const char* const* argv, RunOptions& options, std::FILE* out);

}  // namespace tarnvick
