// What every picture reader shares: the sizes a picture may have, and the texture it becomes
// (one level of red, green, blue and alpha bytes, row by row from the top left).
#pragma once

#include <cstdint>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "io/error.h"
#include "texture/texture.h"
#include "texture/texture_type.h"

namespace tarnvick {

// The sides a picture may have: multiples of 8 from 8 to 8192, so that its four mip levels halve
// evenly. Fails with kBadPicture, "picture is WxH: ...", the sides as its header gives them.
Result<void> CheckPictureSize(std::int64_t width, std::int64_t height);

// The first bytes of a picture that hold its size, in every picture format.
inline constexpr std::size_t kPictureHeadBytes = 32;

struct PictureSize {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

// The size the first bytes of a picture of `kind` (kPng, kTga, kBmp or kPcx) declare, as its
// reader takes it; none when they are too few or not of that format.
std::optional<PictureSize> PictureSizeOf(TextureType kind, std::span<const std::uint8_t> head);
// The failure of a picture that does not decode: kBadPicture, "cannot decode picture: REASON".
Failure CannotDecodePicture(std::string_view reason);

// A texture of `kind` for a picture of a size CheckPictureSize accepts: 32 bits a pixel, one
// level whose w x h x 4 bytes (all zero) `pixels` holds, with its capacity reserved for four
// levels, so that the caller can append the three smaller ones without moving it. Names are
// left empty.
std::unique_ptr<Texture> NewPictureTexture(TextureType kind, std::uint32_t width, std::uint32_t height);

}  // namespace tarnvick
