#include "palette/palette_file.h"

#include "io/atomic_file.h"
#include "io/read_file.h"

namespace tarnvick {

Result<LoadedPalette> LoadPalette(const FileRef& file) {
  const Result<ScopedFile> fd = OpenRegularFile(file);
  if (!fd) return Failure{fd.error()};
  LoadedPalette loaded;
  // Read up to the end whatever size the file claims: some files report none.
  const Result<std::size_t> got = ReadAt(fd->get(), loaded.palette.data(), loaded.palette.size(), 0);
  if (!got) return Failure{got.error()};
  if (*got == 0) return Fail(ErrorKind::kEmptyFile);
  loaded.length = *got;
  return loaded;
}

Result<void> SavePalette(const FileRef& file, const Palette& palette) {
  return WriteFileAtomically(file, {std::span<const std::uint8_t>(palette)}, LinkPolicy::kWriteThrough);
}

}  // namespace tarnvick
