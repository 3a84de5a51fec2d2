#include "texture/create_texture.h"

#include "texture/m32_texture.h"
#include "texture/m8_texture.h"

namespace tarnvick {

std::unique_ptr<Texture> CreateTexture(const std::string& path, std::string* error) {
  std::unique_ptr<Texture> texture;
  switch (LookupTextureType(path)) {
    case TextureType::kM8:
      texture = std::make_unique<M8Texture>();
      break;
    case TextureType::kM32:
      texture = std::make_unique<M32Texture>();
      break;
    default:
      if (error != nullptr) *error = "not an M8 or M32 file";
      return nullptr;
  }
  if (texture->Load(path)) return texture;
  if (error != nullptr) *error = texture->load_error();
  return nullptr;
}

}  // namespace tarnvick
