#include "convert/true_colour_picture.h"

#include <cstring>

#include "convert/convert_texture.h"
#include "texture/png_encoder.h"
#include "texture/tga_encoder.h"

namespace tarnvick {
namespace {

// The pictures are packed for speed: every row takes the average filter and zlib codes the bytes
// without looking for repeats (its Huffman-only strategy) in long blocks, which packs textures
// about as well as its default level at a seventh of the time; rows of noise are stored.
constexpr PngPacking kPicturePacking = {.level = 1, .strategy = 2, .memory_level = 9, .filter = 3, .store_noise = true};

// Writes row `y` of level 0 of `texture` to `out`: 3 bytes a pixel, or 4 with `alpha` (an M32
// pixel's fourth byte, 255 for M8 pixels).
void Level0Row(const Texture& texture, bool alpha, std::uint32_t y, std::uint8_t* out) {
  const std::size_t width = texture.width[0], first = width * y;
  if (alpha && texture.IndexColours() == nullptr) {
    std::memcpy(out, texture.pixels.data() + 4 * first, 4 * width);
    return;
  }
  const std::size_t step = alpha ? 4 : 3;
  for (std::size_t i = 0; i < width; ++i, out += step) {
    std::memcpy(out, texture.Colour(first + i), 3);
    if (alpha) out[3] = 255;
  }
}

}  // namespace

std::string PicturePathFor(const std::string& wal_path, PictureForm form) {
  return ReplaceExtension(wal_path, form == PictureForm::kTga ? "tga" : "png");
}

Result<std::vector<std::uint8_t>> EncodePicture(const Texture& texture, PictureForm form, bool alpha) {
  const auto rows = [&texture, alpha](std::uint32_t y, std::uint8_t* row) { Level0Row(texture, alpha, y, row); };
  if (form == PictureForm::kTga) return EncodeTga({texture.width[0], texture.height[0], rows, alpha});
  return EncodePng({texture.width[0], texture.height[0], {}, {}, alpha, kPicturePacking, rows});
}

}  // namespace tarnvick
