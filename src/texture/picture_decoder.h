// Pictures as sources: PNG, TGA, BMP and PCX files decoded in memory into a texture of one level
// of red, green, blue and alpha bytes, for the converter to make its mip levels from.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "io/error.h"
#include "texture/texture.h"
#include "texture/texture_type.h"

namespace tarnvick {

// The picture in `bytes`, read as the format `kind` names (one of PictureKindOf's): a texture of
// that type, 32 bits a pixel, one level of width x height pixels, `pixels` holding its
// width x height x 4 bytes (red, green, blue, alpha) row by row from the top left, with room
// reserved for four levels (see NewPictureTexture). Names are left empty. Sides must be
// multiples of 8 from 8 to 8192: that is checked from the header, before anything is decoded.
// Fails with kBadPicture, the detail one of:
//   "picture is WxH: sides must be multiples of 8, from 8 to 8192"
//   "PCX picture is not 8-bit with 256 colours"
//   "cannot decode picture: REASON"
// Safe to call from several threads at once; throws std::bad_alloc when memory runs out.
Result<std::unique_ptr<Texture>> DecodePicture(TextureType kind, std::span<const std::uint8_t> bytes);

}  // namespace tarnvick
