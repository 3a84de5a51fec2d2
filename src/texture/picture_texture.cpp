#include "texture/picture_texture.h"

#include <cstddef>
#include <string>

namespace tarnvick {
namespace {

constexpr std::int64_t kSideStep = 8;
constexpr std::int64_t kLongestSide = 8192;

bool IsSide(std::int64_t side) { return side >= kSideStep && side <= kLongestSide && side % kSideStep == 0; }

}  // namespace

Result<void> CheckPictureSize(std::int64_t width, std::int64_t height) {
  if (IsSide(width) && IsSide(height)) return {};
  return Fail(ErrorKind::kBadPicture, "picture is " + std::to_string(width) + "x" + std::to_string(height) +
                                          ": sides must be multiples of 8, from 8 to 8192");
}

Failure CannotDecodePicture(std::string_view reason) {
  return Fail(ErrorKind::kBadPicture, "cannot decode picture: " + std::string(reason));
}

std::unique_ptr<Texture> NewPictureTexture(TextureType kind, std::uint32_t width, std::uint32_t height) {
  auto texture = std::make_unique<Texture>();
  texture->type = kind;
  texture->bits_per_pixel = 32;
  texture->width = {width};
  texture->height = {height};
  std::size_t four_levels = 0;
  for (unsigned level = 0; level < 4; ++level) {
    four_levels += std::size_t{width >> level} * (height >> level) * 4;
  }
  const std::size_t level0 = std::size_t{width} * height * 4;
  texture->pixels.reserve(four_levels);
  texture->pixels.resize(level0);
  texture->byte_extent = static_cast<std::int32_t>(level0);
  return texture;
}

}  // namespace tarnvick
