// PNG, TGA and BMP through stb_image, built here with those three formats alone, from memory
// only, without floating-point (HDR) paths, once the file has passed its format's checks
// (picture_checks.h). Always asked for four channels: grey becomes equal red, green and blue,
// and a picture without alpha gets 255. What stb_image does with what reaches it:
// - PNG: every colour type and depth, interlaced or not, a palette's tRNS alpha and a colour key;
//   16-bit samples keep their high byte; colour-space chunks (gAMA, sRGB, iCCP, cHRM) are passed
//   over, so samples are taken as they are.
// - TGA: bottom-up pictures are turned top row first; 15- and 16-bit pixels have no alpha; an
//   index past the colour map is taken for index 0. A right-to-left picture it leaves as it is:
//   it is mirrored here.
// - BMP: a 32-bit picture whose alpha is 0 everywhere is taken as opaque.
// A palette index past a PNG's or BMP's palette reads an entry stb_image leaves uninitialised;
// this file is built with its locals zeroed (see CMakeLists.txt), so such pixels are transparent
// black (PNG) or black (BMP), the same on every run.
//
// Thread safety: stb_image keeps its failure reason per thread; its process-wide settings
// (flipping, unpremultiplying, the iPhone conversion, HDR gamma) are never set, so they keep
// their defaults (off); its one shared buffer, the name of an unknown critical PNG chunk, is never
// reached, such files being refused by the checks.
#include "texture/stb_picture.h"

#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>

#include "texture/picture_checks.h"
#include "texture/picture_texture.h"

#define STBI_ONLY_PNG
#define STBI_ONLY_TGA
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

namespace tarnvick {
namespace {

struct StbFree {
  void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

}  // namespace

Result<std::unique_ptr<Texture>> DecodeStbPicture(TextureType kind, std::span<const std::uint8_t> bytes) {
  const Result<CheckedPicture> checked = kind == TextureType::kPng   ? CheckPngPicture(bytes)
                                         : kind == TextureType::kTga ? CheckTgaPicture(bytes)
                                                                     : CheckBmpPicture(bytes);
  if (!checked) return Failure{checked.error()};
  // stb_image counts the bytes it reads in an int.
  if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    return CannotDecodePicture("file is over 2 GiB");
  }

  // stb_image does not set a reason on every failure (its inflater's reserved block type sets
  // none): cleared first, a reason left by an earlier picture on this thread is never reported
  // for this one.
  stbi__g_failure_reason = nullptr;
  int width = 0;
  int height = 0;
  int channels = 0;
  const std::unique_ptr<stbi_uc, StbFree> decoded(
      stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 4));
  if (decoded == nullptr) {
    const char* const reason = stbi_failure_reason();
    if (reason != nullptr && std::string_view(reason) == "outofmem") throw std::bad_alloc();
    return CannotDecodePicture(reason != nullptr ? reason : "corrupt data");
  }
  // The checks and stb_image read the size from the same bytes; the copy below relies on their
  // agreeing.
  const std::uint32_t w = checked->width;
  const std::uint32_t h = checked->height;
  if (static_cast<std::uint32_t>(width) != w || static_cast<std::uint32_t>(height) != h) {
    return CannotDecodePicture("decoded size differs from the header's");
  }

  std::unique_ptr<Texture> texture = NewPictureTexture(kind, w, h);
  const std::size_t row_bytes = std::size_t{w} * 4;
  for (std::size_t y = 0; y < h; ++y) {
    const stbi_uc* const from = decoded.get() + y * row_bytes;
    std::uint8_t* const to = texture->pixels.data() + y * row_bytes;
    if (!checked->mirrored) {
      std::memcpy(to, from, row_bytes);
      continue;
    }
    for (std::size_t x = 0; x < w; ++x) std::memcpy(to + 4 * x, from + 4 * (w - 1 - x), 4);
  }
  return texture;
}

}  // namespace tarnvick
