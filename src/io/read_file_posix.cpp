#include "io/read_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tarnvick {

Result<ScopedFile> OpenRegularFile(const FileRef& file) {
  struct stat info {};
  if (::fstatat(file.directory, file.name.c_str(), &info, 0) != 0) {
    return FailErrno(ErrorKind::kCannotOpen);
  }
  if (!S_ISREG(info.st_mode)) return Fail(ErrorKind::kNotRegularFile);
  // Non-blocking, in case the file was swapped for a FIFO since: the check below refuses it.
  ScopedFile fd(::openat(file.directory, file.name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd) return FailErrno(ErrorKind::kCannotOpen);
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return Fail(ErrorKind::kNotRegularFile);
  }
  return fd;
}

Result<std::size_t> ReadAt(int fd, std::uint8_t* data, std::size_t size, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got =
        ::pread(fd, data + done, size - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      return FailErrno(ErrorKind::kReadError);
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

Result<ScopedFile> OpenPlainRegularFile(const FileRef& file, std::uint64_t size) {
  // The type first, links not followed: opening a FIFO or a device can have effects of its own.
  struct stat info {};
  if (::fstatat(file.directory, file.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return FailErrno(ErrorKind::kCannotOpen);
  if (!S_ISREG(info.st_mode) || static_cast<std::uint64_t>(info.st_size) != size) return Fail(ErrorKind::kNotRegularFile);
  ScopedFile fd(::openat(file.directory, file.name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (!fd) return FailErrno(ErrorKind::kCannotOpen);
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || static_cast<std::uint64_t>(info.st_size) != size) {
    return Fail(ErrorKind::kNotRegularFile);
  }
  return fd;
}

Result<std::uint64_t> SizeOfOpenFile(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return FailErrno(ErrorKind::kReadError);
  return static_cast<std::uint64_t>(info.st_size);
}

}  // namespace tarnvick
