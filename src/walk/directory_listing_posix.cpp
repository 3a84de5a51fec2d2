#include "walk/directory_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tarnvick {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

Failure FailList(int error_number = errno) { return FailErrno(ErrorKind::kCannotList, error_number); }

bool IsFolder(const ScopedFile& directory, FolderId id) {
  struct stat info {};
  return directory && ::fstat(directory.get(), &info) == 0 && FolderId{info.st_dev, info.st_ino} == id;
}

}  // namespace

std::optional<FolderId> IdOf(const FileRef& file) {
  struct stat info {};
  if (::fstatat(file.directory, file.name.c_str(), &info, 0) != 0) return std::nullopt;
  return FolderId{info.st_dev, info.st_ino};
}

Result<Folder> OpenDirectory(const FileRef& folder, bool follow) {
  auto handle = std::make_shared<const ScopedFile>(
      ::openat(folder.directory, folder.name.c_str(), kFolderFlags | (follow ? 0 : O_NOFOLLOW)));
  struct stat info {};
  if (!*handle || ::fstat(handle->get(), &info) != 0) return FailList();
  return Folder{std::move(handle), {info.st_dev, info.st_ino}};
}

Result<Folder> ReopenDirectory(const std::string& path, std::span<const std::size_t> ends, const ScopedFile* child,
                               FolderId id) {
  ScopedFile directory(::openat(child != nullptr ? child->get() : -1, "..", kFolderFlags | O_NOFOLLOW));
  if (!IsFolder(directory, id)) {
    directory = ScopedFile(::openat(AT_FDCWD, path.substr(0, ends[0]).c_str(), kFolderFlags));
    for (std::size_t i = 1; i < ends.size() && directory; ++i) {
      const std::size_t from = ends[i - 1] + 1;
      directory = ScopedFile(::openat(directory.get(), path.substr(from, ends[i] - from).c_str(), kFolderFlags | O_NOFOLLOW));
    }
    // An open folder that is not the one entered: what was there is another folder now.
    if (!IsFolder(directory, id)) return FailList(directory ? ENOENT : errno);
  }
  return Folder{std::make_shared<const ScopedFile>(std::move(directory)), id};
}

Listing ListDirectory(const ScopedFile& folder) {
  Listing listing;
  const int copy = ::dup(folder.get());
  DIR* stream = copy < 0 ? nullptr : ::fdopendir(copy);
  if (stream == nullptr) {
    listing.complete = FailList();
    if (copy >= 0) ::close(copy);
    return listing;
  }
  while (true) {
    errno = 0;
    const dirent* entry = ::readdir(stream);
    if (entry == nullptr) {
      if (errno != 0) listing.complete = FailList();
      break;
    }
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const EntryKind kind = entry->d_type == DT_DIR       ? EntryKind::kDirectory
                           : entry->d_type == DT_LNK     ? EntryKind::kLink
                           : entry->d_type == DT_UNKNOWN ? EntryKind::kUnknown
                                                         : EntryKind::kFile;
    listing.entries.push_back({name, kind});
  }
  ::closedir(stream);
  return listing;
}

Result<EntryKind> KindOf(const ScopedFile& folder, const DirectoryEntry& entry) {
  EntryKind kind = entry.kind;
  if (kind == EntryKind::kUnknown) {
    struct stat info {};
    if (::fstatat(folder.get(), entry.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return FailList();
    kind = S_ISDIR(info.st_mode) ? EntryKind::kDirectory : S_ISLNK(info.st_mode) ? EntryKind::kLink : EntryKind::kFile;
  }
  if (kind != EntryKind::kLink) return kind;
  struct stat info {};
  if (::fstatat(folder.get(), entry.name.c_str(), &info, 0) != 0) {
    if (errno == ENOENT || errno == ELOOP) return EntryKind::kFile;
    return FailList();
  }
  return S_ISDIR(info.st_mode) ? EntryKind::kLinkToDirectory : EntryKind::kFile;
}

}  // namespace tarnvick
