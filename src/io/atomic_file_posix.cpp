#include "io/atomic_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "io/read_file.h"
#include "io/temporary_files.h"

namespace tarnvick {
namespace {

constexpr int kMostLinks = 40;

// `name` with every link along the last component followed, as far as it exists.
Result<std::string> FollowLinks(int directory, std::string name) {
  for (int hops = 0; hops < kMostLinks; ++hops) {
    struct stat info {};
    if (::fstatat(directory, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISLNK(info.st_mode)) {
      return name;
    }
    std::vector<char> target(PATH_MAX + 1);
    const ssize_t length = ::readlinkat(directory, name.c_str(), target.data(), target.size());
    if (length < 0) return FailErrno(ErrorKind::kCannotWrite);
    const std::string link(target.data(), static_cast<std::size_t>(length));
    if (link.front() == '/' || name.find('/') == std::string::npos) {
      name = link;
    } else {
      name = DirectoryPart(name) + "/" + link;
    }
  }
  return FailErrno(ErrorKind::kCannotWrite, ELOOP);
}

// The permission bits of the regular file at that very path (not through a link), never its
// set-user-id, set-group-id or sticky bits; for a new file, or one replacing a link, those of a
// plain create: 0666 less the umask.
mode_t CreateMode(const FileRef& target) {
  struct stat info {};
  if (::fstatat(target.directory, target.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode)) {
    return static_cast<mode_t>(info.st_mode & 0777);
  }
  // Read once: the umask can only be read by setting it, which must not race between threads.
  static const mode_t mask = [] {
    const mode_t value = ::umask(0);
    ::umask(value);
    return value;
  }();
  return static_cast<mode_t>(0666 & ~mask);
}

}  // namespace

Result<FileRef> CheckWritable(const FileRef& target, LinkPolicy links) {
  if (target.name.empty()) return FailErrno(ErrorKind::kCannotWrite, ENOENT);
  FileRef file = target;
  if (links == LinkPolicy::kWriteThrough) {
    Result<std::string> followed = FollowLinks(target.directory, target.name);
    if (!followed) return Failure{followed.error()};
    file.name = *followed;
  }
  struct stat info {};
  if (::fstatat(file.directory, file.name.c_str(), &info, 0) == 0) {
    if (!S_ISREG(info.st_mode)) return Fail(ErrorKind::kCannotWrite, "not a regular file");
    struct stat own {};
    const bool is_link = ::fstatat(file.directory, file.name.c_str(), &own, AT_SYMLINK_NOFOLLOW) == 0 &&
                         S_ISLNK(own.st_mode);
    // A file the user may not write is not replaced behind their back; a link in its place is.
    if (!is_link && ::faccessat(file.directory, file.name.c_str(), W_OK, 0) != 0) {
      return FailErrno(ErrorKind::kCannotWrite);
    }
  } else if (errno != ENOENT) {
    return FailErrno(ErrorKind::kCannotWrite);
  }
  const std::string folder = DirectoryPart(file.name);
  if (::fstatat(file.directory, folder.c_str(), &info, 0) != 0) return FailErrno(ErrorKind::kCannotWrite);
  if (!S_ISDIR(info.st_mode)) return FailErrno(ErrorKind::kCannotWrite, ENOTDIR);
  if (::faccessat(file.directory, folder.c_str(), W_OK | X_OK, 0) != 0) {
    return FailErrno(ErrorKind::kCannotWrite);
  }
  return file;
}

Result<std::unique_ptr<AtomicFileWriter>> AtomicFileWriter::Begin(const FileRef& target, LinkPolicy links) {
  const Result<FileRef> file = CheckWritable(target, links);
  if (!file) return Failure{file.error()};
  const mode_t mode = CreateMode(*file);
  Result<TemporaryFile> temporary = CreateTemporaryFile(*file);
  if (!temporary) return Failure{temporary.error()};
  std::unique_ptr<AtomicFileWriter> writer(new AtomicFileWriter(*file, std::move(*temporary)));
  if (::fchmod(writer->temporary_.fd.get(), mode) != 0) return FailErrno(ErrorKind::kCannotWrite);
  return writer;
}

AtomicFileWriter::~AtomicFileWriter() {
  if (!committed_) {
    temporary_.fd.Close();
    ::unlinkat(target_.directory, temporary_.ref.name.c_str(), 0);
  }
  ForgetTemporaryFile(temporary_);
}

Result<void> AtomicFileWriter::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::pwrite(temporary_.fd.get(), bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (written < 0) {
      if (errno == EINTR) continue;
      return FailErrno(ErrorKind::kCannotWrite);
    }
    bytes = bytes.subspan(static_cast<std::size_t>(written));
    offset += static_cast<std::uint64_t>(written);
  }
  return {};
}

Result<std::size_t> AtomicFileWriter::ReadAt(std::uint64_t offset, std::uint8_t* data, std::size_t size) {
  return tarnvick::ReadAt(temporary_.fd.get(), data, size, offset);
}

Result<void> AtomicFileWriter::Commit(std::uint64_t size) {
  if (::ftruncate(temporary_.fd.get(), static_cast<off_t>(size)) != 0) return FailErrno(ErrorKind::kCannotWrite);
  if (!temporary_.fd.Close()) return FailErrno(ErrorKind::kCannotWrite);
  if (::renameat(target_.directory, temporary_.ref.name.c_str(), target_.directory, target_.name.c_str()) != 0) {
    return FailErrno(ErrorKind::kCannotWrite);
  }
  committed_ = true;
  return {};
}

Result<void> RemoveWrittenFile(const FileRef& target) {
  if (::unlinkat(target.directory, target.name.c_str(), 0) != 0) return FailErrno(ErrorKind::kCannotWrite);
  return {};
}

}  // namespace tarnvick
