#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include "io/make_directories.h"
#include "io/wide_path.h"

namespace tarnvick {
namespace {

// The folder at `path` held open as a directory descriptor named by that path; with `real`, a
// folder with a reparse point (a link or a junction) is refused as a link in the way.
Result<std::shared_ptr<const ScopedFile>> OpenFolderAt(const std::wstring& path, bool real) {
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (real ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  const HANDLE handle = CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return FailSystem(ErrorKind::kCannotWrite);
  BY_HANDLE_FILE_INFORMATION info{};
  const bool read = GetFileInformationByHandle(handle, &info) != 0;
  if (!read || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (real && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)) {
    CloseHandle(handle);
    if (read && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      return Fail(ErrorKind::kCannotWrite, "a link is in the way");
    }
    return FailErrno(ErrorKind::kCannotWrite, ENOTDIR);
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY);
  if (fd < 0) {
    CloseHandle(handle);
    return FailErrno(ErrorKind::kCannotWrite, EMFILE);
  }
  NameFolder(fd, path.substr(0, path.find_last_not_of(L'\\') + 1));
  return std::make_shared<const ScopedFile>(fd);
}

}  // namespace

Result<std::shared_ptr<const ScopedFile>> OpenFolder(const std::string& path) {
  if (IsDeviceName(path)) return Fail(ErrorKind::kCannotWrite, "a device name");
  return OpenFolderAt(WidePath(path), false);
}

Result<std::shared_ptr<const ScopedFile>> EnterFolders(const std::shared_ptr<const ScopedFile>& root,
                                                       std::string_view below) {
  std::shared_ptr<const ScopedFile> folder = root;
  while (!below.empty()) {
    const std::size_t end = below.find_first_of("/\\");
    const std::string name(below.substr(0, end));
    below = end == std::string_view::npos ? std::string_view() : below.substr(end + 1);
    if (name.empty()) continue;
    if (IsDeviceName(name)) return Fail(ErrorKind::kCannotWrite, "a device name");
    const std::wstring path = WidePath(FileRef{folder->get(), name});
    if (path.empty()) return FailErrno(ErrorKind::kCannotWrite, ENOENT);
    if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      return FailSystem(ErrorKind::kCannotWrite);
    }
    // The entry itself, not followed; the open below checks again what it reaches.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      return Fail(ErrorKind::kCannotWrite, "a link is in the way");
    }
    Result<std::shared_ptr<const ScopedFile>> entered = OpenFolderAt(path, true);
    if (!entered) return entered;
    folder = std::move(*entered);
  }
  return folder;
}

}  // namespace tarnvick
