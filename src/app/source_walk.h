// A walk over the start directory's source files on the run's threads, with the walk's own
// messages (the directory lines of a verbose run, the directories that cannot be read) in the
// order a one-thread run prints them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/command_line.h"
#include "app/console.h"
#include "app/ordered_runner.h"
#include "texture/texture.h"
#include "texture/wal_json.h"
#include "walk/walk_directory.h"

namespace tarnvick {

// What to do with one source file: `work` on a worker thread, then `commit` on the run's thread,
// in walk order. `work` returns the bytes of what it made that wait in memory for the commit.
struct FileJob {
  std::function<std::uint64_t(int worker)> work;
  OrderedRunner::Commit commit;
};

// The texture of a source file, loose or an archive's entry, with the four levels its WAL is made
// from: a picture's levels 1 to 3 made from its level 0, and with `remake_mips` an M8's or an
// M32's too. Fails with the refusal of an entry that is not to be read, or as the file's reader
// fails.
Result<std::unique_ptr<Texture>> LoadSource(const SourceFile& file, bool transparent, bool remake_mips);

// The fields the NAME.wal_json beside a source file sets; none when there is none. Fails with
// kBadMetadata, its detail the .wal_json's path as messages name it, ": " and the reason.
Result<std::optional<WalMetadata>> LoadMetadata(const SourceFile& file);

// Walks the start directory as `options` say, on up to `options.jobs` threads (fewer when the
// process may not open enough files for more, or the system grants no more: then it says so),
// with the job that `job_for` makes for each source file (called in walk order, on the run's
// thread). Works start only while the sources in flight, and what finished works keep for their
// commits, stay within a fixed number of bytes (or one alone goes).
// Files with the same `serial_key` (when given) are worked on one after the other, in walk order.
// An archive that cannot be read is told once per run. On a terminal, a live line tells `phase` and how many files are done of
// how many. Returns when every job is committed.
void WalkSources(const RunOptions& options, Console& console,
                 const std::function<FileJob(const SourceFile& file)>& job_for,
                 const std::function<std::string(const SourceFile& file)>& serial_key, const std::string& phase);

}  // namespace tarnvick
