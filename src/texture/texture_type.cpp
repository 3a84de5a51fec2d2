#include "texture/texture_type.h"

#include <cstddef>

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

bool IsPictureName(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view extension = name.substr(dot + 1);
  for (const std::string_view picture : {"PNG", "TGA", "BMP", "PCX"}) {
    if (EqualsIgnoringCase(extension, picture)) return true;
  }
  return false;
}

bool IsSourceName(std::string_view name, bool pictures) {
  const TextureType type = LookupTextureType(name);
  return type == TextureType::kM8 || type == TextureType::kM32 || (pictures && IsPictureName(name));
}

}  // namespace tarnvick
