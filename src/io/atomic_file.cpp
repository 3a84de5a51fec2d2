#include "io/atomic_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "io/scoped_file.h"

namespace tarnvick {
namespace {

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The mode a plain create would give `path`: that of the file it replaces, or 0666 less umask.
Result<mode_t> ModeFor(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return FailErrno(ErrorKind::kCannotWrite, EISDIR);
    if (::access(path.c_str(), W_OK) != 0) return FailErrno(ErrorKind::kCannotWrite);
    return static_cast<mode_t>(info.st_mode & 07777);
  }
  if (errno != ENOENT) return FailErrno(ErrorKind::kCannotWrite);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

}  // namespace

Result<void> WriteFileAtomically(const std::string& path,
                                 std::initializer_list<std::span<const std::uint8_t>> chunks) {
  if (path.empty()) return FailErrno(ErrorKind::kCannotWrite, ENOENT);
  const Result<mode_t> mode = ModeFor(path);
  if (!mode) return Failure{mode.error()};

  std::string temp_name = DirectoryOf(path) + "/.tarnvick-XXXXXX";
  std::vector<char> temp(temp_name.begin(), temp_name.end());
  temp.push_back('\0');
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return FailErrno(ErrorKind::kCannotWrite);
  temp_name = temp.data();

  ScopedFile file;
  std::FILE* stream = ::fdopen(fd, "wb");
  if (stream == nullptr) {
    const int saved = errno;
    ::close(fd);
    ::unlink(temp_name.c_str());
    return FailErrno(ErrorKind::kCannotWrite, saved);
  }
  file.Adopt(stream);

  bool ok = ::fchmod(fd, *mode) == 0;
  for (const auto& chunk : chunks) {
    if (!ok) break;
    ok = chunk.empty() || std::fwrite(chunk.data(), 1, chunk.size(), stream) == chunk.size();
  }
  ok = ok && std::fflush(stream) == 0;
  const int write_errno = errno;
  const bool closed = file.Close();
  if (ok && !closed) ok = false;
  else if (!ok) errno = write_errno;
  if (ok && std::rename(temp_name.c_str(), path.c_str()) == 0) return {};
  const int saved = errno;
  ::unlink(temp_name.c_str());
  return FailErrno(ErrorKind::kCannotWrite, saved);
}

}  // namespace tarnvick
