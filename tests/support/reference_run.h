// The reference design of the whole conversion, kept to check the program against and to time it
// against: sequential; one tree search per pixel to count colours, every colour ranked, and a
// 256-entry scan behind a one-entry cache to map each pixel; files written in place.
#pragma once

#include <string>

namespace tarnvick::testing {

struct ReferenceOptions {
  std::string start_directory;
  bool recurse = false;
  bool generate = true;       // generate the palette and write it to `palette_path`, or read it
  std::string palette_path;
};

// Converts the library as the program would (the same palette file and WAL files). False when
// the palette cannot be read or written.
bool ReferenceRun(const ReferenceOptions& options);

}  // namespace tarnvick::testing
