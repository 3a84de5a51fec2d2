#include "io/atomic_file.h"

namespace tarnvick {

Result<void> WriteFileAtomically(const FileRef& target,
                                 std::initializer_list<std::span<const std::uint8_t>> chunks,
                                 LinkPolicy links) {
  Result<std::unique_ptr<AtomicFileWriter>> writer = AtomicFileWriter::Begin(target, links);
  if (!writer) return Failure{writer.error()};
  std::uint64_t size = 0;
  for (const auto& chunk : chunks) {
    if (Result<void> written = (*writer)->WriteAt(size, chunk); !written) return written;
    size += chunk.size();
  }
  return (*writer)->Commit(size);
}

}  // namespace tarnvick
