#include "convert/true_colour_picture.h"


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
// pixel's fourth byte, 255 for M8 pixels); red, green and blue in that order, or with `bgr` blue,
// green and red.
void Level0Row(const Texture& texture, bool alpha, bool bgr, std::uint32_t y, std::uint8_t* out) {
  const std::size_t width = texture.width[0], first = width * y, step = alpha ? 4 : 3;
  const std::size_t red = bgr ? 2 : 0, blue = bgr ? 0 : 2;
  const std::uint8_t* const palette = texture.IndexColours();
  const std::size_t in_step = texture.bits_per_pixel / 8;
  const bool own_alpha = palette == nullptr && in_step == 4;
  const std::uint8_t* in = palette == nullptr ? texture.Colour(first) : nullptr;
  for (std::size_t i = 0; i < width; ++i, out += step) {
    const std::uint8_t* colour = palette != nullptr ? palette + 3 * std::size_t{texture.pixels[first + i]} : in + in_step * i;
    out[red] = colour[0];
    out[1] = colour[1];
    out[blue] = colour[2];
    if (alpha) out[3] = own_alpha ? colour[3] : 255;
  }
}

}  // namespace

std::string PicturePathFor(const std::string& wal_path, PictureForm form) {
  return ReplaceExtension(wal_path, form == PictureForm::kTga ? "tga" : "png");
}

Result<std::vector<std::uint8_t>> EncodePicture(const Texture& texture, PictureForm form, bool alpha) {
  const bool bgr = form == PictureForm::kTga;
  const auto rows = [&texture, alpha, bgr](std::uint32_t y, std::uint8_t* row) { Level0Row(texture, alpha, bgr, y, row); };
  if (bgr) return EncodeTga({texture.width[0], texture.height[0], rows, alpha});
  return EncodePng({texture.width[0], texture.height[0], {}, {}, alpha, kPicturePacking, rows});
}

}  // namespace tarnvick
