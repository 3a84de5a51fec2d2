// PCX pictures as textures: 8 bits a pixel in one plane, run-length coded, with the 256-colour
// palette at the end of the file. Palette index 255 is transparent (alpha 0), as the engines
// read these pictures; every other index is opaque.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "io/error.h"
#include "texture/texture.h"

namespace tarnvick {

// The picture of a whole PCX file held in memory, as a kPcx texture (see NewPictureTexture).
// Fails with kBadPicture: "PCX picture is not 8-bit with 256 colours" for any other PCX (or
// anything that is not one), the size rule's message (CheckPictureSize), or "cannot decode
// picture: REASON" when its lines are not all there.
Result<std::unique_ptr<Texture>> DecodePcxPicture(std::span<const std::uint8_t> bytes);

}  // namespace tarnvick
