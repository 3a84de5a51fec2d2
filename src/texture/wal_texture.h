// A WAL texture: 8-bit indices into the shared palette in exactly four mip levels behind a
// 100-byte header. Written only: this system makes WAL files, it never reads them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "texture/texture.h"

namespace tarnvick {

class WalTexture : public Texture {
 public:
  static constexpr std::uint32_t kHeaderSize = 100;
  static constexpr int kLevels = 4;

  // WAL files are never read: always false.
  bool Load(const std::string& path) override;

  // Writes the header (with the offsets computed from `width` and `height`, also stored in
  // `offset`) and four levels of indices from `pixels`. The file is replaced atomically. False,
  // with the reason in `error`, when `pixels` holds too few indices or the file cannot be written.
  bool Save(const std::string& path, std::string& error);

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
};

}  // namespace tarnvick
