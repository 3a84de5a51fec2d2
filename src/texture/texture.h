// The loaded-texture model: what every user needs to know about any source texture, whatever its
// file format. Each source format derives its own class that parses its file's bytes and keeps
// the header fields only it has.
//
// texture/ holds the texture model and the M8, M32 and WAL formats as pure code: bytes in,
// texture out; texture in, WAL bytes out. Only CreateTexture reads a file, through io/. It uses
// io/ alone.
#pragma once

#include <cstddef>
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
  const std::uint8_t* IndexColours() const { return index_colours_; }

  // The colour of pixel `i` of `pixels` (level 0 first): its red, green and blue bytes.
  const std::uint8_t* Colour(std::size_t i) const {
    return index_colours_ != nullptr ? index_colours_ + 3 * std::size_t{pixels[i]}
                                     : pixels.data() + i * (bits_per_pixel / 8);
  }

  std::vector<std::uint8_t> name;            // the name field as the file holds it, zero-padded
  std::vector<std::uint8_t> animation_name;  // likewise
  std::vector<std::uint32_t> width;          // of each mip level the file carries, level 0 first
  std::vector<std::uint32_t> height;
  std::uint32_t flags = 0;
  std::uint32_t contents = 0;
  std::uint32_t value = 0;
  std::int32_t byte_extent = 0;  // bytes of `pixels` whose colours count for the palette
  TextureType type = TextureType::kNone;
  std::uint8_t bits_per_pixel = 0;  // 8 (an index), 24 or 32 (red, green, blue and a byte unused)
  // Pixels of all mip levels, level 0 first.
  std::vector<std::uint8_t> pixels;

 protected:
  const std::uint8_t* index_colours_ = nullptr;  // set by a format whose pixels are indices
};

}  // namespace tarnvick
