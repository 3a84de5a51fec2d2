#include "io/open_files.h"

#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <limits>

namespace tarnvick {

std::uint64_t OpenFileLimit() {
  rlimit files{};
  if (::getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY) {
    return std::numeric_limits<std::uint64_t>::max();
  }
  return files.rlim_cur;
}

std::uint64_t FileSizeOf(const FileRef& file) {
  struct stat info {};
  if (::fstatat(file.directory, file.name.c_str(), &info, 0) != 0 || info.st_size < 0) return 0;
  return static_cast<std::uint64_t>(info.st_size);
}

bool SomethingIsAt(const FileRef& file) {
  struct stat info {};
  return ::fstatat(file.directory, file.name.c_str(), &info, 0) == 0 || (errno != ENOENT && errno != ENOTDIR);
}

}  // namespace tarnvick
