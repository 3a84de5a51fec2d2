#include "walk/walk_directory.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "io/same_file.h"
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

constexpr std::string_view kMetadataExtension = ".wal_json";

// `name` without the part from its last '.'.
std::string_view Stem(std::string_view name) { return name.substr(0, std::min(name.rfind('.'), name.size())); }

// The key of the NAME.wal_json entry beside an entry of a name, and of that entry itself: its
// name without the extension, as the archive tells names apart.
std::string MetadataKey(std::string_view name) { return EntryNameKey(std::string(Stem(name))); }

bool IsMetadataName(std::string_view name) {
  return name.size() > kMetadataExtension.size() &&
         EntryNameKey(std::string(name.substr(name.size() - kMetadataExtension.size()))) == kMetadataExtension;
}

// The folder an archive lies in, where its entries' WALs belong.
struct ArchiveHome {
  std::shared_ptr<const ScopedFile> directory;
  std::string folder;    // its path
  std::string relative;  // below the start directory
};

// The entries of the archive `archive` (named `path`) that are sources, handed to `visitor` in
// directory order, each with its refusal when it is not to be read.
// `excluded_entry`, when given, is never a source.
void VisitArchive(const FileRef& archive, const std::string& path, const ArchiveHome& home, const WalkVisitor& visitor,
                  const SourceChoice& choice, const std::string* excluded_entry) {
  const Result<PakArchive> opened = PakArchive::Open(archive);
  if (!opened) {
    if (visitor.bad_archive) visitor.bad_archive(path, opened.error());
    return;
  }
  // The NAME.wal_json entries, by a hash of MetadataKey: read first, so that one may stand
  // anywhere in the directory; the first of a name counts.
  std::unordered_multimap<std::uint64_t, std::uint64_t> metadata;
  {
    std::uint64_t at = 0;
    const Result<void> listed = opened->ForEachEntry([&](const PakEntry& entry) {
      if (IsMetadataName(entry.name)) metadata.emplace(std::hash<std::string>{}(MetadataKey(entry.name)), at);
      ++at;
    });
    if (!listed) {
      if (visitor.bad_archive) visitor.bad_archive(path, listed.error());
      return;
    }
  }
  // The NAME.wal_json entry beside the entry `name`, read again to tell a name from another of
  // its hash.
  const auto metadata_of = [&](const std::string& name) -> std::optional<PakEntry> {
    const std::string key = MetadataKey(name);
    const auto [first, last] = metadata.equal_range(std::hash<std::string>{}(key));
    std::optional<PakEntry> found;
    std::uint64_t found_at = 0;
    for (auto it = first; it != last; ++it) {
      Result<PakEntry> again = opened->EntryAt(it->second);
      if (again && MetadataKey(again->name) == key && (!found || it->second < found_at)) {
        found = std::move(*again);
        found_at = it->second;
      }
    }
    return found;
  };
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
    if (!IsSourceName(entry.name, choice.pictures)) return;
    if (excluded_entry != nullptr && SameEntryName(entry.name, *excluded_entry)) return;
    std::string shown = entry.name;
    if (kSeparator != '/') std::replace(shown.begin(), shown.end(), '/', kSeparator);
    SourceFile source{.ref = {home.directory->get(), entry.name},
                      .path = path + kSeparator + shown,
                      .directory = home.directory,
                      .folder = home.folder,
                      .relative_folder = home.relative};
    if (!IsSafeEntryName(entry)) {
      source.refusal = Error{ErrorKind::kBadEntry, "unsafe name in the archive"};
    } else if (met_before(entry, at)) {
      source.refusal = Error{ErrorKind::kBadEntry, "duplicate name in the archive"};
    } else if (!LiesWithin(entry, opened->size())) {
      source.refusal = Error{ErrorKind::kBadEntry, "outside the archive"};
    } else {
      source.part = opened->PartOf(entry);
      if (!metadata.empty()) {
        if (const std::optional<PakEntry> beside = metadata_of(entry.name)) {
          source.metadata_entry = beside->name;
          if (IsSafeEntryName(*beside) && LiesWithin(*beside, opened->size())) source.metadata_part = opened->PartOf(*beside);
        }
      }
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
         const std::optional<std::string>& excluded, const SourceChoice& choice)
      : start_size_(start.size()), path_(start), recurse_(recurse), visitor_(visitor),
        open_directories_(std::max<std::size_t>(1, open_directories)), choice_(choice) {
    if (excluded) {
      if (const Result<Folder> folder = OpenDirectory({kWorkingDirectory, *excluded}, true)) excluded_ = folder->id;
    }
    for (const std::string& file : choice.excluded_files) {
      if (const std::optional<FolderId> id = IdOf({kWorkingDirectory, file})) excluded_files_.push_back(*id);
    }
    if (choice.excluded_archive) excluded_archive_ = IdOf({kWorkingDirectory, *choice.excluded_archive});
    if (choice.excluded_entry) palette_archive_ = IdOf({kWorkingDirectory, choice.excluded_entry->first});
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
    const std::unordered_set<std::string> made = PicturesMadeIn(listing);
    for (DirectoryEntry& entry : listing.entries) {
      const bool picture = choice_.pictures && PictureKindOf(entry.name).has_value();
      const bool source = picture ? !made.contains(PathKey(entry.name)) : IsSourceName(entry.name, false);
      const bool archive = IsPakName(entry.name);
      const bool may_be_directory = entry.kind == EntryKind::kDirectory || entry.kind == EntryKind::kUnknown;
      if (!source && !archive && !(recurse_ && may_be_directory)) continue;
      const Result<EntryKind> kind = KindOf(directory, entry);
      if (!kind) {
        visitor_.unreadable(prefix + entry.name, kind.error());
      } else if (*kind == EntryKind::kFile && source) {
        if (picture && Excluded({directory.get(), entry.name})) continue;
        visitor_.file({.ref = {directory.get(), entry.name},
                       .path = prefix + entry.name,
                       .directory = opened->handle,
                       .folder = path_,
                       .relative_folder = Relative()});
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

  // The names (PathKey) of the pictures the run writes beside the M8 and M32 sources of a listing.
  std::unordered_set<std::string> PicturesMadeIn(const Listing& listing) const {
    std::unordered_set<std::string> made;
    if (!choice_.pictures || choice_.pictures_made.empty()) return made;
    for (const DirectoryEntry& entry : listing.entries) {
      if (IsSourceName(entry.name, false)) made.insert(PathKey(std::string(Stem(entry.name)) + "." + choice_.pictures_made));
    }
    return made;
  }

  // Whether `file` is one of the loose files left aside.
  bool Excluded(const FileRef& file) const {
    if (excluded_files_.empty()) return false;
    const std::optional<FolderId> id = IdOf(file);
    return id && std::find(excluded_files_.begin(), excluded_files_.end(), *id) != excluded_files_.end();
  }

  // Visits the archive `archive` (named `path`), unless it is the one left aside.
  void Visit(const FileRef& archive, const std::string& path, const ArchiveHome& home) {
    const std::optional<FolderId> id = excluded_archive_ || palette_archive_ ? IdOf(archive) : std::nullopt;
    if (excluded_archive_ && id == excluded_archive_) return;
    const std::string* entry = palette_archive_ && id == palette_archive_ ? &choice_.excluded_entry->second : nullptr;
    VisitArchive(archive, path, home, visitor_, choice_, entry);
  }

  // The path of the directory being walked below the start directory.
  std::string Relative() const { return path_.size() > start_size_ ? path_.substr(start_size_ + 1) : std::string(); }

  // The archives of the top directory (its path in path_), in order; the one excluded never.
  void VisitArchives(const Frame& top) {
    if (!top.directory) return;
    const ArchiveHome home{top.directory, path_, Relative()};
    for (const std::string& name : top.archives) {
      const FileRef archive{top.directory->get(), name};
      Visit(archive, path_ + kSeparator + name, home);
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
    Visit({opened->handle->get(), name}, path_, {opened->handle, folder, ""});
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
  const SourceChoice& choice_;
  std::optional<FolderId> excluded_;
  std::vector<FolderId> excluded_files_;
  std::optional<FolderId> excluded_archive_;
  std::optional<FolderId> palette_archive_;
  std::vector<Frame> stack_;
  std::vector<std::size_t> ends_;  // where the path of each directory of the stack ends in path_
};

}  // namespace

void WalkDirectory(const std::string& directory, bool recurse, const WalkVisitor& visitor,
                   std::size_t open_directories, const std::optional<std::string>& excluded,
                   const SourceChoice& choice) {
  Walker(directory, recurse, visitor, open_directories, excluded, choice).Run();
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
