// What the directory walk asks of the system: open a folder and tell which one it is, list its
// entries with their kinds, and open again one that was closed. One file per system behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "io/error.h"
#include "io/file_ref.h"
#include "io/scoped_file.h"

namespace tarnvick {

// What makes a folder that folder: its device (or volume) and its number there.
using FolderId = std::pair<std::uint64_t, std::uint64_t>;

// An open folder.
struct Folder {
  std::shared_ptr<const ScopedFile> handle;  // open while a copy is kept
  FolderId id;
};

// What makes the file (or folder) `file` that one, links followed; none when it cannot be told.
std::optional<FolderId> IdOf(const FileRef& file);

// The folder `folder` opened. `follow`: a link (or junction) at that very path may be followed;
// otherwise, as for anything that is not a folder, it fails (kCannotList).
Result<Folder> OpenDirectory(const FileRef& folder, bool follow);

// The folder a walk entered as `id` and closed since, opened again: through ".." of `child` (the
// folder entered below it, when given and still open), else by its path. `path` is the start
// directory followed by one separator and one name per level, each level ending at the matching
// offset of `ends` (the last is path.size()). Fails unless it is the very folder that was entered.
Result<Folder> ReopenDirectory(const std::string& path, std::span<const std::size_t> ends,
                                   const ScopedFile* child, FolderId id);

enum class EntryKind {
  kFile,             // anything that is not a folder: a file, a device, a link to a file, a dangling or looping link
  kDirectory,        // a real folder
  kLinkToDirectory,  // a link or junction to a folder
  // What a listing may say in place of the above, for KindOf to settle.
  kLink,             // a link, its target not looked at
  kUnknown,          // an entry whose type the listing did not tell
};

struct DirectoryEntry {
  std::string name;  // UTF-8
  EntryKind kind;    // as the listing tells it
};

// The entries of an open folder but "." and "..", in the system's order; when the listing broke
// off, what was listed before it and why (kCannotList).
struct Listing {
  std::vector<DirectoryEntry> entries;
  Result<void> complete;
};
Listing ListDirectory(const ScopedFile& folder);

// What `entry` of the open folder `folder` is: kFile, kDirectory or kLinkToDirectory. Fails
// (kCannotList) when its type cannot be read.
Result<EntryKind> KindOf(const ScopedFile& folder, const DirectoryEntry& entry);

}  // namespace tarnvick
