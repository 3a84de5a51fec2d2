// An M8 texture: 8-bit indices into the file's own 256-colour palette, 8 or 16 mip levels by
// version. The indices are kept as they are; the palette gives their colours.
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

class M8Texture : public Texture {
 public:
  // Versions above this are refused.
  static constexpr std::int32_t kNewestVersion = 4;
  // The longest header (version 4); the pixel indices follow it directly.
  static constexpr std::size_t kLongestHeader = 1748;

  // Parses a whole file held in memory. Fails when the file is refused; the object is then
  // partly filled and must not be used.
  Result<void> Parse(std::span<const std::uint8_t> file);
  // The same for a file read in two parts: its header and the indices that follow it.
  Result<void> Adopt(std::span<const std::uint8_t> head, std::vector<std::uint8_t> indices);
  // How long a file must be, from its first bytes (header plus every stored level's indices),
  // and where its indices start.
  static Result<FileLayout> LayoutOf(std::span<const std::uint8_t> head);

  M8Texture() { index_colours_ = palette.data(); }

  // The header fields only this format has (the name is 32 bytes).
  std::int32_t version = 0;
  std::vector<std::uint32_t> offset;  // kept as read; the indices always follow the header
  std::array<std::uint8_t, 768> palette{};  // red, green, blue for each of 256 indices
};

}  // namespace tarnvick
