#include "io/temporary_files.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>

namespace tarnvick {
namespace {

// A registered file: its directory and name, readable by a signal handler once `ready` is set.
struct Slot {
  std::atomic<int> state{0};  // 0 free, 1 being filled, 2 ready
  int directory = AT_FDCWD;
  std::array<char, 4096> name{};
};
constexpr int kSlots = 64;
Slot slots[kSlots];
// Threads between creating a temporary file and registering it, and whether the process is
// ending: the removal waits for the first, and no file is created once the second is set.
std::atomic<int> creating{0};
std::atomic<bool> ending{false};

int Register(const FileRef& file) {
  if (file.name.size() >= Slot{}.name.size()) return -1;
  for (int i = 0; i < kSlots; ++i) {
    int expected = 0;
    if (slots[i].state.compare_exchange_strong(expected, 1)) {
      slots[i].directory = file.directory;
      std::memcpy(slots[i].name.data(), file.name.c_str(), file.name.size() + 1);
      slots[i].state.store(2);
      return i;
    }
  }
  return -1;
}

std::string RandomSuffix(unsigned attempt) {
  static std::atomic<std::uint64_t> counter{0};
  std::uint64_t x = static_cast<std::uint64_t>(
                        std::chrono::steady_clock::now().time_since_epoch().count()) ^
                    (static_cast<std::uint64_t>(::getpid()) << 32) ^ (counter++ * 0x9E3779B97F4A7C15u) ^
                    attempt;
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string suffix;
  for (int i = 0; i < 6; ++i) {
    x ^= x >> 29;
    x *= 0xBF58476D1CE4E5B9u;
    suffix += kLetters[x % 62];
  }
  return suffix;
}

}  // namespace

Result<TemporaryFile> CreateTemporaryFile(const FileRef& target) {
  const std::string directory = DirectoryPart(target.name);
  const std::string prefix =
      (target.name.find('/') == std::string::npos ? std::string() : directory + "/") + ".tarnvick-";
  // Signals wait until the file is registered, so that none can leave it behind: on this thread
  // by the mask, on others by the count of files being created.
  sigset_t block;
  sigset_t previous;
  sigemptyset(&block);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&block, signal);
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    TemporaryFile file;
    file.ref = {target.directory, prefix + RandomSuffix(attempt)};
    ::pthread_sigmask(SIG_BLOCK, &block, &previous);
    ++creating;
    if (!ending) {
      file.fd = ScopedFile(::openat(target.directory, file.ref.name.c_str(),
                                    O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    }
    const int error = ending ? EINTR : errno;
    if (file.fd) file.slot = Register(file.ref);
    --creating;
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (file.fd) return file;
    if (error != EEXIST) return FailErrno(ErrorKind::kCannotWrite, error);
  }
  return FailErrno(ErrorKind::kCannotWrite, EEXIST);
}

void ForgetTemporaryFile(const TemporaryFile& file) {
  if (file.slot >= 0) slots[file.slot].state.store(0);
}

void RemoveTemporaryFiles() {
  ending = true;
  while (creating.load() > 0) {
  }
  for (Slot& slot : slots) {
    if (slot.state.load() == 2) ::unlinkat(slot.directory, slot.name.data(), 0);
  }
}

}  // namespace tarnvick
