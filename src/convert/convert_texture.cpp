#include "convert/convert_texture.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "convert/quantize_mips.h"
#include "texture/m32_texture.h"
#include "texture/m8_texture.h"

namespace tarnvick {
namespace {

// Width and height of each of a WAL's four levels.
using LevelSizes = std::array<std::pair<std::uint32_t, std::uint32_t>, WalTexture::kLevels>;

// Copies a name field into a WAL's, as it is when it holds a zero byte, else cut to end in one;
// true when it was cut.
template <std::size_t kSource>
bool CopyName(const std::array<std::uint8_t, kSource>& source, std::array<std::uint8_t, 32>& target) {
  std::copy_n(source.begin(), target.size(), target.begin());
  if (std::find(target.begin(), target.end(), 0) != target.end()) return false;
  target.back() = 0;
  return true;
}

// Copies the fields a WAL takes from its source; returns the sizes the source declares for the
// four levels a WAL holds.
template <typename Source>
LevelSizes CopyFields(const Source& source, WalTexture& wal, NameCuts& cuts) {
  cuts.name = CopyName(source.name, wal.name);
  cuts.animation_name = CopyName(source.animation_name, wal.animation_name);
  wal.width = source.width[0];
  wal.height = source.height[0];
  wal.flags = source.flags;
  wal.contents = source.contents;
  wal.value = source.value;
  LevelSizes sizes;
  for (int level = 0; level < WalTexture::kLevels; ++level) {
    sizes[level] = {source.width[level], source.height[level]};
  }
  return sizes;
}

// The levels are cut from the pixel data as each level's half of the one before: a source that
// declares other sizes is refused rather than converted from the wrong pixels.
Result<void> CheckMipChain(const LevelSizes& sizes) {
  for (int level = 1; level < WalTexture::kLevels; ++level) {
    const std::uint32_t width = sizes[0].first >> level;
    const std::uint32_t height = sizes[0].second >> level;
    if (sizes[level] != std::pair{width, height}) {
      return Fail(ErrorKind::kMipLevelMismatch,
                  "mip level " + std::to_string(level) + " is " + std::to_string(sizes[level].first) + "x" +
                      std::to_string(sizes[level].second) + ", expected " + std::to_string(width) + "x" +
                      std::to_string(height));
    }
  }
  return {};
}

}  // namespace

std::string WalPathFor(const std::string& source_path) {
  const std::size_t dot = source_path.rfind('.');
  if (dot == std::string::npos) return source_path + ".wal";
  return source_path.substr(0, dot + 1) + "wal";
}

Result<WalTexture> ConvertTexture(const Texture& texture, const ColorMatcher& matcher, bool transparent, NameCuts* cuts,
                                  Dither dither) {
  WalTexture wal;
  NameCuts own_cuts;
  NameCuts& cut = cuts != nullptr ? *cuts : own_cuts;
  LevelSizes sizes;
  if (texture.type == TextureType::kM8) {
    sizes = CopyFields(static_cast<const M8Texture&>(texture), wal, cut);
  } else if (texture.type == TextureType::kM32) {
    sizes = CopyFields(static_cast<const M32Texture&>(texture), wal, cut);
  } else {
    return Fail(ErrorKind::kNotATexture);
  }
  if (sizes[3].second == 0) return Fail(ErrorKind::kNoFourthLevel);
  if (wal.LevelSize(WalTexture::kLevels - 1) == 0) return Fail(ErrorKind::kEmptyFourthLevel);
  if (Result<void> chain = CheckMipChain(sizes); !chain) return Failure{chain.error()};
  Result<std::vector<std::uint8_t>> indices =
      QuantizeMips(texture.pixels, wal.width, wal.height, WalTexture::kLevels,
                   texture.bits_per_pixel / 8, matcher, texture.IndexColours(), transparent, dither);
  if (!indices) return Failure{indices.error()};
  wal.pixels = std::move(*indices);
  return wal;
}

}  // namespace tarnvick
