#include "texture/picture_decoder.h"

#include <array>
#include <cstddef>
#include <utility>

#include "texture/pcx_picture.h"
#include "texture/stb_picture.h"

namespace tarnvick {
namespace {

constexpr std::array<std::pair<std::string_view, TextureType>, 4> kPictureExtensions = {{
    {"png", TextureType::kPng},
    {"tga", TextureType::kTga},
    {"bmp", TextureType::kBmp},
    {"pcx", TextureType::kPcx},
}};

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::optional<TextureType> PictureKindOf(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || name.size() - dot - 1 != 3) return std::nullopt;
  const std::array<char, 3> extension = {AsciiLower(name[dot + 1]), AsciiLower(name[dot + 2]), AsciiLower(name[dot + 3])};
  for (const auto& [text, kind] : kPictureExtensions) {
    if (std::string_view(extension.data(), extension.size()) == text) return kind;
  }
  return std::nullopt;
}

Result<std::unique_ptr<Texture>> DecodePicture(TextureType kind, std::span<const std::uint8_t> bytes) {
  switch (kind) {
    case TextureType::kPng:
    case TextureType::kTga:
    case TextureType::kBmp:
      return DecodeStbPicture(kind, bytes);
    case TextureType::kPcx:
      return DecodePcxPicture(bytes);
    default:
      return Fail(ErrorKind::kNotATexture);
  }
}

}  // namespace tarnvick
