#include "app/process_setup.h"

#include <malloc.h>
#include <signal.h>
#include <sys/resource.h>

#include "io/temporary_files.h"

namespace tarnvick {
namespace {

// Ending by a signal: the temporary file being written goes first, then the process ends by the
// same signal, as it would have without the handler.
void EndBySignal(int signal) {
  RemoveTemporaryFiles();
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

std::vector<std::string> SetUpProcess(int argc, char** argv) {
  // A write past a file-size limit must fail like a full disk, and a closed pipe like any other
  // output that cannot be written: neither may kill the run.
  ::signal(SIGXFSZ, SIG_IGN);
  ::signal(SIGPIPE, SIG_IGN);
  struct sigaction action {};
  action.sa_handler = EndBySignal;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
  // File buffers are freed and taken again for every texture. Returned to the system each time,
  // they would cost page faults, and with several threads a stop of every other core to flush its
  // address cache; kept, they are reused. Only buffers above 64 MiB are mapped on their own.
  ::mallopt(M_MMAP_THRESHOLD, 64 << 20);
  ::mallopt(M_TRIM_THRESHOLD, 256 << 20);
  // One pool for every thread: each thread's own would keep the buffers of the last texture it
  // worked on, and memory would grow with the number of threads. Buffers are taken a few times a
  // texture, so threads rarely wait for the pool.
  ::mallopt(M_ARENA_MAX, 1);
  // The walk holds one open directory for each level of a tree: allow as many as the system does.
  rlimit files{};
  if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &files);
  }
  return {argv, argv + argc};
}

}  // namespace tarnvick
