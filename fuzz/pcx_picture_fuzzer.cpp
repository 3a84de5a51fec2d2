// Fuzz target: the PCX picture reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "texture/picture_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto picture = tarnvick::DecodePicture(tarnvick::TextureType::kPcx, {data, size});
  // A picture that decodes holds its one level whole.
  if (picture && (*picture)->pixels.size() != std::size_t{(*picture)->width[0]} * (*picture)->height[0] * 4) std::abort();
  return 0;
}
