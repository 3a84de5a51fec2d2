// An M32 texture: a 968-byte header giving the size of each of 16 mip levels, followed by the
// 4-byte pixels (red, green, blue, and a fourth byte nobody reads) of all levels.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "io/error.h"
#include "io/read_file.h"
#include "texture/texture.h"

namespace tarnvick {

class M32Texture : public Texture {
 public:
  static constexpr std::size_t kHeaderSize = 968;
  static constexpr std::size_t kLevels = 16;

  // Parses a whole file held in memory. Fails when the file is refused; the object is then
  // partly filled and must not be used.
  Result<void> Parse(std::span<const std::uint8_t> file);
  // The same for a file read in two parts: its header and the pixel data that follows it.
  Result<void> Adopt(std::span<const std::uint8_t> head, std::vector<std::uint8_t> pixel_data);
  // How long a file must be, from its first bytes (header plus every level's pixels), and where
  // its pixels start.
  static Result<FileLayout> LayoutOf(std::span<const std::uint8_t> head);

  // The header fields only this format has, in file order (the name and animation name are 128
  // bytes); the uninterpreted blocks are named by offset.
  std::uint32_t version = 0;
  std::array<std::uint8_t, 128> unknown_132{};
  std::array<std::uint8_t, 128> unknown_388{};
  std::vector<std::uint32_t> offset;  // kept as read; pixels always start at 968
  std::array<std::uint8_t, 12> unknown_720{};
  std::array<std::uint8_t, 128> unknown_732{};
  std::array<std::uint8_t, 32> unknown_860{};
  std::array<std::uint8_t, 76> unknown_892{};
};

}  // namespace tarnvick
