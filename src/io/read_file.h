// Reading files treated as hostile: only regular files are opened (a FIFO or a device named like
// a texture is never opened), every read is checked, and a file whose first bytes declare its
// length is read only as far as declared, with nothing allocated before the file is known to
// hold it all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "io/error.h"
#include "io/file_ref.h"
#include "io/scoped_file.h"

namespace tarnvick {

// The regular file at `file`, open for reading. Fails with kCannotOpen or kNotRegularFile.
Result<ScopedFile> OpenRegularFile(const FileRef& file);

// Reads up to `size` bytes from `offset` into `data`, stopping early only at the end of the
// file; returns how many were read. Fails with kReadError and the system's reason.
Result<std::size_t> ReadAt(int fd, std::uint8_t* data, std::size_t size, std::uint64_t offset);

// What a file's first bytes (and its size) declare: its whole length, and where the part its
// reader keeps (the pixel data) starts.
struct FileLayout {
  std::uint64_t size = 0;
  std::uint64_t body = 0;
};
using FileLayoutOf = std::function<Result<FileLayout>(std::span<const std::uint8_t> head, std::uint64_t file_size)>;

struct FileContents {
  std::vector<std::uint8_t> head;  // the first bytes: at most the header length asked for
  std::vector<std::uint8_t> body;  // bytes `body` to `size` of the layout
};

// A stretch of an open file that holds a file of its own: an archive's entry.
struct FilePart {
  std::shared_ptr<const ScopedFile> file;  // the archive, open while a copy is kept
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
};

// Reads the first `header_bytes` of the regular file at `file`, or of `part` when given (fewer
// when it is shorter), asks `layout_of` how long it must be, and reads its body. Fails when the
// file cannot be opened or read, or is shorter than it must be (kTruncated).
Result<FileContents> ReadSizedFile(const FileRef& file, std::size_t header_bytes, const FileLayoutOf& layout_of,
                                   const std::optional<FilePart>& part = std::nullopt);

// The regular file at `file`, itself not a link, open for reading, when it holds `size` bytes;
// anything else at that path is never opened. Fails with kCannotOpen or kNotRegularFile.
Result<ScopedFile> OpenPlainRegularFile(const FileRef& file, std::uint64_t size);

// The size of the open file `fd`. Fails with kReadError and the system's reason.
Result<std::uint64_t> SizeOfOpenFile(int fd);

// Whether `file` is a regular file (not a link to one) whose content is exactly `chunks`, one
// after the other. Anything else at that path is never opened. False whenever that cannot be read.
bool HoldsExactly(const FileRef& file, std::initializer_list<std::span<const std::uint8_t>> chunks);

// The failure of a file of `size` bytes that must hold `required`.
Failure FailTruncated(std::uint64_t required, std::uint64_t size);

}  // namespace tarnvick
