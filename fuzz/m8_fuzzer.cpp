// Fuzz target: the M8 reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "exercise_texture.h"
#include "texture/m8_texture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarnvick::M8Texture texture;
  if (texture.Parse({data, size})) tarnvick::ExerciseTexture(texture);
  return 0;
}
