#include "texture/picture_decoder.h"

#include "texture/pcx_picture.h"
#include "texture/stb_picture.h"

namespace tarnvick {
Result<std::unique_ptr<Texture>> DecodePicture(TextureType kind, std::span<const std::uint8_t> bytes) {
  switch (kind) {
    case TextureType::kPng:
    case TextureType::kTga:
    case TextureType::kBmp:
      return DecodeStbPicture(kind, bytes);
    case TextureType::kPcx:
      return DecodePcxPicture(bytes);
    default:
      return Fail(ErrorKind::kNotATexture);
  }
}

}  // namespace tarnvick
