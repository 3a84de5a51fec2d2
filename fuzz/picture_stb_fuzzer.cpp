// Fuzz target: the PNG, TGA and BMP decoding (the checks made before stb_image, and stb_image) on
// arbitrary bytes. The first byte chooses the format the rest is read as: its value modulo 3 gives
// PNG, TGA or BMP.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "texture/picture_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  constexpr tarnvick::TextureType kKinds[] = {tarnvick::TextureType::kPng, tarnvick::TextureType::kTga,
                                              tarnvick::TextureType::kBmp};
  const auto picture = tarnvick::DecodePicture(kKinds[data[0] % 3], {data + 1, size - 1});
  // A picture that decodes holds its one level whole.
  if (picture && (*picture)->pixels.size() != std::size_t{(*picture)->width[0]} * (*picture)->height[0] * 4) std::abort();
  return 0;
}
