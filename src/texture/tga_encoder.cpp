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
    std::uint8_t* row = out.data() + kHeaderSize + row_bytes * (image.height - 1 - y);
    image.rows(y, row);
  }
  return out;
}

}  // namespace tarnvick
