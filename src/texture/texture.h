// The loaded-texture model: what every user needs to know about any source texture, whatever its
// file format. Each source format derives its own class that parses its file's bytes.
//
// texture/ holds the texture model and the M8, M32 and WAL formats as pure code: bytes in,
// texture out; texture in, WAL bytes out. Only CreateTexture reads a file, through io/. It uses
// io/ alone.
#pragma once

#include <cstdint>
#include <vector>

#include "texture/texture_type.h"

namespace tarnvick {

class Texture {
 public:
  Texture() = default;
  Texture(const Texture&) = delete;
  Texture& operator=(const Texture&) = delete;
  virtual ~Texture() = default;

  // For 8-bit pixels (indices): the colours of the 256 indices, red, green, blue each; null
  // for pixels that hold their colours.
  virtual const std::uint8_t* IndexColours() const { return nullptr; }

  std::int32_t byte_extent = 0;    // bytes of `pixels` whose colours count for the palette
  std::uint32_t level0_width = 0;  // width of mip level 0, in pixels
  std::uint32_t level0_height = 0;
  TextureType type = TextureType::kNone;
  std::uint8_t bits_per_pixel = 0;  // 8 (an index), 24 or 32 (red, green, blue and a byte unused)
  std::uint8_t level_count = 0;     // mip levels the file carries (M8 only)
  // Pixels of all mip levels, level 0 first.
  std::vector<std::uint8_t> pixels;
};

}  // namespace tarnvick
