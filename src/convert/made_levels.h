// The texture a WAL is made from when its levels 1 to 3 are made from level 0 in linear light
// (MakeMipLevels): a picture's, whose file holds level 0 alone, and, with --remake-mips, an M8's
// or an M32's, whose own levels are then neither used nor needed.
#pragma once

#include <memory>

#include "io/error.h"
#include "texture/texture.h"

namespace tarnvick {

// `texture` with four levels of 4-byte pixels, levels 1 to 3 made from its level 0. A picture or
// an M32 texture gains them in place, over an M32's own (its alpha is its fourth byte); an M8
// texture is replaced by one of the same header fields whose level 0 holds its colours through
// its palette, with alpha 255. Fails with kBadPicture (`level 0 is WxH: sides must be multiples of 8 to remake
// its mip levels`) when a side of level 0 is not a multiple of 8.
Result<std::unique_ptr<Texture>> WithMadeLevels(std::unique_ptr<Texture> texture, bool transparent);

}  // namespace tarnvick
