// Running a program or a piece of code in a child process, for its time and its peak memory.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarnvick::bench {

struct Measure {
  double seconds = 0;
  double peak_mib = 0;  // peak resident memory
  bool ok = false;      // exited with 0
};

// Runs `arguments` (the program first) with standard output thrown away, and standard error
// written to `stderr_path` when one is given. Spawned, not forked: a forked copy of a large
// caller would count towards the child's peak.
Measure Spawn(const std::vector<std::string>& arguments, const std::string& stderr_path = {});

// Runs `body` in a forked child (true for success). Only for a small caller: its own memory at
// the fork counts towards the child's peak.
Measure InChild(const std::function<bool()>& body);

}  // namespace tarnvick::bench
