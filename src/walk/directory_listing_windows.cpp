#include "walk/directory_listing.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>

#include "io/wide_path.h"

namespace tarnvick {

std::optional<FolderId> IdOf(const FileRef& file) {
  if (IsDeviceName(file.name)) return std::nullopt;
  const std::wstring path = WidePath(file);
  const HANDLE handle = path.empty() ? INVALID_HANDLE_VALUE
                                     : CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool read = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  if (!read) return std::nullopt;
  return FolderId{info.dwVolumeSerialNumber, std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow};
}

// A folder is held open by a C runtime descriptor over its handle, named (NameFolder) by the
// path it was opened by, so that its files are reached by that path and their names.
Result<Folder> OpenDirectory(const FileRef& folder, bool follow) {
  const std::wstring path = WidePath(folder);
  if (path.empty()) return FailErrno(ErrorKind::kCannotList, ENOENT);
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  const HANDLE handle = CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return FailSystem(ErrorKind::kCannotList);
  BY_HANDLE_FILE_INFORMATION info{};
  const DWORD unwanted = follow ? 0 : FILE_ATTRIBUTE_REPARSE_POINT;
  if (!GetFileInformationByHandle(handle, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (info.dwFileAttributes & unwanted) != 0) {
    CloseHandle(handle);
    return FailErrno(ErrorKind::kCannotList, ENOTDIR);
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY);
  if (fd < 0) {
    CloseHandle(handle);
    return FailErrno(ErrorKind::kCannotList, EMFILE);
  }
  // Named without a trailing separator, which the names joined to it bring ("tex/" is "tex").
  NameFolder(fd, path.substr(0, path.find_last_not_of(L'\\') + 1));
  return Folder{std::make_shared<const ScopedFile>(fd),
                {info.dwVolumeSerialNumber, std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow}};
}

// By its path alone: a folder's path says nothing of the links it went through, and the
// long-path prefix leaves ".." unresolved.
Result<Folder> ReopenDirectory(const std::string& path, std::span<const std::size_t> ends, const ScopedFile*,
                               FolderId id) {
  Result<Folder> folder = OpenDirectory({kWorkingDirectory, path.substr(0, ends.back())}, ends.size() == 1);
  if (folder && folder->id != id) return FailErrno(ErrorKind::kCannotList, ENOENT);
  return folder;
}

Listing ListDirectory(const ScopedFile& folder) {
  Listing listing;
  const std::wstring path = WidePath(FileRef{folder.get(), "."});
  if (path.empty()) {
    listing.complete = FailErrno(ErrorKind::kCannotList, ENOENT);
    return listing;
  }
  const std::wstring pattern = path + L"\\*";
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                         FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND) listing.complete = FailSystem(ErrorKind::kCannotList);
    return listing;
  }
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    // A folder entry with a reparse point is a directory link or a junction; links to files are
    // followed, so they are files.
    const DWORD attributes = found.dwFileAttributes;
    const EntryKind kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0         ? EntryKind::kFile
                           : (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? EntryKind::kLinkToDirectory
                                                                                : EntryKind::kDirectory;
    listing.entries.push_back({Utf8Of(name), kind});
  } while (FindNextFileW(search, &found));
  if (GetLastError() != ERROR_NO_MORE_FILES) listing.complete = FailSystem(ErrorKind::kCannotList);
  FindClose(search);
  return listing;
}

// The listing tells every kind.
Result<EntryKind> KindOf(const ScopedFile&, const DirectoryEntry& entry) { return entry.kind; }

}  // namespace tarnvick
