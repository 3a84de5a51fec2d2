// What the program sets up in its process before the run, on each system: the handlers that
// remove temporary files when the process is ended, the memory allocator, the open-file limit,
// and the arguments as UTF-8.
#pragma once

#include <string>
#include <vector>

namespace tarnvick {

// Sets up the process and returns its arguments (argv[0] first), as UTF-8.
std::vector<std::string> SetUpProcess(int argc, char** argv);

}  // namespace tarnvick
