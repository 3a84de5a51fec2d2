// The temporary files being written right now, so that a signal that ends the process can remove
// them first: no half-written ".tarnvick-*" file outlives an interrupted run.
#pragma once

#include <cstdint>
#include <string>

#include "io/error.h"
#include "io/file_ref.h"
#include "io/scoped_file.h"

namespace tarnvick {

// A new, empty temporary file beside `target` (in the same directory, so that it can replace the
// target by a rename), named ".tarnvick-" and six random characters, with permissions 0600, open
// for reading and writing. It is registered for RemoveTemporaryFiles until Forget is called with
// the same name.
struct Slot;
struct TemporaryFile {
  ScopedFile fd;
  FileRef ref;
  Slot* slot = nullptr;  // its place in the register
};
Result<TemporaryFile> CreateTemporaryFile(const FileRef& target);

// The random part of a temporary file's name: six lower-case letters and digits (names that differ
// only in case are one name on some systems), different for each `attempt` and for each process.
std::string TemporaryNameSuffix(std::uint64_t process, unsigned attempt);
void ForgetTemporaryFile(const TemporaryFile& file);

// Removes every registered temporary file. Safe to call from a signal handler.
void RemoveTemporaryFiles();

// Lets the signals that end the run (and remove the temporary files) reach only the other
// threads, for a worker thread; nothing to do where no such signal exists.
void KeepEndingSignalsOffThisThread();

}  // namespace tarnvick
