#include "support/run_program.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "support/temp_dir.h"

namespace tarnvick::testing {

namespace {
constexpr uid_t kNobody = 65534;
constexpr uid_t kThreadLimitedUser = 64999;  // a user with no other process, for the thread limit

void SetLimit(int resource, long value) {
  const rlimit limit{static_cast<rlim_t>(value), static_cast<rlim_t>(value)};
  if (value >= 0 && ::setrlimit(resource, &limit) != 0) ::_exit(126);
}
}  // namespace

std::string AsPrinted(std::string text) { return text; }

bool RunningAsRoot() { return ::geteuid() == 0; }

void OpenToEveryone(const std::string& path) {
  namespace fs = std::filesystem;
  const auto open = [](const fs::path& p) {
    const bool dir = fs::is_directory(fs::symlink_status(p));
    fs::permissions(p, dir ? fs::perms::all & ~fs::perms::others_write & ~fs::perms::group_write
                           : fs::perms::owner_read | fs::perms::owner_write |
                                 fs::perms::group_read | fs::perms::others_read);
  };
  open(path);
  for (const auto& entry : fs::recursive_directory_iterator(path)) open(entry.path());
}

ProgramResult RunTarnvick(const std::vector<std::string>& arguments, const ProgramSettings& settings) {
  TempDir capture;
  OpenToEveryone(capture.path());
  const std::string out_path = capture / "out";
  const std::string err_path = capture / "err";
  WriteText(out_path, "");
  WriteText(err_path, "");
  if (settings.unprivileged || settings.process_limit >= 0) {
    const uid_t user = settings.process_limit >= 0 ? kThreadLimitedUser : kNobody;
    (void)::chown(out_path.c_str(), user, user);
    (void)::chown(err_path.c_str(), user, user);
  }

  // An ordinary user may not reach the build folder: it runs a copy from the open scratch folder.
  std::string binary = settings.program.empty() ? TARNVICK_BINARY : settings.program;
  if ((settings.unprivileged || settings.process_limit >= 0) && RunningAsRoot()) {
    const std::string copy = capture / "tarnvick";
    std::filesystem::copy_file(binary, copy);
    std::filesystem::permissions(copy, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                           std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                           std::filesystem::perms::others_exec);
    binary = copy;
  }
  std::vector<std::string> argv_storage = {binary};
  argv_storage.insert(argv_storage.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : argv_storage) argv.push_back(argument.data());
  argv.push_back(nullptr);

  int pipe_ends[2] = {-1, -1};
  if (settings.stdout_closed_pipe && ::pipe(pipe_ends) != 0) throw std::runtime_error("pipe failed");
  if (pipe_ends[0] >= 0) ::close(pipe_ends[0]);
  // A terminal for standard error: the child writes to its slave side, the capture reads the
  // master side once the child is gone (a run of a test writes far less than the terminal holds).
  int terminal = -1, terminal_slave = -1;
  if (settings.stderr_terminal) {
    terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (terminal < 0 || ::grantpt(terminal) != 0 || ::unlockpt(terminal) != 0) throw std::runtime_error("no terminal");
    terminal_slave = ::open(::ptsname(terminal), O_RDWR | O_NOCTTY);
    termios mode{};
    if (terminal_slave < 0 || ::tcgetattr(terminal_slave, &mode) != 0) throw std::runtime_error("no terminal");
    ::cfmakeraw(&mode);
    ::tcsetattr(terminal_slave, TCSANOW, &mode);
  }
  const pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    const int out_fd = settings.stdout_closed_pipe       ? pipe_ends[1]
                       : settings.stdout_path.empty() ? ::open(out_path.c_str(), O_WRONLY | O_TRUNC)
                                                      : ::open(settings.stdout_path.c_str(), O_WRONLY);
    const int err_fd = settings.merge_stderr      ? ::dup(out_fd)
                       : settings.stderr_terminal ? terminal_slave
                                                  : ::open(err_path.c_str(), O_WRONLY | O_TRUNC);
    if (out_fd < 0 || err_fd < 0 || ::dup2(out_fd, 1) < 0 || ::dup2(err_fd, 2) < 0) ::_exit(126);
    if (!settings.working_directory.empty() && ::chdir(settings.working_directory.c_str()) != 0) ::_exit(126);
    SetLimit(RLIMIT_FSIZE, settings.file_size_limit);
    SetLimit(RLIMIT_AS, settings.address_space_limit);
    SetLimit(RLIMIT_NOFILE, settings.open_files_limit);
    SetLimit(RLIMIT_NPROC, settings.process_limit);
    const uid_t user = settings.process_limit >= 0 ? kThreadLimitedUser : kNobody;
    if ((settings.unprivileged || settings.process_limit >= 0) && ::geteuid() == 0) {
      if (::setgid(user) != 0 || ::setuid(user) != 0) ::_exit(126);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  if (pipe_ends[1] >= 0) ::close(pipe_ends[1]);
  if (terminal_slave >= 0) ::close(terminal_slave);
  if (settings.while_running) settings.while_running(child);
  int status = 0;
  rusage usage{};
  if (::wait4(child, &status, 0, &usage) != child) throw std::runtime_error("wait4 failed");
  ProgramResult result;
  result.peak_memory_kib = usage.ru_maxrss;
  result.out = ReadText(out_path);
  result.err = ReadText(err_path);
  if (terminal >= 0) {
    char bytes[4096];
    for (ssize_t got; (got = ::read(terminal, bytes, sizeof bytes)) > 0;) result.err.append(bytes, static_cast<std::size_t>(got));
    ::close(terminal);
  }
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  return result;
}

}  // namespace tarnvick::testing
