#include "io/read_file.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include "io/wide_path.h"

namespace tarnvick {
namespace {

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

// `file` opened for reading when it is a regular file on a disk (a device, a pipe or a folder is
// refused); `extra` adds flags to the open.
Result<ScopedFile> OpenDiskFile(const std::wstring& path, DWORD extra) {
  const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | extra, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return FailSystem(ErrorKind::kCannotOpen);
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    CloseHandle(handle);
    return Fail(ErrorKind::kNotRegularFile);
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY);
  if (fd < 0) {
    CloseHandle(handle);
    return FailErrno(ErrorKind::kCannotOpen, EMFILE);
  }
  return ScopedFile(fd);
}

}  // namespace

Result<ScopedFile> OpenRegularFile(const FileRef& file) {
  if (IsDeviceName(file.name)) return Fail(ErrorKind::kNotRegularFile);
  const std::wstring path = WidePath(file);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return FailSystem(ErrorKind::kCannotOpen);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Fail(ErrorKind::kNotRegularFile);
  return OpenDiskFile(path, 0);
}

Result<std::size_t> ReadAt(int fd, std::uint8_t* data, std::size_t size, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < size) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset + done);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(HandleOf(fd), data + done, ask, &got, &at)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return FailSystem(ErrorKind::kReadError);
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

Result<ScopedFile> OpenPlainRegularFile(const FileRef& file, std::uint64_t size) {
  if (IsDeviceName(file.name)) return Fail(ErrorKind::kNotRegularFile);
  const std::wstring path = WidePath(file);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return FailSystem(ErrorKind::kCannotOpen);
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) return Fail(ErrorKind::kNotRegularFile);
  Result<ScopedFile> fd = OpenDiskFile(path, FILE_FLAG_OPEN_REPARSE_POINT);
  if (!fd) return fd;
  const Result<std::uint64_t> held = SizeOfOpenFile(fd->get());
  if (!held || *held != size) return Fail(ErrorKind::kNotRegularFile);
  return fd;
}

Result<std::uint64_t> SizeOfOpenFile(int fd) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(HandleOf(fd), &size)) return FailSystem(ErrorKind::kReadError);
  return static_cast<std::uint64_t>(size.QuadPart);
}

}  // namespace tarnvick
