// The tarnvick program: converts M8 and M32 textures to WAL against one shared palette.
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "app/process_setup.h"
#include "app/run.h"

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> arguments = tarnvick::SetUpProcess(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
    pointers.push_back(nullptr);
    return tarnvick::Run(static_cast<int>(arguments.size()), pointers.data(), stdout, stderr);
  } catch (const std::bad_alloc&) {
    std::fflush(stdout);
    std::fputs("tarnvick: out of memory\n", stderr);
  } catch (const std::exception& error) {
    std::fflush(stdout);
    std::fprintf(stderr, "tarnvick: %s\n", error.what());
  }
  return tarnvick::kExitRunFailed;
}
