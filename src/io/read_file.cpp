#include "io/read_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace tarnvick {

Failure FailTruncated(std::uint64_t required, std::uint64_t size) {
  return Fail(ErrorKind::kTruncated, std::to_string(size) + " of " + std::to_string(required) + " bytes");
}

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

bool HoldsExactly(const FileRef& file, std::initializer_list<std::span<const std::uint8_t>> chunks) {
  // The type first, links not followed: opening a FIFO or a device can have effects of its own.
  struct stat info {};
  if (::fstatat(file.directory, file.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)) {
    return false;
  }
  std::uint64_t size = 0;
  for (const auto& chunk : chunks) size += chunk.size();
  if (static_cast<std::uint64_t>(info.st_size) != size) return false;
  ScopedFile fd(::openat(file.directory, file.name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<std::uint64_t>(info.st_size) != size) {
    return false;
  }
  std::vector<std::uint8_t> buffer;
  std::uint64_t offset = 0;
  for (const auto& chunk : chunks) {
    buffer.resize(chunk.size());
    const Result<std::size_t> got = ReadAt(fd.get(), buffer.data(), buffer.size(), offset);
    if (!got || *got != chunk.size() || !std::equal(chunk.begin(), chunk.end(), buffer.begin())) return false;
    offset += chunk.size();
  }
  return true;
}

Result<FileContents> ReadSizedFile(const FileRef& file, std::size_t header_bytes,
                                   const FileLayoutOf& layout_of) {
  Result<ScopedFile> fd = OpenRegularFile(file);
  if (!fd) return Failure{fd.error()};
  struct stat info {};
  if (::fstat(fd->get(), &info) != 0) return FailErrno(ErrorKind::kReadError);
  const auto file_size = static_cast<std::uint64_t>(info.st_size);

  FileContents contents;
  contents.head.resize(std::min<std::uint64_t>(file_size, header_bytes));
  const Result<std::size_t> head = ReadAt(fd->get(), contents.head.data(), contents.head.size(), 0);
  if (!head) return Failure{head.error()};
  if (*head != contents.head.size()) return Fail(ErrorKind::kReadError, "the file shrank");

  const Result<FileLayout> layout = layout_of(contents.head);
  if (!layout) return Failure{layout.error()};
  if (layout->size > file_size) return FailTruncated(layout->size, file_size);
  const std::uint64_t body = std::min(layout->body, layout->size);

  const std::uint64_t in_head = std::min<std::uint64_t>(contents.head.size(), layout->size);
  try {
    contents.body.resize(static_cast<std::size_t>(layout->size - body));
  } catch (const std::bad_alloc&) {
    return Fail(ErrorKind::kOutOfMemory);
  }
  std::uint64_t at = body;
  if (at < in_head) {
    std::memcpy(contents.body.data(), contents.head.data() + at, static_cast<std::size_t>(in_head - at));
    at = in_head;
  }
  const std::size_t rest = static_cast<std::size_t>(layout->size - at);
  const Result<std::size_t> got =
      ReadAt(fd->get(), contents.body.data() + (at - body), rest, at);
  if (!got) return Failure{got.error()};
  if (*got != rest) return Fail(ErrorKind::kReadError, "the file shrank");
  contents.head.resize(static_cast<std::size_t>(in_head));
  return contents;
}

}  // namespace tarnvick
