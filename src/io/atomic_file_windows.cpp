#include "io/atomic_file.h"

#include <windows.h>

#include <io.h>

#include <algorithm>
#include <cerrno>

#include "io/read_file.h"
#include "io/temporary_files.h"
#include "io/wide_path.h"

namespace tarnvick {
namespace {

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

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

Result<std::unique_ptr<AtomicFileWriter>> AtomicFileWriter::Begin(const FileRef& target, LinkPolicy links) {
  const Result<FileRef> file = CheckWritable(target, links);
  if (!file) return Failure{file.error()};
  Result<TemporaryFile> temporary = CreateTemporaryFile(*file);
  if (!temporary) return Failure{temporary.error()};
  return std::unique_ptr<AtomicFileWriter>(new AtomicFileWriter(*file, std::move(*temporary)));
}

AtomicFileWriter::~AtomicFileWriter() {
  if (!committed_) {
    temporary_.fd.Close();
    DeleteFileW(WidePath(temporary_.ref).c_str());
  }
  ForgetTemporaryFile(temporary_);
}

Result<void> AtomicFileWriter::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD written = 0;
    const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    if (!WriteFile(HandleOf(temporary_.fd.get()), bytes.data(), ask, &written, &at)) return FailSystem(ErrorKind::kCannotWrite);
    bytes = bytes.subspan(written);
    offset += written;
  }
  return {};
}

Result<std::size_t> AtomicFileWriter::ReadAt(std::uint64_t offset, std::uint8_t* data, std::size_t size) {
  return tarnvick::ReadAt(temporary_.fd.get(), data, size, offset);
}

Result<void> AtomicFileWriter::Commit(std::uint64_t size) {
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(size);
  const HANDLE handle = HandleOf(temporary_.fd.get());
  if (!SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) || !SetEndOfFile(handle)) return FailSystem(ErrorKind::kCannotWrite);
  if (!temporary_.fd.Close()) return FailErrno(ErrorKind::kCannotWrite, EIO);
  if (!MoveFileExW(WidePath(temporary_.ref).c_str(), WidePath(target_).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return FailSystem(ErrorKind::kCannotWrite);
  }
  committed_ = true;
  return {};
}

Result<void> RemoveWrittenFile(const FileRef& target) {
  if (!DeleteFileW(WidePath(target).c_str())) return Fail(ErrorKind::kCannotWrite, "cannot remove the file");
  return {};
}

}  // namespace tarnvick
