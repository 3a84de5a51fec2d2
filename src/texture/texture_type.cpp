#include "texture/texture_type.h"

#include <cstddef>
#include <utility>

namespace tarnvick {
namespace {

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

}  // namespace

TextureType LookupTextureType(std::string_view text) {
  const std::size_t dot = text.rfind('.');
  if (dot == std::string_view::npos) return TextureType::kNone;
  const std::string_view extension = text.substr(dot + 1);
  for (std::size_t code = 0; code < ExtensionTable.size(); ++code) {
    if (EqualsIgnoringCase(extension, ExtensionTable[code])) return static_cast<TextureType>(code);
  }
  return TextureType::kNone;
}

bool IsPictureType(TextureType type) {
  return type == TextureType::kPng || type == TextureType::kTga || type == TextureType::kBmp || type == TextureType::kPcx;
}

std::optional<TextureType> PictureKindOf(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  const std::string_view extension = name.substr(dot + 1);
  for (const auto& [text, kind] : {std::pair{"PNG", TextureType::kPng}, {"TGA", TextureType::kTga},
                                   {"BMP", TextureType::kBmp}, {"PCX", TextureType::kPcx}}) {
    if (EqualsIgnoringCase(extension, text)) return kind;
  }
  return std::nullopt;
}

bool IsSourceName(std::string_view name, bool pictures) {
  const TextureType type = LookupTextureType(name);
  return type == TextureType::kM8 || type == TextureType::kM32 || (pictures && PictureKindOf(name));
}

}  // namespace tarnvick
