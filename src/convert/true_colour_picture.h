// The true-colour picture that goes beside a WAL for the engines that load one in its place: the
// source's level 0 at its own size, as a PNG or a TGA file, in RGB or, with alpha, RGBA.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/error.h"
#include "texture/texture.h"

namespace tarnvick {

enum class PictureForm {
  kNone,
  kPng,  // 8-bit RGB or RGBA, not interlaced
  kTga,  // uncompressed, 24 or 32 bits, rows from the bottom up
};

// The path of the picture beside the WAL at `wal_path`: its extension replaced by "png" or "tga".
std::string PicturePathFor(const std::string& wal_path, PictureForm form);

// The picture file of level 0 of `texture` (an M8 or M32 texture) in `form`: each pixel's red,
// green and blue (M8 ones through their palette); with `alpha` also an alpha byte, an M32 pixel's
// fourth byte, 255 for M8 pixels. Fails with kCannotWrite when the form cannot hold the size, or
// kOutOfMemory.
Result<std::vector<std::uint8_t>> EncodePicture(const Texture& texture, PictureForm form, bool alpha);

}  // namespace tarnvick
