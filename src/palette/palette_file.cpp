#include "palette/palette_file.h"

#include <sys/stat.h>

#include <cstdio>

#include "texture/atomic_file.h"
#include "texture/scoped_file.h"

namespace tarnvick {

bool LoadPalette(const std::string& path, Palette& palette) {
  // Opening a FIFO would block; a directory opens on Linux but reads nothing.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  ScopedFile file;
  std::FILE* stream = file.Open(path, "rb");
  if (stream == nullptr) return false;
  std::array<std::uint8_t, kPaletteFileSize> bytes{};
  const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), stream);
  std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(got), palette.begin());
  return true;
}

bool SavePalette(const std::string& path, const Palette& palette, std::string& error) {
  return WriteFileAtomically(path, {std::span<const std::uint8_t>(palette)}, error);
}

}  // namespace tarnvick
