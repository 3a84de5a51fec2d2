// The checks a PNG, TGA or BMP file passes before stb_image decodes it: that it is of the format
// its extension names, holds all its image data, and uses only forms stb_image reads right.
#pragma once

#include <cstdint>
#include <span>

#include "io/error.h"

namespace tarnvick {

// What a file that passes says of its picture.
struct CheckedPicture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool mirrored = false;  // its rows run right to left (a TGA whose descriptor says so)
};

// Each fails with kBadPicture: the size rule's message (CheckPictureSize) as soon as the header
// gives the size, before anything else is looked at; or "cannot decode picture: REASON".
// Throws std::bad_alloc when memory runs out.
Result<CheckedPicture> CheckPngPicture(std::span<const std::uint8_t> bytes);
Result<CheckedPicture> CheckTgaPicture(std::span<const std::uint8_t> bytes);
Result<CheckedPicture> CheckBmpPicture(std::span<const std::uint8_t> bytes);

}  // namespace tarnvick
