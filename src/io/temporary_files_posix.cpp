#include "io/temporary_files.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstring>
#include <new>

namespace tarnvick {

// A registered file: its directory and name, readable by a signal handler once `ready` is set.
struct Slot {
  std::atomic<int> state{0};  // 0 free, 1 being filled, 2 ready
  int directory = AT_FDCWD;
  std::array<char, 4096> name{};
};
namespace {

// The slots come in blocks, linked as they are needed and never freed, so that a signal handler
// can walk them while threads register: there are as many as files are ever written at once,
// whatever the number of threads.
struct Block {
  static constexpr int kSlots = 64;
  Slot slots[kSlots];
  std::atomic<Block*> next{nullptr};
};
Block first_block;
// Threads between creating a temporary file and registering it, and whether the process is
// ending: the removal waits for the first, and no file is created once the second is set.
std::atomic<int> creating{0};
std::atomic<bool> ending{false};

Slot* Register(const FileRef& file) {
  if (file.name.size() >= Slot{}.name.size()) return nullptr;
  for (Block* block = &first_block; block != nullptr;) {
    for (Slot& slot : block->slots) {
      int expected = 0;
      if (slot.state.compare_exchange_strong(expected, 1)) {
        slot.directory = file.directory;
        std::memcpy(slot.name.data(), file.name.c_str(), file.name.size() + 1);
        slot.state.store(2);
        return &slot;
      }
    }
    Block* next = block->next.load();
    if (next == nullptr) {
      // Every slot is taken: add a block, unless another thread just did.
      auto* added = new (std::nothrow) Block;
      if (added == nullptr) return nullptr;
      if (!block->next.compare_exchange_strong(next, added)) {
        delete added;
      } else {
        next = added;
      }
    }
    block = next;
  }
  return nullptr;
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
    file.ref = {target.directory, prefix + TemporaryNameSuffix(static_cast<std::uint64_t>(::getpid()), attempt)};
    ::pthread_sigmask(SIG_BLOCK, &block, &previous);
    ++creating;
    if (!ending) {
      file.fd = ScopedFile(::openat(target.directory, file.ref.name.c_str(),
                                    O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
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
  if (file.slot != nullptr) file.slot->state.store(0);
}

void KeepEndingSignalsOffThisThread() {
  sigset_t signals;
  sigemptyset(&signals);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, signal);
  ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void RemoveTemporaryFiles() {
  ending = true;
  while (creating.load() > 0) {
  }
  for (Block* block = &first_block; block != nullptr; block = block->next.load()) {
    for (Slot& slot : block->slots) {
      if (slot.state.load() == 2) ::unlinkat(slot.directory, slot.name.data(), 0);
    }
  }
}

}  // namespace tarnvick
