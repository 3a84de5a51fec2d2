#include "convert/made_levels.h"

#include <string>

#include "convert/linear_mips.h"

namespace tarnvick {
namespace {

constexpr int kLevels = 4;

// An M8 or M32 texture's header fields, with four levels of 4-byte pixels.
class RemadeTexture : public Texture {
 public:
  explicit RemadeTexture(const Texture& source) {
    name = source.name;
    animation_name = source.animation_name;
    flags = source.flags;
    contents = source.contents;
    value = source.value;
    type = source.type;
    bits_per_pixel = 32;
  }
};

// The pixels of four levels of a `width` x `height` level 0.
std::size_t FourLevels(std::uint32_t width, std::uint32_t height) {
  std::size_t pixels = 0;
  for (int level = 0; level < kLevels; ++level) pixels += std::size_t{width >> level} * (height >> level);
  return pixels;
}

void SetLevels(Texture& texture, std::uint32_t width, std::uint32_t height) {
  texture.width.clear();
  texture.height.clear();
  for (int level = 0; level < kLevels; ++level) {
    texture.width.push_back(width >> level);
    texture.height.push_back(height >> level);
  }
}

}  // namespace

Result<std::unique_ptr<Texture>> WithMadeLevels(std::unique_ptr<Texture> texture, bool transparent) {
  if (texture->width.empty() || texture->height.empty()) return Fail(ErrorKind::kNoFourthLevel);
  const std::uint32_t width = texture->width[0], height = texture->height[0];
  if (width % 8 != 0 || height % 8 != 0 || width == 0 || height == 0) {
    return Fail(ErrorKind::kBadPicture, "level 0 is " + std::to_string(width) + "x" + std::to_string(height) +
                                            ": sides must be multiples of 8 to remake its mip levels");
  }
  const std::size_t level0 = std::size_t{width} * height, pixels = FourLevels(width, height);
  if (IsPictureType(texture->type) || (texture->bits_per_pixel == 32 && texture->IndexColours() == nullptr)) {
    // Level 0 of 4-byte pixels stays where it is, and levels 1 to 3 follow it, as in an M32 file
    // (a picture was given room for them when it was decoded).
    if (texture->pixels.size() < 4 * level0) return Fail(ErrorKind::kTooFewPixels);
    texture->pixels.resize(4 * pixels);
  } else {
    auto remade = std::make_unique<RemadeTexture>(*texture);
    remade->pixels.resize(4 * pixels);
    if (texture->pixels.size() < level0 * (texture->bits_per_pixel / 8)) return Fail(ErrorKind::kTooFewPixels);
    for (std::size_t i = 0; i < level0; ++i) {
      const std::uint8_t* colour = texture->Colour(i);
      std::uint8_t* out = remade->pixels.data() + 4 * i;
      out[0] = colour[0];
      out[1] = colour[1];
      out[2] = colour[2];
      out[3] = 255;
    }
    texture = std::move(remade);
  }
  SetLevels(*texture, width, height);
  texture->byte_extent = static_cast<std::int32_t>(std::min<std::size_t>(texture->pixels.size(), INT32_MAX));
  MakeMipLevels(texture->pixels, width, height, transparent);
  return texture;
}

}  // namespace tarnvick
