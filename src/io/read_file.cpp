#include "io/read_file.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace tarnvick {

Failure FailTruncated(std::uint64_t required, std::uint64_t size) {
  return Fail(ErrorKind::kTruncated, std::to_string(size) + " of " + std::to_string(required) + " bytes");
}

bool HoldsExactly(const FileRef& file, std::initializer_list<std::span<const std::uint8_t>> chunks) {
  std::uint64_t size = 0;
  for (const auto& chunk : chunks) size += chunk.size();
  const Result<ScopedFile> fd = OpenPlainRegularFile(file, size);
  if (!fd) return false;
  // Compared a piece at a time, in a buffer that stays in the cache.
  std::vector<std::uint8_t> buffer(std::min<std::uint64_t>(size, std::uint64_t{1} << 16));
  std::uint64_t offset = 0;
  for (std::span<const std::uint8_t> chunk : chunks) {
    while (!chunk.empty()) {
      const std::size_t piece = std::min(chunk.size(), buffer.size());
      const Result<std::size_t> got = ReadAt(fd->get(), buffer.data(), piece, offset);
      if (!got || *got != piece || !std::equal(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(piece), chunk.begin())) {
        return false;
      }
      chunk = chunk.subspan(piece);
      offset += piece;
    }
  }
  return true;
}

namespace {

// The file of `file_size` bytes that starts at `start` in the open file `fd`, read as
// ReadSizedFile reads one.
Result<FileContents> ReadSized(int fd, std::uint64_t start, std::uint64_t file_size, std::size_t header_bytes,
                               const FileLayoutOf& layout_of) {
  FileContents contents;
  contents.head.resize(std::min<std::uint64_t>(file_size, header_bytes));
  const Result<std::size_t> head = ReadAt(fd, contents.head.data(), contents.head.size(), start);
  if (!head) return Failure{head.error()};
  if (*head != contents.head.size()) return Fail(ErrorKind::kReadError, "the file shrank");

  const Result<FileLayout> layout = layout_of(contents.head, file_size);
  if (!layout) return Failure{layout.error()};
  if (layout->size > file_size) return FailTruncated(layout->size, file_size);
  const std::uint64_t body = std::min(layout->body, layout->size);

  const std::uint64_t in_head = std::min<std::uint64_t>(contents.head.size(), layout->size);
  contents.body.resize(static_cast<std::size_t>(layout->size - body));
  std::uint64_t at = body;
  if (at < in_head) {
    std::memcpy(contents.body.data(), contents.head.data() + at, static_cast<std::size_t>(in_head - at));
    at = in_head;
  }
  const std::size_t rest = static_cast<std::size_t>(layout->size - at);
  const Result<std::size_t> got = ReadAt(fd, contents.body.data() + (at - body), rest, start + at);
  if (!got) return Failure{got.error()};
  if (*got != rest) return Fail(ErrorKind::kReadError, "the file shrank");
  contents.head.resize(static_cast<std::size_t>(in_head));
  return contents;
}

}  // namespace

Result<FileContents> ReadSizedFile(const FileRef& file, std::size_t header_bytes, const FileLayoutOf& layout_of,
                                   const std::optional<FilePart>& part) {
  if (part) return ReadSized(part->file->get(), part->offset, part->size, header_bytes, layout_of);
  Result<ScopedFile> fd = OpenRegularFile(file);
  if (!fd) return Failure{fd.error()};
  const Result<std::uint64_t> size = SizeOfOpenFile(fd->get());
  if (!size) return Failure{size.error()};
  return ReadSized(fd->get(), 0, *size, header_bytes, layout_of);
}

}  // namespace tarnvick
