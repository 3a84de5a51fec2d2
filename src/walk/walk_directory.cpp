#include "walk/walk_directory.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "io/scoped_file.h"
#include "texture/texture_type.h"

namespace tarnvick {
namespace {

struct Entry {
  std::string name;
  unsigned char type;  // as the listing gives it: DT_REG, DT_DIR, DT_LNK, DT_UNKNOWN, ...
};

Failure FailList(int error_number = errno) { return FailErrno(ErrorKind::kCannotList, error_number); }

// The entries of the open directory `fd`, sorted by name; `error` is set when the listing broke
// off, and holds what was listed before.
std::vector<Entry> ListDirectory(int fd, Result<void>& error) {
  std::vector<Entry> entries;
  const int copy = ::dup(fd);
  DIR* listing = copy < 0 ? nullptr : ::fdopendir(copy);
  if (listing == nullptr) {
    error = FailList();
    if (copy >= 0) ::close(copy);
    return entries;
  }
  while (true) {
    errno = 0;
    const dirent* entry = ::readdir(listing);
    if (entry == nullptr) {
      if (errno != 0) error = FailList();
      break;
    }
    const std::string name = entry->d_name;
    if (name != "." && name != "..") entries.push_back({name, entry->d_type});
  }
  ::closedir(listing);
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return entries;
}

bool IsSourceTexture(const std::string& name) {
  const TextureType type = LookupTextureType(name);
  return type == TextureType::kM8 || type == TextureType::kM32;
}

enum class Kind { kFile, kDirectory, kLinkToDirectory };

// What an entry is: a real directory, a link to one, or anything else (a file, a device, a
// dangling or looping link). Fails when its type cannot be read.
Result<Kind> KindOf(int directory, const Entry& entry) {
  unsigned char type = entry.type;
  if (type == DT_UNKNOWN) {
    struct stat info {};
    if (::fstatat(directory, entry.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return FailList();
    type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISLNK(info.st_mode) ? DT_LNK : DT_REG;
  }
  if (type == DT_DIR) return Kind::kDirectory;
  if (type != DT_LNK) return Kind::kFile;
  struct stat info {};
  if (::fstatat(directory, entry.name.c_str(), &info, 0) != 0) {
    if (errno == ENOENT || errno == ELOOP) return Kind::kFile;
    return FailList();
  }
  return S_ISDIR(info.st_mode) ? Kind::kLinkToDirectory : Kind::kFile;
}

void Walk(int parent, const std::string& name, const std::string& path, bool recurse,
          const WalkVisitor& visitor) {
  visitor.entered(path);
  // Below the start, only real directories are entered: a link swapped in is not followed.
  const int follow = parent == AT_FDCWD ? 0 : O_NOFOLLOW;
  const auto owner = std::make_shared<const ScopedFile>(
      ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | follow));
  const ScopedFile& directory = *owner;
  if (!directory) {
    visitor.unreadable(path, FailList().error);
    return;
  }
  Result<void> listed;
  const std::vector<Entry> entries = ListDirectory(directory.get(), listed);
  if (!listed) visitor.unreadable(path, listed.error());

  const std::string prefix = path + "/";
  std::vector<const Entry*> subdirectories;
  for (const Entry& entry : entries) {
    const bool source = IsSourceTexture(entry.name);
    if (!source && !(recurse && (entry.type == DT_DIR || entry.type == DT_UNKNOWN))) continue;
    const Result<Kind> kind = KindOf(directory.get(), entry);
    if (!kind) {
      visitor.unreadable(prefix + entry.name, kind.error());
    } else if (*kind == Kind::kFile && source) {
      visitor.file({{directory.get(), entry.name}, prefix + entry.name, owner});
    } else if (*kind == Kind::kDirectory) {
      subdirectories.push_back(&entry);
    }
  }
  if (!recurse) return;
  for (const Entry* entry : subdirectories) {
    Walk(directory.get(), entry->name, prefix + entry->name, recurse, visitor);
  }
}

}  // namespace

void WalkDirectory(const std::string& directory, bool recurse, const WalkVisitor& visitor) {
  Walk(AT_FDCWD, directory, directory, recurse, visitor);
}

bool HasSubdirectory(const std::string& directory) {
  const ScopedFile opened(::openat(AT_FDCWD, directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!opened) return false;
  Result<void> listed;
  const std::vector<Entry> entries = ListDirectory(opened.get(), listed);
  return std::any_of(entries.begin(), entries.end(), [&](const Entry& entry) {
    const Result<Kind> kind = KindOf(opened.get(), entry);
    return kind && *kind == Kind::kDirectory;
  });
}

}  // namespace tarnvick
