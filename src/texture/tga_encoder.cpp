#include "texture/tga_encoder.h"

#include <cstddef>

namespace tarnvick {
namespace {

constexpr std::size_t kHeaderSize = 18;
constexpr std::uint32_t kLargestSide = 65535;

void PutLittleEndian16(std::uint8_t* at, std::uint32_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}

// Copies one row of `Step`-byte pixels, red and blue swapped.
template <std::size_t Step>
void SwapRedAndBlue(const std::uint8_t* from, std::uint8_t* to, std::size_t pixels) {
  for (std::size_t i = 0; i < pixels; ++i, from += Step, to += Step) {
    to[0] = from[2];
    to[1] = from[1];
    to[2] = from[0];
    if constexpr (Step == 4) to[3] = from[3];
  }
}

}  // namespace

Result<std::vector<std::uint8_t>> EncodeTga(const TgaImage& image) {
  if (image.width > kLargestSide || image.height > kLargestSide) {
    return Fail(ErrorKind::kCannotWrite, "a TGA picture holds at most 65535 x 65535 pixels");
  }
  const std::size_t step = image.alpha ? 4 : 3;
  const std::size_t row_bytes = step * image.width;
  std::vector<std::uint8_t> out(kHeaderSize + row_bytes * image.height);
  out[2] = 2;  // uncompressed true colour; no ID, no colour map
  PutLittleEndian16(&out[12], image.width);
  PutLittleEndian16(&out[14], image.height);
  out[16] = static_cast<std::uint8_t>(8 * step);
  out[17] = image.alpha ? 8 : 0;  // alpha bits; the origin at the lower left
  for (std::uint32_t y = 0; y < image.height; ++y) {
    const std::uint8_t* from = image.pixels.data() + row_bytes * (image.height - 1 - y);
    std::uint8_t* to = out.data() + kHeaderSize + row_bytes * y;
    image.alpha ? SwapRedAndBlue<4>(from, to, image.width) : SwapRedAndBlue<3>(from, to, image.width);
  }
  return out;
}

}  // namespace tarnvick
