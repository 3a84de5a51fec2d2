// Texture type codes and the extension table that maps file extensions to them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tarnvick {

enum class TextureType : std::uint8_t {
  kTex = 0,
  kBmp = 1,
  kTga = 2,
  kPcx = 3,
  kM8 = 4,
  kM32 = 5,
  kWal = 6,
  kNone = 7,  // no extension, or one that is not in the table
  kPng = 8,   // a PNG picture: found by PictureKindOf, not in the table
};

// The first seven type codes index this table.
inline constexpr std::array<std::string_view, 7> ExtensionTable = {"TEX", "BMP", "TGA", "PCX",
                                                                   "M8",  "M32", "WAL"};

// The type of the text after the last "." of `text`, compared with the table without regard
// to case; kNone when there is no "." or no entry matches.
TextureType LookupTextureType(std::string_view text);

// Whether `type` is a picture's (PNG, TGA, BMP or PCX).
bool IsPictureType(TextureType type);

// kPng, kTga, kBmp or kPcx by the extension of `name` (the text after its last "."), in any
// case; none for any other name.
std::optional<TextureType> PictureKindOf(std::string_view name);

// Whether `name` is a source's a run reads: an M8 or M32 file, or with `pictures` a picture.
bool IsSourceName(std::string_view name, bool pictures);

}  // namespace tarnvick
