#include "walk/walk_directory.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "io/system.h"
#include "texture/pak_archive.h"
#include "texture/texture_type.h"
#include "walk/directory_listing.h"

namespace tarnvick {
namespace {

// The entries of an open folder, sorted by the bytes of their names.
Listing SortedListing(const ScopedFile& folder) {
  Listing listing = ListDirectory(folder);
  std::sort(listing.entries.begin(), listing.entries.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
  return listing;
}

bool IsSourceTexture(const std::string& name) {
  const TextureType type = LookupTextureType(name);
  return type == TextureType::kM8 || type == TextureType::kM32;
}

// The folder an archive lies in, where its entries' WALs belong.
struct ArchiveHome {
  std::shared_ptr<const ScopedFile> directory;
  std::string folder;    // its path
  std::string relative;  // below the start directory
};

// The entries of the archive `archive` (named `path`) that are sources, handed to `visitor` in
// directory order, each with its refusal when it is not to be read.
void VisitArchive(const FileRef& archive, const std::string& path, const ArchiveHome& home, const WalkVisitor& visitor) {
  const Result<PakArchive> opened = PakArchive::Open(archive);
  if (!opened) {
    if (visitor.bad_archive) visitor.bad_archive(path, opened.error());
    return;
  }
  // The sources met so far, by a hash of their names' keys: an entry whose hash was met is read
  // again to tell a name met before from another of the same hash. So memory stays small for
  // each entry, whatever its name.
  std::unordered_multimap<std::uint64_t, std::uint64_t> names;
  std::uint64_t index = 0;
  // Whether the entry `at` has a name met before; if not, it is noted.
  const auto met_before = [&](const PakEntry& entry, std::uint64_t at) {
    const std::string key = EntryNameKey(entry.name);
    const std::uint64_t hash = std::hash<std::string>{}(key);
    const auto [first, last] = names.equal_range(hash);
    const bool met = std::any_of(first, last, [&](const auto& earlier) {
      const Result<PakEntry> again = opened->EntryAt(earlier.second);
      return again && EntryNameKey(again->name) == key;
    });
    if (!met) names.emplace(hash, at);
    return met;
  };
  const Result<void> listed = opened->ForEachEntry([&](const PakEntry& entry) {
    const std::uint64_t at = index++;
    if (!IsSourceTexture(entry.name)) return;
    std::string shown = entry.name;
    if (kSeparator != '/') std::replace(shown.begin(), shown.end(), '/', kSeparator);
    SourceFile source{{home.directory->get(), entry.name}, path + kSeparator + shown, home.directory, home.folder,
                      home.relative, std::nullopt, std::nullopt};
    if (!IsSafeEntryName(entry)) {
      source.refusal = Error{ErrorKind::kBadEntry, "unsafe name in the archive"};
    } else if (met_before(entry, at)) {
      source.refusal = Error{ErrorKind::kBadEntry, "duplicate name in the archive"};
    } else if (!LiesWithin(entry, opened->size())) {
      source.refusal = Error{ErrorKind::kBadEntry, "outside the archive"};
    } else {
      source.part = opened->PartOf(entry);
    }
    visitor.file(source);
  });
  if (!listed && visitor.bad_archive) visitor.bad_archive(path, listed.error());
}

// One directory being walked: its handle (released while it is far above the one being walked,
// to save descriptors), its identity, and the subdirectories still to enter.
struct Frame {
  std::shared_ptr<const ScopedFile> directory;
  FolderId id;
  std::vector<std::string> subdirectories;
  std::size_t next = 0;
  std::vector<std::string> archives;  // visited after the subdirectories
};

class Walker {
 public:
  Walker(const std::string& start, bool recurse, const WalkVisitor& visitor, std::size_t open_directories,
         const std::optional<std::string>& excluded, const std::optional<std::string>& excluded_file)
      : start_size_(start.size()), path_(start), recurse_(recurse), visitor_(visitor),
        open_directories_(std::max<std::size_t>(1, open_directories)) {
    if (excluded) {
      if (const Result<Folder> folder = OpenDirectory({kWorkingDirectory, *excluded}, true)) excluded_ = folder->id;
    }
    if (excluded_file) excluded_file_ = IdOf({kWorkingDirectory, *excluded_file});
  }

  void Run() {
    if (IsPakName(path_) && KindOfPath(path_) == PathKind::kOther) {
      VisitStartArchive();
      return;
    }
    if (!Enter({kWorkingDirectory, path_})) return;
    while (!stack_.empty()) {
      Frame& top = stack_.back();
      if (top.next == top.subdirectories.size()) {
        VisitArchives(top);
        Leave();
        continue;
      }
      const std::string name = std::move(top.subdirectories[top.next++]);
      path_.resize(ends_.back());
      path_ += kSeparator;
      path_ += name;
      if (Enter({top.directory->get(), name}) && stack_.size() > open_directories_) {
        stack_[stack_.size() - open_directories_ - 1].directory.reset();
      }
    }
  }

 private:
  // Opens, lists and reports the directory `folder` (its path in path_), and makes it the top of
  // the stack; false when it cannot be opened. Below the start, only real directories are
  // entered: a link swapped in is not followed.
  bool Enter(const FileRef& folder) {
    const bool start = stack_.empty();
    const Result<Folder> opened = OpenDirectory(folder, start);
    if (opened && !start && excluded_ == opened->id) {
      if (visitor_.passed_over) visitor_.passed_over(path_);
      return false;
    }
    visitor_.entered(path_);
    if (!opened) {
      visitor_.unreadable(path_, opened.error());
      return false;
    }
    const ScopedFile& directory = *opened->handle;
    Listing listing = SortedListing(directory);
    if (!listing.complete) visitor_.unreadable(path_, listing.complete.error());

    Frame frame{opened->handle, opened->id, {}, 0, {}};
    const std::string prefix = path_ + kSeparator;
    for (DirectoryEntry& entry : listing.entries) {
      const bool source = IsSourceTexture(entry.name), archive = IsPakName(entry.name);
      const bool may_be_directory = entry.kind == EntryKind::kDirectory || entry.kind == EntryKind::kUnknown;
      if (!source && !archive && !(recurse_ && may_be_directory)) continue;
      const Result<EntryKind> kind = KindOf(directory, entry);
      if (!kind) {
        visitor_.unreadable(prefix + entry.name, kind.error());
      } else if (*kind == EntryKind::kFile && source) {
        visitor_.file({{directory.get(), entry.name}, prefix + entry.name, opened->handle, path_, Relative(),
                       std::nullopt, std::nullopt});
      } else if (*kind == EntryKind::kFile && archive) {
        frame.archives.push_back(std::move(entry.name));
      } else if (*kind == EntryKind::kDirectory && recurse_) {
        frame.subdirectories.push_back(std::move(entry.name));
      }
    }
    stack_.push_back(std::move(frame));
    ends_.push_back(path_.size());
    return true;
  }

  // The path of the directory being walked below the start directory.
  std::string Relative() const { return path_.size() > start_size_ ? path_.substr(start_size_ + 1) : std::string(); }

  // The archives of the top directory (its path in path_), in order; the one excluded never.
  void VisitArchives(const Frame& top) {
    if (!top.directory) return;
    const ArchiveHome home{top.directory, path_, Relative()};
    for (const std::string& name : top.archives) {
      const FileRef archive{top.directory->get(), name};
      if (excluded_file_ && IdOf(archive) == excluded_file_) continue;
      VisitArchive(archive, path_ + kSeparator + name, home, visitor_);
    }
  }

  // A start that is an archive: its entries' WALs belong in its folder.
  void VisitStartArchive() {
    const std::string folder = DirectoryPart(path_);
    const Result<Folder> opened = OpenDirectory({kWorkingDirectory, folder}, true);
    if (!opened) {
      visitor_.unreadable(folder, opened.error());
      return;
    }
    const auto last = std::find_if(path_.rbegin(), path_.rend(), IsSeparator);
    const std::string name(last.base(), path_.end());
    VisitArchive({opened->handle->get(), name}, path_, {opened->handle, folder, ""}, visitor_);
  }

  // Back from the top directory to its parent, which is opened again if it was released; a
  // parent that cannot be is reported, and the rest of it is left.
  void Leave() {
    const Frame child = std::move(stack_.back());
    stack_.pop_back();
    ends_.pop_back();
    if (stack_.empty()) return;
    Frame& parent = stack_.back();
    path_.resize(ends_.back());
    if (parent.directory) return;
    const Result<Folder> reopened = ReopenDirectory(path_, ends_, child.directory.get(), parent.id);
    if (reopened) {
      parent.directory = reopened->handle;
    } else {
      visitor_.unreadable(path_, reopened.error());
      parent.next = parent.subdirectories.size();
    }
  }

  const std::size_t start_size_;
  std::string path_;  // the path of the directory being entered or left
  const bool recurse_;
  const WalkVisitor& visitor_;
  const std::size_t open_directories_;
  std::optional<FolderId> excluded_;
  std::optional<FolderId> excluded_file_;
  std::vector<Frame> stack_;
  std::vector<std::size_t> ends_;  // where the path of each directory of the stack ends in path_
};

}  // namespace

void WalkDirectory(const std::string& directory, bool recurse, const WalkVisitor& visitor,
                   std::size_t open_directories, const std::optional<std::string>& excluded,
                   const std::optional<std::string>& excluded_file) {
  Walker(directory, recurse, visitor, open_directories, excluded, excluded_file).Run();
}

bool HasSubdirectory(const std::string& directory) {
  const Result<Folder> folder = OpenDirectory({kWorkingDirectory, directory}, true);
  if (!folder) return false;
  const std::vector<DirectoryEntry> entries = ListDirectory(*folder->handle).entries;
  return std::any_of(entries.begin(), entries.end(), [&](const DirectoryEntry& entry) {
    const Result<EntryKind> kind = KindOf(*folder->handle, entry);
    return kind && *kind == EntryKind::kDirectory;
  });
}

}  // namespace tarnvick
