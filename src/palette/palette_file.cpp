#include "palette/palette_file.h"

#include <algorithm>

#include "io/atomic_file.h"
#include "io/read_file.h"

namespace tarnvick {

Result<Palette> LoadPalette(const std::string& path) {
  const Result<std::vector<std::uint8_t>> bytes = ReadSizedFile(
      path, kPaletteFileSize, [](std::span<const std::uint8_t> head) -> Result<std::uint64_t> {
        return head.size();
      });
  if (!bytes) return Failure{bytes.error()};
  Palette palette{};
  std::copy(bytes->begin(), bytes->end(), palette.begin());
  return palette;
}

Result<void> SavePalette(const std::string& path, const Palette& palette) {
  return WriteFileAtomically(path, {std::span<const std::uint8_t>(palette)});
}

}  // namespace tarnvick
