#include "walk/walk_directory.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "io/scoped_file.h"
#include "io/wide_path.h"
#include "texture/texture_type.h"

namespace tarnvick {
namespace {

struct Entry {
  std::string name;  // UTF-8
  DWORD attributes;
};

enum class Kind { kFile, kDirectory, kLinkToDirectory };

// A folder entry with the reparse-point attribute is a link or a junction: never entered.
Kind KindOf(const Entry& entry) {
  if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return Kind::kFile;
  return (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? Kind::kLinkToDirectory : Kind::kDirectory;
}

Failure FailList() { return FailSystem(ErrorKind::kCannotList); }

struct Listing {
  std::vector<Entry> entries;
  Result<void> complete;
};

// The entries of the open folder `fd`, sorted by the bytes of their UTF-8 names.
Listing ListDirectory(int fd) {
  Listing listing;
  const std::wstring folder = WidePath(FileRef{fd, "."});
  if (folder.empty()) {
    listing.complete = FailErrno(ErrorKind::kCannotList, ENOENT);
    return listing;
  }
  const std::wstring pattern = folder + L"\\*";
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                         FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND) listing.complete = FailList();
    return listing;
  }
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") listing.entries.push_back({Utf8Of(name), found.dwFileAttributes});
  } while (FindNextFileW(search, &found));
  if (GetLastError() != ERROR_NO_MORE_FILES) listing.complete = FailList();
  FindClose(search);
  std::sort(listing.entries.begin(), listing.entries.end(),
            [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return listing;
}

bool IsSourceTexture(const std::string& name) {
  const TextureType type = LookupTextureType(name);
  return type == TextureType::kM8 || type == TextureType::kM32;
}

using Identity = std::pair<DWORD, std::uint64_t>;  // volume serial number, file index

// The folder at `file` opened, with its identity; `follow` lets a link or junction at that very
// path be followed (only the start may be one). Not open when it is anything else.
std::pair<std::shared_ptr<const ScopedFile>, Identity> OpenFolder(const FileRef& file, bool follow) {
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  const std::wstring path = WidePath(file);
  auto folder = std::make_shared<const ScopedFile>();
  if (path.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return {folder, {}};
  }
  const HANDLE handle = CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return {folder, {}};
  BY_HANDLE_FILE_INFORMATION info{};
  const DWORD unwanted = follow ? 0 : FILE_ATTRIBUTE_REPARSE_POINT;
  if (!GetFileInformationByHandle(handle, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (info.dwFileAttributes & unwanted) != 0) {
    CloseHandle(handle);
    SetLastError(ERROR_DIRECTORY);
    return {folder, {}};
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY);
  if (fd < 0) {
    CloseHandle(handle);
    SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    return {folder, {}};
  }
  NameFolder(fd, path);
  return {std::make_shared<const ScopedFile>(fd),
          {info.dwVolumeSerialNumber, std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow}};
}

struct Frame {
  std::shared_ptr<const ScopedFile> directory;
  Identity identity;
  std::vector<std::string> subdirectories;
  std::size_t next = 0;
  std::size_t path_length = 0;
};

class Walker {
 public:
  Walker(const std::string& start, bool recurse, const WalkVisitor& visitor, std::size_t open_directories,
         const std::optional<std::string>& excluded)
      : path_(start), recurse_(recurse), visitor_(visitor), open_directories_(std::max<std::size_t>(1, open_directories)) {
    if (excluded) {
      const auto [folder, identity] = OpenFolder({kWorkingDirectory, *excluded}, true);
      if (*folder) excluded_ = identity;
    }
  }

  void Run() {
    if (!Enter({kWorkingDirectory, path_}, true)) return;
    while (!stack_.empty()) {
      Frame& top = stack_.back();
      if (top.next == top.subdirectories.size()) {
        Leave();
        continue;
      }
      const std::string name = std::move(top.subdirectories[top.next++]);
      path_.resize(top.path_length);
      path_ += kSeparator;
      path_ += name;
      if (Enter({top.directory->get(), name}, false) && stack_.size() > open_directories_) {
        stack_[stack_.size() - open_directories_ - 1].directory.reset();
      }
    }
  }

 private:
  bool Enter(const FileRef& folder, bool start) {
    auto [owner, identity] = OpenFolder(folder, start);
    const Failure failure = FailList();
    if (*owner && !start && excluded_ == identity) return false;
    visitor_.entered(path_);
    if (!*owner) {
      visitor_.unreadable(path_, failure.error);
      return false;
    }
    Listing listing = ListDirectory(owner->get());
    if (!listing.complete) visitor_.unreadable(path_, listing.complete.error());

    Frame frame{owner, identity, {}, 0, path_.size()};
    const std::string prefix = path_ + kSeparator;
    for (Entry& entry : listing.entries) {
      const Kind kind = KindOf(entry);
      if (kind == Kind::kFile && IsSourceTexture(entry.name)) {
        visitor_.file({{owner->get(), entry.name}, prefix + entry.name, owner});
      } else if (kind == Kind::kDirectory && recurse_) {
        frame.subdirectories.push_back(std::move(entry.name));
      }
    }
    stack_.push_back(std::move(frame));
    return true;
  }

  // Back to the parent, opened again by its path when it was released: it must be the very
  // folder that was entered, else it is reported and the rest of it is left.
  void Leave() {
    stack_.pop_back();
    if (stack_.empty()) return;
    Frame& parent = stack_.back();
    path_.resize(parent.path_length);
    if (parent.directory) return;
    auto [folder, identity] = OpenFolder({kWorkingDirectory, path_}, stack_.size() == 1);
    const Failure failure = FailList();
    if (*folder && identity != parent.identity) folder = std::make_shared<const ScopedFile>();
    parent.directory = folder;
    if (!*parent.directory) {
      visitor_.unreadable(path_, failure.error);
      parent.next = parent.subdirectories.size();
    }
  }

  std::string path_;
  const bool recurse_;
  const WalkVisitor& visitor_;
  const std::size_t open_directories_;
  std::optional<Identity> excluded_;
  std::vector<Frame> stack_;
};

}  // namespace

void WalkDirectory(const std::string& directory, bool recurse, const WalkVisitor& visitor,
                   std::size_t open_directories, const std::optional<std::string>& excluded) {
  Walker(directory, recurse, visitor, open_directories, excluded).Run();
}

bool HasSubdirectory(const std::string& directory) {
  const auto [folder, identity] = OpenFolder({kWorkingDirectory, directory}, true);
  if (!*folder) return false;
  const std::vector<Entry> entries = ListDirectory(folder->get()).entries;
  return std::any_of(entries.begin(), entries.end(), [](const Entry& entry) { return KindOf(entry) == Kind::kDirectory; });
}

}  // namespace tarnvick
