#include "texture/create_texture.h"

#include "io/read_file.h"
#include "texture/m32_texture.h"
#include "texture/m8_texture.h"

namespace tarnvick {
namespace {

template <typename Format>
Result<std::unique_ptr<Texture>> Load(const FileRef& file, const std::optional<FilePart>& part, std::size_t header_bytes) {
  Result<FileContents> contents = ReadSizedFile(
      file, header_bytes, [](std::span<const std::uint8_t> head, std::uint64_t) { return Format::LayoutOf(head); }, part);
  if (!contents) return Failure{contents.error()};
  auto texture = std::make_unique<Format>();
  if (Result<void> parsed = texture->Adopt(contents->head, std::move(contents->body)); !parsed) {
    return Failure{parsed.error()};
  }
  return texture;
}

}  // namespace

Result<std::unique_ptr<Texture>> CreateTexture(const FileRef& file, const std::optional<FilePart>& part) {
  switch (LookupTextureType(file.name)) {
    case TextureType::kM8:
      return Load<M8Texture>(file, part, M8Texture::kLongestHeader);
    case TextureType::kM32:
      return Load<M32Texture>(file, part, M32Texture::kHeaderSize);
    default:
      return Fail(ErrorKind::kNotATexture);
  }
}

}  // namespace tarnvick
