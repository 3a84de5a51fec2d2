#include "io/atomic_file.h"

#include <windows.h>

#include <io.h>

#include <cerrno>

#include "io/temporary_files.h"
#include "io/wide_path.h"

namespace tarnvick {
namespace {

Result<void> WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  while (!bytes.empty()) {
    DWORD written = 0;
    const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    if (!WriteFile(handle, bytes.data(), ask, &written, nullptr)) return FailSystem(ErrorKind::kCannotWrite);
    bytes = bytes.subspan(written);
  }
  return {};
}

}  // namespace

// Links: Windows replaces a link at the target by the new file, whichever the policy; the file a
// link names is left untouched.
Result<FileRef> CheckWritable(const FileRef& target, LinkPolicy) {
  if (target.name.empty()) return FailErrno(ErrorKind::kCannotWrite, ENOENT);
  if (IsDeviceName(target.name)) return Fail(ErrorKind::kCannotWrite, "not a regular file");
  const DWORD attributes = GetFileAttributesW(WidePath(target).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Fail(ErrorKind::kCannotWrite, "not a regular file");
    // A file the user marked read-only is not replaced behind their back; a link in its place is.
    if ((attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_REPARSE_POINT)) == FILE_ATTRIBUTE_READONLY) {
      return FailErrno(ErrorKind::kCannotWrite, EACCES);
    }
  } else if (const Failure missing = FailSystem(ErrorKind::kCannotWrite); missing.error.system_error != ENOENT) {
    return missing;
  }
  const DWORD folder = GetFileAttributesW(WidePath(FileRef{target.directory, DirectoryPart(target.name)}).c_str());
  if (folder == INVALID_FILE_ATTRIBUTES) return FailSystem(ErrorKind::kCannotWrite);
  if ((folder & FILE_ATTRIBUTE_DIRECTORY) == 0) return FailErrno(ErrorKind::kCannotWrite, ENOTDIR);
  return target;
}

Result<void> WriteFileAtomically(const FileRef& target,
                                 std::initializer_list<std::span<const std::uint8_t>> chunks,
                                 LinkPolicy links) {
  const Result<FileRef> file = CheckWritable(target, links);
  if (!file) return Failure{file.error()};
  Result<TemporaryFile> temporary = CreateTemporaryFile(*file);
  if (!temporary) return Failure{temporary.error()};

  Result<void> written;
  for (const auto& chunk : chunks) {
    if (written) written = WriteAll(temporary->fd.get(), chunk);
  }
  if (!temporary->fd.Close() && written) written = FailErrno(ErrorKind::kCannotWrite, EIO);
  const std::wstring temporary_path = WidePath(temporary->ref);
  if (written && !MoveFileExW(temporary_path.c_str(), WidePath(*file).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    written = FailSystem(ErrorKind::kCannotWrite);
  }
  if (!written) DeleteFileW(temporary_path.c_str());
  ForgetTemporaryFile(*temporary);
  return written;
}

}  // namespace tarnvick
