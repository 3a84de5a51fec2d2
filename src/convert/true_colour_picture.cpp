#include "convert/true_colour_picture.h"

#include <cstring>
#include <span>

#include "convert/convert_texture.h"
#include "texture/png_encoder.h"
#include "texture/tga_encoder.h"

namespace tarnvick {
namespace {

// The pictures are packed for speed: every row takes the average filter and zlib codes the bytes
// without looking for repeats (its Huffman-only strategy), which packs noisy textures about as
// well as its default level at a seventh of the time.
constexpr PngPacking kPicturePacking = {.level = 1, .strategy = 2, .filter = 3};

// The pixels of level 0, row after row from the top: 3 bytes a pixel, or 4 with `alpha`. An M32
// level read with alpha is its own pixels; any other is copied into `copy`.
std::span<const std::uint8_t> Level0Pixels(const Texture& texture, bool alpha, std::vector<std::uint8_t>& copy) {
  const std::size_t pixels = std::size_t{texture.width[0]} * texture.height[0];
  const std::size_t step = alpha ? 4 : 3;
  if (alpha && texture.IndexColours() == nullptr) return std::span(texture.pixels).first(4 * pixels);
  copy.resize(step * pixels);
  std::uint8_t* out = copy.data();
  for (std::size_t i = 0; i < pixels; ++i, out += step) {
    std::memcpy(out, texture.Colour(i), 3);
    if (alpha) out[3] = 255;
  }
  return copy;
}

}  // namespace

std::string PicturePathFor(const std::string& wal_path, PictureForm form) {
  return ReplaceExtension(wal_path, form == PictureForm::kTga ? "tga" : "png");
}

Result<std::vector<std::uint8_t>> EncodePicture(const Texture& texture, PictureForm form, bool alpha) {
  std::vector<std::uint8_t> copy;
  const std::span<const std::uint8_t> pixels = Level0Pixels(texture, alpha, copy);
  if (form == PictureForm::kTga) return EncodeTga({texture.width[0], texture.height[0], pixels, alpha});
  return EncodePng({texture.width[0], texture.height[0], pixels, {}, alpha, kPicturePacking});
}

}  // namespace tarnvick
