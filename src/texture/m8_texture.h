// An M8 texture: 8-bit indices into the file's own 256-colour palette, 8 or 16 mip levels by
// version. Loading expands every index through that palette into 3-byte pixels.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "texture/texture.h"

namespace tarnvick {

class M8Texture : public Texture {
 public:
  // Versions above this are refused.
  static constexpr std::int32_t kNewestVersion = 4;
  // The longest header (version 4); the pixel indices follow it directly.
  static constexpr std::size_t kLongestHeader = 1748;

  bool Load(const std::string& path) override;
  // Parses a whole file held in memory; the same checks and results as Load.
  bool Parse(const std::uint8_t* data, std::size_t size);
  // How long a file must be, from its first bytes: header plus every stored level's indices.
  static bool RequiredFileSize(const std::uint8_t* data, std::size_t size, std::uint64_t& required,
                               std::string& error);

  std::int32_t version = 0;
  std::array<std::uint8_t, 32> name{};
  std::vector<std::uint32_t> width;   // per level, level 0 first
  std::vector<std::uint32_t> height;  // per level, level 0 first
  std::vector<std::uint32_t> offset;  // kept as read; the indices always follow the header
  std::array<std::uint8_t, 32> animation_name{};
  std::array<std::uint8_t, 768> palette{};  // red, green, blue for each of 256 indices
  std::uint32_t flags = 0;
  std::uint32_t contents = 0;
  std::uint32_t value = 0;
};

}  // namespace tarnvick
