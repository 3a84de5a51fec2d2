#include "texture/create_texture.h"

#include "io/read_file.h"
#include "texture/m32_texture.h"
#include "texture/m8_texture.h"

namespace tarnvick {
namespace {

template <typename Format>
Result<std::unique_ptr<Texture>> Load(const std::string& path, std::size_t header_bytes) {
  const Result<std::vector<std::uint8_t>> bytes =
      ReadSizedFile(path, header_bytes, &Format::RequiredFileSize);
  if (!bytes) return Failure{bytes.error()};
  auto texture = std::make_unique<Format>();
  if (Result<void> parsed = texture->Parse(*bytes); !parsed) return Failure{parsed.error()};
  return texture;
}

}  // namespace

Result<std::unique_ptr<Texture>> CreateTexture(const std::string& path) {
  switch (LookupTextureType(path)) {
    case TextureType::kM8:
      return Load<M8Texture>(path, M8Texture::kLongestHeader);
    case TextureType::kM32:
      return Load<M32Texture>(path, M32Texture::kHeaderSize);
    default:
      return Fail(ErrorKind::kNotATexture);
  }
}

}  // namespace tarnvick
