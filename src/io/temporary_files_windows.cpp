#include "io/temporary_files.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <mutex>
#include <set>

#include "io/wide_path.h"

namespace tarnvick {

// A registered file: its full path. The console's handler runs on a thread of its own, so the
// register is guarded by a plain lock.
struct Slot {
  std::wstring path;
};
namespace {

std::mutex register_lock;
std::set<Slot*> registered;  // guarded by register_lock
bool ending = false;         // guarded by register_lock: no file is created once it is set

std::string RandomSuffix(unsigned attempt) {
  static std::atomic<std::uint64_t> counter{0};
  std::uint64_t x = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                    (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32) ^ (counter++ * 0x9E3779B97F4A7C15u) ^
                    attempt;
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";  // names ignore case here
  std::string suffix;
  for (int i = 0; i < 6; ++i) {
    x ^= x >> 29;
    x *= 0xBF58476D1CE4E5B9u;
    suffix += kLetters[x % 36];
  }
  return suffix;
}

}  // namespace

Result<TemporaryFile> CreateTemporaryFile(const FileRef& target) {
  const std::string directory = DirectoryPart(target.name);
  const bool in_folder = std::find_if(target.name.begin(), target.name.end(), IsSeparator) != target.name.end();
  const std::string prefix = (in_folder ? directory + kSeparator : std::string()) + ".tarnvick-";
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    TemporaryFile file;
    file.ref = {target.directory, prefix + RandomSuffix(attempt)};
    const std::wstring path = WidePath(file.ref);
    const std::lock_guard lock(register_lock);
    if (ending) return FailErrno(ErrorKind::kCannotWrite, EINTR);
    // Shared for deletion, so that the console's handler can remove it while it is open.
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const Failure failure = FailSystem(ErrorKind::kCannotWrite);
      if (failure.error.system_error != EEXIST) return failure;
      continue;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY);
    if (fd < 0) {
      CloseHandle(handle);
      DeleteFileW(path.c_str());
      return FailErrno(ErrorKind::kCannotWrite, EMFILE);
    }
    file.fd = ScopedFile(fd);
    file.slot = new Slot{path};
    registered.insert(file.slot);
    return file;
  }
  return FailErrno(ErrorKind::kCannotWrite, EEXIST);
}

void ForgetTemporaryFile(const TemporaryFile& file) {
  const std::lock_guard lock(register_lock);
  registered.erase(file.slot);
  delete file.slot;
}

void KeepEndingSignalsOffThisThread() {}

void RemoveTemporaryFiles() {
  const std::lock_guard lock(register_lock);
  ending = true;
  for (Slot* slot : registered) DeleteFileW(slot->path.c_str());
}

}  // namespace tarnvick
