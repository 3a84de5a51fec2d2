#include "texture/wal_texture.h"

#include <cstring>

#include "texture/atomic_file.h"
#include "texture/byte_order.h"

namespace tarnvick {

bool WalTexture::Load(const std::string& /*path*/) { return Fail("WAL files are not read"); }

std::uint64_t WalTexture::LevelSize(int level) const {
  return static_cast<std::uint64_t>(width >> level) * (height >> level);
}

bool WalTexture::Save(const std::string& path, std::string& error) {
  std::uint64_t total = 0;
  for (int level = 0; level < kLevels; ++level) total += LevelSize(level);
  if (pixels.size() < total) {
    error = "too few pixels for four mip levels";
    return false;
  }
  // The offsets are unsigned 32-bit; files whose levels would not fit are not written.
  if (kHeaderSize + total > UINT32_MAX) {
    error = "texture too large for a WAL file";
    return false;
  }
  offset[0] = kHeaderSize;
  for (int level = 1; level < kLevels; ++level) {
    offset[level] = offset[level - 1] + static_cast<std::uint32_t>(LevelSize(level - 1));
  }

  std::array<std::uint8_t, kHeaderSize> header{};
  std::memcpy(header.data(), name.data(), 32);
  WriteU32(header.data() + 32, width);
  WriteU32(header.data() + 36, height);
  for (std::size_t level = 0; level < offset.size(); ++level) {
    WriteU32(header.data() + 40 + 4 * level, offset[level]);
  }
  std::memcpy(header.data() + 56, animation_name.data(), 32);
  WriteU32(header.data() + 88, flags);
  WriteU32(header.data() + 92, contents);
  WriteU32(header.data() + 96, value);

  return WriteFileAtomically(
      path, {std::span<const std::uint8_t>(header), std::span<const std::uint8_t>(pixels.data(), total)},
      error);
}

}  // namespace tarnvick
