// Visiting the M8 and M32 files of a directory (and, on request, of its subdirectories) in a
// fixed order, telling the caller what it meets.
//
// walk/ holds the directory walk. It prints nothing; it uses texture/ (the extension table) and
// io/ (the error type, file references).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "io/error.h"
#include "io/file_ref.h"
#include "io/scoped_file.h"

namespace tarnvick {

// A source file the walk accepted: how to reach it (relative to its open directory, which stays
// open as long as a copy of this is kept) and the path that names it in messages.
struct SourceFile {
  FileRef ref;
  std::string path;
  std::shared_ptr<const ScopedFile> directory;  // owns ref.directory
};

// What the walk tells its caller, in walk order.
struct WalkVisitor {
  std::function<void(const std::string& directory)> entered;  // before its entries
  // A directory that cannot be listed, or an entry whose type cannot be read.
  std::function<void(const std::string& path, const Error& error)> unreadable;
  std::function<void(const SourceFile& file)> file;
  // The directory `excluded` (see WalkDirectory), met at `path` and not entered; may be empty.
  std::function<void(const std::string& path)> passed_over = {};
};

// Within a directory, entries are taken in ascending byte order of their names: first every
// file (anything that is not a directory, links followed) whose extension is M8 or M32 in any
// case, then, when `recurse`, every real subdirectory (never a link, "." or ".."), depth first.
// Paths are the directory, one '/' and the entry's name. Directories are opened relative to
// their parent, without recursion, so a tree of any depth is walked whole with memory linear in
// its depth; at most `open_directories` of the directories being walked stay open (an ancestor
// closed for that is opened again through "..", and must be the same directory). What cannot be
// read is reported (kCannotList) and the walk goes on; entries listed before a listing error are
// still visited. The directory `excluded` (when given and existing as the walk starts) is never
// entered below the start, under whatever path it is met.
void WalkDirectory(const std::string& directory, bool recurse, const WalkVisitor& visitor,
                   std::size_t open_directories = 64, const std::optional<std::string>& excluded = std::nullopt);

// Whether `directory` holds a real subdirectory, one a recursive walk would enter; false also
// when it cannot be read.
bool HasSubdirectory(const std::string& directory);

}  // namespace tarnvick
