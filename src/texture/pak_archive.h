// An open PAK archive read as hostile: its header checked once, its directory read a piece at a
// time in its order, so that memory never grows with the archive; its entries read as files.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "io/error.h"
#include "io/file_ref.h"
#include "io/read_file.h"
#include "io/scoped_file.h"
#include "texture/pak_format.h"

namespace tarnvick {

// The length of the first leading part of `path`, cut at a separator, that names a regular file
// that is an archive (`base/pak0.pak` of `base/pak0.pak/pics/colormap.pcx`); none when no part
// does.
std::optional<std::size_t> ArchivePrefix(const std::string& path);

class PakArchive {
 public:
  // The regular file `file` (links followed) opened as an archive. Fails with kCannotOpen,
  // kNotRegularFile or kReadError and the system's reason, or kBadArchive (see ParsePakHeader).
  static Result<PakArchive> Open(const FileRef& file);

  // Calls `visit` with each entry, in directory order. Fails with kReadError when the directory
  // cannot be read to its end (the entries before were visited).
  Result<void> ForEachEntry(const std::function<void(const PakEntry&)>& visit) const;

  // The entry `index` (from 0, in directory order). Fails with kReadError when it cannot be read.
  Result<PakEntry> EntryAt(std::uint64_t index) const;

  // Where the data of `entry`, one that lies within the archive, is.
  FilePart PartOf(const PakEntry& entry) const;

  // Where the data of the first entry named `name` (ASCII case aside, each '\' read as '/') is.
  // Fails with kBadEntry (`no such entry in the archive`, `outside the archive`) or kReadError.
  Result<FilePart> Find(std::string name) const;

  std::uint64_t size() const { return size_; }

 private:
  PakArchive(std::shared_ptr<const ScopedFile> file, std::uint64_t size, PakDirectory directory)
      : file_(std::move(file)), size_(size), directory_(directory) {}

  std::shared_ptr<const ScopedFile> file_;
  std::uint64_t size_;
  PakDirectory directory_;
};

}  // namespace tarnvick
