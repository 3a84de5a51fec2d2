#include "child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

namespace tarnvick::bench {
namespace {

Measure Wait(pid_t child, std::chrono::steady_clock::time_point start) {
  int status = 0;
  rusage usage{};
  Measure measure;
  measure.ok = child > 0 && ::wait4(child, &status, 0, &usage) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  measure.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  measure.peak_mib = static_cast<double>(usage.ru_maxrss) / 1024;
  return measure;
}

}  // namespace

Measure Spawn(const std::vector<std::string>& arguments, const std::string& stderr_path) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  if (!stderr_path.empty()) {
    posix_spawn_file_actions_addopen(&actions, 2, stderr_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  const auto start = std::chrono::steady_clock::now();
  pid_t child = -1;
  const bool spawned = ::posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  return spawned ? Wait(child, start) : Measure{};
}

Measure InChild(const std::function<bool()>& body) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child == 0) ::_exit(body() ? 0 : 1);
  return Wait(child, start);
}

}  // namespace tarnvick::bench
