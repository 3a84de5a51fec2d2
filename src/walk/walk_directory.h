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
#include <vector>

#include "io/error.h"
#include "io/file_ref.h"
#include "io/read_file.h"
#include "io/scoped_file.h"

namespace tarnvick {

// A source file the walk accepted, loose or an archive's entry: how to reach it, the path that
// names it in messages, and the folder its WAL belongs in.
struct SourceFile {
  // Loose: the file in its open directory. An archive's entry: its name (parts separated by '/')
  // below the archive's directory, where its WAL belongs.
  FileRef ref;
  std::string path;
  std::shared_ptr<const ScopedFile> directory;  // owns ref.directory, open as long as a copy is kept
  std::string folder;           // the path of ref.directory in messages
  std::string relative_folder;  // ref.directory below the start directory ("" for the start itself)
  std::optional<FilePart> part = {};   // an archive's entry: where its bytes lie in the open archive
  std::optional<Error> refusal = {};   // an archive's entry that is not to be read: why (kBadEntry)
  // An archive's entry with a NAME.wal_json entry beside it: that entry's name, and where its
  // bytes lie (none when it lies outside the archive or its name is unsafe).
  std::optional<std::string> metadata_entry = {};
  std::optional<FilePart> metadata_part = {};
};

// Which files, besides M8 and M32 ones, are sources, and which are left aside.
struct SourceChoice {
  bool pictures = false;  // PNG, TGA, BMP and PCX files (and archives' entries) are sources too
  // With `pictures`, the extension of the pictures the run writes beside M8 and M32 sources
  // ("png" or "tga"): a loose picture of that name beside one is the run's output, not a source.
  std::string pictures_made = {};
  // Loose files that are never sources, under whatever path they are met (the files the run
  // reads or writes besides its WALs), an archive never read (the one the run writes), and an
  // archive's entry that is never a source (a palette read from it): the archive and the name.
  std::vector<std::string> excluded_files = {};
  std::optional<std::string> excluded_archive = {};
  std::optional<std::pair<std::string, std::string>> excluded_entry = {};
};

// What the walk tells its caller, in walk order.
struct WalkVisitor {
  std::function<void(const std::string& directory)> entered;  // before its entries
  // A directory that cannot be listed, or an entry whose type cannot be read.
  std::function<void(const std::string& path, const Error& error)> unreadable;
  std::function<void(const SourceFile& file)> file;
  // An archive that cannot be read as a whole (kBadArchive, or the system's reason).
  std::function<void(const std::string& path, const Error& error)> bad_archive = {};
  // The directory `excluded` (see WalkDirectory), met at `path` and not entered; may be empty.
  std::function<void(const std::string& path)> passed_over = {};
};

// Within a directory, entries are taken in ascending byte order of their names: first every
// file (anything that is not a directory, links followed) whose extension is M8 or M32 in any
// case (or a picture's, as `choice` says), then, when `recurse`, every real subdirectory (never a
// link, "." or ".."), depth first, then every archive (a file whose extension is PAK in any case):
// its source entries, in directory order (an entry with an unsafe name, one whose name, case
// aside, an earlier entry has, and one whose data lies outside the archive are handed on with
// their refusal). What `choice` leaves aside is neither. A `start` that is an archive is walked as its entries alone.
// Paths are the directory, one separator and the entry's name (for an archive's entry, the
// archive's path, one separator and the entry's name with the separator for '/'). Directories are opened relative to
// their parent, without recursion, so a tree of any depth is walked whole with memory linear in
// its depth; at most `open_directories` of the directories being walked stay open (an ancestor
// closed for that is opened again through "..", and must be the same directory). What cannot be
// read is reported (kCannotList) and the walk goes on; entries listed before a listing error are
// still visited. The directory `excluded` (when given and existing as the walk starts) is never
// entered below the start, under whatever path it is met.
void WalkDirectory(const std::string& directory, bool recurse, const WalkVisitor& visitor,
                   std::size_t open_directories = 64, const std::optional<std::string>& excluded = std::nullopt,
                   const SourceChoice& choice = {});

// Whether `directory` holds a real subdirectory, one a recursive walk would enter; false also
// when it cannot be read.
bool HasSubdirectory(const std::string& directory);

}  // namespace tarnvick
