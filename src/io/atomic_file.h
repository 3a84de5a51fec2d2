// Writing a whole file atomically: the bytes go to a temporary file in the target's directory,
// which replaces the target only after every byte was written. On any failure the temporary file
// is removed and an existing target is left exactly as it was. A target that exists and is not a
// regular file (a directory, a device, a FIFO, a socket, following links) is never replaced.
// No fsync: what is written can be made again, and a power cut may lose the newest files.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>

#include "io/error.h"
#include "io/file_ref.h"
#include "io/temporary_files.h"

namespace tarnvick {

enum class LinkPolicy {
  kReplaceLink,   // a link at the target is replaced by the new file; what it names is untouched
  kWriteThrough,  // the file a link names is replaced (created when the link dangles)
};

// The file a write to `target` would replace (the link resolved, for kWriteThrough), once it is
// known that it can be written: it is missing or a regular file the user may write, and its
// folder exists and the user may create files in it. Fails with kCannotWrite and the reason
// ("not a regular file", or the system's text).
Result<FileRef> CheckWritable(const FileRef& target, LinkPolicy links);

// A file written a piece at a time and put in place atomically, as WriteFileAtomically puts one:
// the pieces go to a temporary file beside the target (which may be read back while it is being
// written), and it replaces the target only on Commit; one never committed is removed.
class AtomicFileWriter {
 public:
  // Starts the file that is to replace `target`. Fails as CheckWritable does, or with kCannotWrite
  // and the system's reason.
  static Result<std::unique_ptr<AtomicFileWriter>> Begin(const FileRef& target, LinkPolicy links);
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
  ~AtomicFileWriter();

  // Writes `bytes` at `offset`. Fails with kCannotWrite and the system's reason.
  Result<void> WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  // Reads back up to `size` bytes from `offset`; how many were read.
  Result<std::size_t> ReadAt(std::uint64_t offset, std::uint8_t* data, std::size_t size);
  // Cuts the file to its first `size` bytes and puts it in place of the target.
  Result<void> Commit(std::uint64_t size);

 private:
  AtomicFileWriter(FileRef target, TemporaryFile temporary) : target_(std::move(target)), temporary_(std::move(temporary)) {}

  const FileRef target_;  // links resolved as the policy says
  TemporaryFile temporary_;
  bool committed_ = false;
};

// Writes the chunks, in order, as the whole content of `target`. The new file keeps the
// permission bits of the regular file it replaces at that path, without set-id and sticky bits;
// otherwise it gets those of a plain create (0666 less the umask). Fails with kCannotWrite and
// the reason.
Result<void> WriteFileAtomically(const FileRef& target,
                                 std::initializer_list<std::span<const std::uint8_t>> chunks,
                                 LinkPolicy links);

// Removes the file `target` that this run wrote (never a directory). Fails with kCannotWrite and
// the system's reason.
Result<void> RemoveWrittenFile(const FileRef& target);

}  // namespace tarnvick
