#include "texture/wal_texture.h"

#include <cstring>

#include "texture/byte_order.h"

namespace tarnvick {
namespace {

std::uint64_t TotalSize(const WalTexture& wal) {
  std::uint64_t total = 0;
  for (int level = 0; level < WalTexture::kLevels; ++level) total += wal.LevelSize(level);
  return total;
}

}  // namespace

std::uint64_t WalTexture::LevelSize(int level) const {
  return static_cast<std::uint64_t>(width >> level) * (height >> level);
}

std::span<const std::uint8_t> WalTexture::LevelData() const {
  const std::uint64_t total = TotalSize(*this);
  return {pixels.data(), total < pixels.size() ? static_cast<std::size_t>(total) : pixels.size()};
}

Result<std::array<std::uint8_t, WalTexture::kHeaderSize>> WalTexture::EncodeHeader() {
  const std::uint64_t total = TotalSize(*this);
  if (pixels.size() < total) return Fail(ErrorKind::kTooFewPixels);
  // The offsets are unsigned 32-bit; files whose levels would not fit are not written.
  if (kHeaderSize + total > UINT32_MAX) return Fail(ErrorKind::kTooLarge);
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
  return header;
}

}  // namespace tarnvick
