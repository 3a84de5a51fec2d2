// The files a run names on its command line besides the library: those it reads (the palette, the
// archive the palette is read from, a start that is an archive) and those it writes (the palette
// made, the preview, the report, the archive), which no WAL or picture may replace.
#pragma once

#include <string>
#include <vector>

#include "app/command_line.h"

namespace tarnvick {

// An output the run names: what messages call it, and its path.
struct NamedOutput {
  std::string what;
  std::string path;
};

std::vector<std::string> NamedInputs(const RunOptions& options);
std::vector<NamedOutput> NamedOutputs(const RunOptions& options);

// Both, as paths.
std::vector<std::string> RunFiles(const RunOptions& options);

}  // namespace tarnvick
