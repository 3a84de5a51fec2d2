#include "io/temporary_files.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
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

}  // namespace

Result<TemporaryFile> CreateTemporaryFile(const FileRef& target) {
  const std::string directory = DirectoryPart(target.name);
  const bool in_folder = std::find_if(target.name.begin(), target.name.end(), IsSeparator) != target.name.end();
  const std::string prefix = (in_folder ? directory + kSeparator : std::string()) + ".tarnvick-";
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    TemporaryFile file;
    file.ref = {target.directory, prefix + TemporaryNameSuffix(GetCurrentProcessId(), attempt)};
    const std::wstring path = WidePath(file.ref);
    const std::lock_guard lock(register_lock);
    if (ending) return FailErrno(ErrorKind::kCannotWrite, EINTR);
    // Shared for deletion, so that the console's handler can remove it while it is open.
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const Failure failure = FailSystem(ErrorKind::kCannotWrite);
      if (failure.error.system_error != EEXIST) return failure;
      continue;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR);
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
