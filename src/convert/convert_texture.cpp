#include "convert/convert_texture.h"

#include <algorithm>
#include <array>

#include "convert/quantize_mips.h"
#include "texture/m32_texture.h"
#include "texture/m8_texture.h"

namespace tarnvick {
namespace {

// Copies a name field into a WAL's, as it is when it holds a zero byte, else cut to end in one;
// true when it was cut.
template <std::size_t kSource>
bool CopyName(const std::array<std::uint8_t, kSource>& source, std::array<std::uint8_t, 32>& target) {
  std::copy_n(source.begin(), target.size(), target.begin());
  if (std::find(target.begin(), target.end(), 0) != target.end()) return false;
  target.back() = 0;
  return true;
}

// Copies the fields a WAL takes from its source; returns the source's level-3 height, which
// tells whether the source has the four levels a WAL needs.
template <typename Source>
std::uint32_t CopyFields(const Source& source, WalTexture& wal, NameCuts& cuts) {
  cuts.name = CopyName(source.name, wal.name);
  cuts.animation_name = CopyName(source.animation_name, wal.animation_name);
  wal.width = source.width[0];
  wal.height = source.height[0];
  wal.flags = source.flags;
  wal.contents = source.contents;
  wal.value = source.value;
  return source.height[3];
}

}  // namespace

std::string WalPathFor(const std::string& source_path) {
  const std::size_t dot = source_path.rfind('.');
  if (dot == std::string::npos) return source_path + ".wal";
  return source_path.substr(0, dot + 1) + "wal";
}

Result<WalTexture> ConvertTexture(const Texture& texture, const ColorMatcher& matcher, NameCuts* cuts) {
  WalTexture wal;
  NameCuts own_cuts;
  NameCuts& cut = cuts != nullptr ? *cuts : own_cuts;
  std::uint32_t level3_height = 0;
  if (texture.type == TextureType::kM8) {
    level3_height = CopyFields(static_cast<const M8Texture&>(texture), wal, cut);
  } else if (texture.type == TextureType::kM32) {
    level3_height = CopyFields(static_cast<const M32Texture&>(texture), wal, cut);
  } else {
    return Fail(ErrorKind::kNotATexture);
  }
  if (level3_height == 0) return Fail(ErrorKind::kNoFourthLevel);
  Result<std::vector<std::uint8_t>> indices =
      QuantizeMips(texture.pixels, wal.width, wal.height, WalTexture::kLevels,
                   texture.bits_per_pixel / 8, matcher, texture.IndexColours());
  if (!indices) return Failure{indices.error()};
  if (wal.LevelSize(WalTexture::kLevels - 1) == 0) return Fail(ErrorKind::kEmptyFourthLevel);
  wal.pixels = std::move(*indices);
  return wal;
}

}  // namespace tarnvick
