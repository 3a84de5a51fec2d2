#include "texture/picture_texture.h"

#include <cstddef>
#include <string>

#include "texture/byte_order.h"

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

std::optional<PictureSize> PictureSizeOf(TextureType kind, std::span<const std::uint8_t> head) {
  const auto u16 = [&](std::size_t at) { return std::uint32_t{head[at]} | std::uint32_t{head[at + 1]} << 8; };
  switch (kind) {
    case TextureType::kPng:
      // The signature, then the IHDR chunk: its length, its type, the width and the height.
      if (head.size() < 24 || head[0] != 0x89 || head[1] != 'P' || head[12] != 'I' || head[13] != 'H') return std::nullopt;
      return PictureSize{ReadBig32(head.data() + 16), ReadBig32(head.data() + 20)};
    case TextureType::kTga:
      if (head.size() < 18) return std::nullopt;
      return PictureSize{u16(12), u16(14)};
    case TextureType::kBmp: {
      if (head.size() < 26 || head[0] != 'B' || head[1] != 'M') return std::nullopt;
      if (ReadU32(head.data() + 14) == 12) return PictureSize{u16(18), u16(20)};
      // A negative height stands for rows stored from the top.
      const std::int64_t height = static_cast<std::int32_t>(ReadU32(head.data() + 22));
      return PictureSize{ReadU32(head.data() + 18), static_cast<std::uint32_t>(height < 0 ? -height : height)};
    }
    case TextureType::kPcx: {
      if (head.size() < 12 || head[0] != 10) return std::nullopt;
      const std::int64_t width = std::int64_t{u16(8)} - u16(4) + 1, height = std::int64_t{u16(10)} - u16(6) + 1;
      if (width <= 0 || height <= 0) return std::nullopt;
      return PictureSize{static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
    }
    default:
      return std::nullopt;
  }
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
