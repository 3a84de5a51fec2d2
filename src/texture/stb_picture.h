// PNG, TGA and BMP pictures as textures, decoded by stb_image once the checks it leaves out have
// been made here: each file must be of the format its extension names, hold its whole image data,
// and use only the forms this reader accepts.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "io/error.h"
#include "texture/texture.h"
#include "texture/texture_type.h"

namespace tarnvick {

// The picture of a whole file held in memory, `kind` being kPng, kTga or kBmp, as a texture of
// that kind (see NewPictureTexture). Fails with kBadPicture: the size rule's message
// (CheckPictureSize) or "cannot decode picture: REASON". Several threads may decode at once.
// Throws std::bad_alloc when memory runs out.
Result<std::unique_ptr<Texture>> DecodeStbPicture(TextureType kind, std::span<const std::uint8_t> bytes);

}  // namespace tarnvick
