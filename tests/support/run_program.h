// Running the real tarnvick program in a child process and capturing what it prints.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace tarnvick::testing {

struct ProgramResult {
  std::string out;  // standard output
  std::string err;  // standard error
  int exit_code = -1;  // -1 when the program did not exit normally
  int signal = 0;      // the signal that ended it, if one did
  long peak_memory_kib = 0;  // its largest resident size
};

struct ProgramSettings {
  std::string program = {};            // the program to run; empty: tarnvick
  std::string working_directory = {};  // empty: the test's own
  long file_size_limit = -1;      // bytes, for simulating a full disk; -1: none
  long address_space_limit = -1;  // bytes of memory the program may map; -1: none
  long open_files_limit = -1;     // descriptors the program may hold, soft and hard; -1: as the tests
  // Processes and threads its user may have (the thread limit); the program then runs as a user of
  // its own, which needs root. -1: none.
  long process_limit = -1;
  bool unprivileged = false;      // run as an ordinary user even when the tests run as root
  std::string stdout_path = {};   // a file for standard output instead of a capture
  bool stdout_closed_pipe = false;  // standard output is a pipe nobody reads: writes fail
  bool merge_stderr = false;        // standard error goes into the standard output capture
  bool stderr_terminal = false;     // standard error is a terminal (raw, so bytes arrive as written)
  std::function<void(pid_t)> while_running = {};  // called with the child's pid before waiting
};

// The banner every run prints first.
inline constexpr const char* kBanner = "tarnvick - M8/M32 to WAL texture converter\n\n";

// Runs the program. On Windows its output is given back with '\' read as '/', the separator of
// the paths it builds there, so that the expectations of both systems are one.
ProgramResult RunTarnvick(const std::vector<std::string>& arguments,
                          const ProgramSettings& settings = {});

// `text` read as RunTarnvick reads the program's output, for an expected text that holds '\'.
std::string AsPrinted(std::string text);

// Whether the tests run as root, who may write where others may not.
bool RunningAsRoot();
// Lets an unprivileged user read and walk everything below `path` (and `path` itself).
void OpenToEveryone(const std::string& path);

}  // namespace tarnvick::testing
