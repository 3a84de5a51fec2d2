#include "texture/create_texture.h"

#include "io/read_file.h"
#include "texture/m32_texture.h"
#include "texture/m8_texture.h"
#include "texture/picture_decoder.h"
#include "texture/picture_texture.h"

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

// A picture's file never holds more than 8 bytes a pixel (16-bit RGBA stored as it is) and its
// headers, palette and chunks: a longer one is refused before it is read.
constexpr std::uint64_t kPictureOverhead = 1 << 20;

Result<std::unique_ptr<Texture>> LoadPicture(TextureType kind, const FileRef& file, const std::optional<FilePart>& part) {
  Result<FileContents> contents = ReadSizedFile(
      file, kPictureHeadBytes,
      [kind](std::span<const std::uint8_t> head, std::uint64_t size) -> Result<FileLayout> {
        const std::optional<PictureSize> declared = PictureSizeOf(kind, head);
        // Without a size, the first bytes alone tell the decoder what is wrong.
        if (!declared) return FileLayout{head.size(), 0};
        if (Result<void> rule = CheckPictureSize(declared->width, declared->height); !rule) return Failure{rule.error()};
        if (size > 8 * std::uint64_t{declared->width} * declared->height + kPictureOverhead) {
          return Fail(ErrorKind::kBadPicture, "cannot decode picture: the file is larger than a picture of its size");
        }
        return FileLayout{size, 0};
      },
      part);
  if (!contents) return Failure{contents.error()};
  return DecodePicture(kind, contents->body);
}

}  // namespace

Result<std::unique_ptr<Texture>> CreateTexture(const FileRef& file, const std::optional<FilePart>& part) {
  switch (LookupTextureType(file.name)) {
    case TextureType::kM8:
      return Load<M8Texture>(file, part, M8Texture::kLongestHeader);
    case TextureType::kM32:
      return Load<M32Texture>(file, part, M32Texture::kHeaderSize);
    default:
      if (const std::optional<TextureType> picture = PictureKindOf(file.name)) return LoadPicture(*picture, file, part);
      return Fail(ErrorKind::kNotATexture);
  }
}

}  // namespace tarnvick
