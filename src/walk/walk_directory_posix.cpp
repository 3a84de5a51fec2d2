#include "walk/walk_directory.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>
#include <utility>
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

// The entries of a directory, sorted by name; when the listing broke off, what was listed
// before it and why.
struct Listing {
  std::vector<Entry> entries;
  Result<void> complete;
};

Listing ListDirectory(int fd) {
  Listing listing;
  const int copy = ::dup(fd);
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
    if (name != "." && name != "..") listing.entries.push_back({name, entry->d_type});
  }
  ::closedir(stream);
  std::sort(listing.entries.begin(), listing.entries.end(),
            [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return listing;
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

// One directory being walked: its descriptor (released while it is far above the one being
// walked, to save descriptors), its identity, the subdirectories still to enter, and how long
// its path is within the walk's path.
struct Frame {
  std::shared_ptr<const ScopedFile> directory;
  dev_t device = 0;
  ino_t inode = 0;
  std::vector<std::string> subdirectories;
  std::size_t next = 0;
  std::size_t path_length = 0;
};

class Walker {
 public:
  Walker(const std::string& start, bool recurse, const WalkVisitor& visitor, std::size_t open_directories,
         const std::optional<std::string>& excluded)
      : path_(start), recurse_(recurse), visitor_(visitor), open_directories_(std::max<std::size_t>(1, open_directories)) {
    struct stat info {};
    if (excluded && ::stat(excluded->c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      excluded_ = {info.st_dev, info.st_ino};
    }
  }

  void Run() {
    if (!Enter(AT_FDCWD, path_)) return;
    while (!stack_.empty()) {
      Frame& top = stack_.back();
      if (top.next == top.subdirectories.size()) {
        Leave();
        continue;
      }
      const std::string name = std::move(top.subdirectories[top.next++]);
      path_.resize(top.path_length);
      path_ += '/';
      path_ += name;
      if (Enter(top.directory->get(), name) && stack_.size() > open_directories_) {
        stack_[stack_.size() - open_directories_ - 1].directory.reset();
      }
    }
  }

 private:
  // Opens, lists and reports the directory `name` under `parent` (its path in path_), and makes
  // it the top of the stack; false when it cannot be opened.
  bool Enter(int parent, const std::string& name) {
    // Below the start, only real directories are entered: a link swapped in is not followed.
    const int follow = parent == AT_FDCWD ? 0 : O_NOFOLLOW;
    auto owner = std::make_shared<const ScopedFile>(
        ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | follow));
    struct stat info {};
    const bool opened = *owner && ::fstat(owner->get(), &info) == 0;
    const int error = errno;
    if (opened && parent != AT_FDCWD && excluded_ == std::pair{info.st_dev, info.st_ino}) return false;
    visitor_.entered(path_);
    if (!opened) {
      visitor_.unreadable(path_, FailList(error).error);
      return false;
    }
    Listing listing = ListDirectory(owner->get());
    if (!listing.complete) visitor_.unreadable(path_, listing.complete.error());

    Frame frame{owner, info.st_dev, info.st_ino, {}, 0, path_.size()};
    const std::string prefix = path_ + "/";
    for (Entry& entry : listing.entries) {
      const bool source = IsSourceTexture(entry.name);
      if (!source && !(recurse_ && (entry.type == DT_DIR || entry.type == DT_UNKNOWN))) continue;
      const Result<Kind> kind = KindOf(owner->get(), entry);
      if (!kind) {
        visitor_.unreadable(prefix + entry.name, kind.error());
      } else if (*kind == Kind::kFile && source) {
        visitor_.file({{owner->get(), entry.name}, prefix + entry.name, owner});
      } else if (*kind == Kind::kDirectory && recurse_) {
        frame.subdirectories.push_back(std::move(entry.name));
      }
    }
    stack_.push_back(std::move(frame));
    return true;
  }

  // Back from the top directory to its parent, which is opened again if it was released; a
  // parent that cannot be is reported, and the rest of it is left.
  void Leave() {
    const Frame child = std::move(stack_.back());
    stack_.pop_back();
    if (stack_.empty()) return;
    Frame& parent = stack_.back();
    path_.resize(parent.path_length);
    if (parent.directory) return;
    parent.directory = Reopen(stack_.size() - 1, child.directory ? child.directory->get() : -1);
    if (!*parent.directory) {
      visitor_.unreadable(path_, FailList().error);
      parent.next = parent.subdirectories.size();
    }
  }

  // Frame `index` opened again: through ".." of its open child `child`, or else from the start,
  // name by name. Not open unless it is the very directory that was entered.
  std::shared_ptr<const ScopedFile> Reopen(std::size_t index, int child) const {
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    ScopedFile directory(::openat(child, "..", kFlags | O_NOFOLLOW));
    if (!IsFrame(directory, index)) {
      directory = ScopedFile(::openat(AT_FDCWD, path_.substr(0, stack_[0].path_length).c_str(), kFlags));
      for (std::size_t i = 1; i <= index && directory; ++i) {
        const std::size_t from = stack_[i - 1].path_length + 1;
        const std::string name = path_.substr(from, stack_[i].path_length - from);
        directory = ScopedFile(::openat(directory.get(), name.c_str(), kFlags | O_NOFOLLOW));
      }
      if (!IsFrame(directory, index)) {
        const bool moved = static_cast<bool>(directory);
        directory = ScopedFile();
        if (moved) errno = ENOENT;  // what was there is another directory now
      }
    }
    return std::make_shared<const ScopedFile>(std::move(directory));
  }

  bool IsFrame(const ScopedFile& directory, std::size_t index) const {
    struct stat info {};
    return directory && ::fstat(directory.get(), &info) == 0 && info.st_dev == stack_[index].device &&
           info.st_ino == stack_[index].inode;
  }

  std::string path_;  // the path of the directory being entered or left
  const bool recurse_;
  const WalkVisitor& visitor_;
  const std::size_t open_directories_;
  std::optional<std::pair<dev_t, ino_t>> excluded_;
  std::vector<Frame> stack_;
};

}  // namespace

void WalkDirectory(const std::string& directory, bool recurse, const WalkVisitor& visitor,
                   std::size_t open_directories, const std::optional<std::string>& excluded) {
  Walker(directory, recurse, visitor, open_directories, excluded).Run();
}

bool HasSubdirectory(const std::string& directory) {
  const ScopedFile opened(::openat(AT_FDCWD, directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!opened) return false;
  const std::vector<Entry> entries = ListDirectory(opened.get()).entries;
  return std::any_of(entries.begin(), entries.end(), [&](const Entry& entry) {
    const Result<Kind> kind = KindOf(opened.get(), entry);
    return kind && *kind == Kind::kDirectory;
  });
}

}  // namespace tarnvick
