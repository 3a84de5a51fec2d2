// A WAL texture: 8-bit indices into the shared palette in exactly four mip levels behind a
// 100-byte header. This system makes WAL files and never reads them: the class encodes only.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "io/error.h"

namespace tarnvick {

class WalTexture {
 public:
  static constexpr std::uint32_t kHeaderSize = 100;
  static constexpr int kLevels = 4;

  // The 100-byte header, with the level offsets computed from `width` and `height` (and stored
  // in `offset`). Fails with kTooFewPixels when `pixels` holds fewer indices than the four
  // levels need, kTooLarge when the file would pass 4 GiB.
  Result<std::array<std::uint8_t, kHeaderSize>> EncodeHeader();
  // The indices the file holds after its header: the four levels, back to back.
  std::span<const std::uint8_t> LevelData() const;

  // Indices in level `level` (0 to 3): (width >> level) x (height >> level).
  std::uint64_t LevelSize(int level) const;

  std::array<std::uint8_t, 32> name{};
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::array<std::uint32_t, kLevels> offset{};
  std::array<std::uint8_t, 32> animation_name{};
  std::uint32_t flags = 0;
  std::uint32_t contents = 0;
  std::uint32_t value = 0;
  std::vector<std::uint8_t> pixels;  // the indices, level 0 first
};

}  // namespace tarnvick
