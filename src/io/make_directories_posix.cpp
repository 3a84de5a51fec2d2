#include <fcntl.h>
#include <sys/stat.h>

#include "io/make_directories.h"

namespace tarnvick {

Result<std::shared_ptr<const ScopedFile>> OpenFolder(const std::string& path) {
  auto folder = std::make_shared<const ScopedFile>(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!*folder) return FailErrno(ErrorKind::kCannotWrite);
  return folder;
}

Result<std::shared_ptr<const ScopedFile>> EnterFolders(const std::shared_ptr<const ScopedFile>& root,
                                                       std::string_view below) {
  std::shared_ptr<const ScopedFile> folder = root;
  while (!below.empty()) {
    const std::size_t end = below.find('/');
    const std::string name(below.substr(0, end));
    below = end == std::string_view::npos ? std::string_view() : below.substr(end + 1);
    if (name.empty()) continue;
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(folder->get(), name.c_str(), kFlags);
    if (fd < 0 && errno == ENOENT && (::mkdirat(folder->get(), name.c_str(), 0777) == 0 || errno == EEXIST)) {
      fd = ::openat(folder->get(), name.c_str(), kFlags);
    }
    if (fd < 0) {
      const int error = errno;
      struct stat status {};
      if (error == ELOOP || (::fstatat(folder->get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                             S_ISLNK(status.st_mode))) {
        return Fail(ErrorKind::kCannotWrite, "a link is in the way");
      }
      return FailErrno(ErrorKind::kCannotWrite, error);
    }
    folder = std::make_shared<const ScopedFile>(fd);
  }
  return folder;
}

}  // namespace tarnvick
