#include "convert/convert_texture.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "convert/quantize_mips.h"

namespace tarnvick {
namespace {

constexpr std::size_t kLevels = WalTexture::kLevels;

// Copies a name field into a WAL's, as it is when it holds a zero byte, else cut to end in one;
// true when it was cut.
bool CopyName(const std::vector<std::uint8_t>& source, std::array<std::uint8_t, 32>& target) {
  std::copy_n(source.begin(), std::min(source.size(), target.size()), target.begin());
  if (std::find(target.begin(), target.end(), 0) != target.end()) return false;
  target.back() = 0;
  return true;
}

// The levels are cut from the pixel data as each level's half of the one before: a source that
// declares other sizes is refused rather than converted from the wrong pixels.
Result<void> CheckMipChain(const Texture& texture) {
  for (std::size_t level = 1; level < kLevels; ++level) {
    const std::uint32_t width = texture.width[0] >> level;
    const std::uint32_t height = texture.height[0] >> level;
    if (texture.width[level] != width || texture.height[level] != height) {
      return Fail(ErrorKind::kMipLevelMismatch,
                  "mip level " + std::to_string(level) + " is " + std::to_string(texture.width[level]) + "x" +
                      std::to_string(texture.height[level]) + ", expected " + std::to_string(width) + "x" +
                      std::to_string(height));
    }
  }
  return {};
}

}  // namespace

std::string ReplaceExtension(const std::string& path, const std::string& extension) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos) return path + "." + extension;
  return path.substr(0, dot + 1) + extension;
}

std::string WalPathFor(const std::string& source_path) { return ReplaceExtension(source_path, "wal"); }

Result<WalTexture> ConvertTexture(const Texture& texture, const ColorMatcher& matcher, bool transparent, NameCuts* cuts,
                                  Dither dither, const NearestTable* nearest) {
  if (texture.type != TextureType::kM8 && texture.type != TextureType::kM32 && !IsPictureType(texture.type)) {
    return Fail(ErrorKind::kNotATexture);
  }
  if (texture.width.size() < kLevels || texture.height.size() < kLevels || texture.height[3] == 0) {
    return Fail(ErrorKind::kNoFourthLevel);
  }
  WalTexture wal;
  NameCuts own_cuts;
  NameCuts& cut = cuts != nullptr ? *cuts : own_cuts;
  cut.name = CopyName(texture.name, wal.name);
  cut.animation_name = CopyName(texture.animation_name, wal.animation_name);
  wal.width = texture.width[0];
  wal.height = texture.height[0];
  wal.flags = texture.flags;
  wal.contents = texture.contents;
  wal.value = texture.value;
  if (wal.LevelSize(WalTexture::kLevels - 1) == 0) return Fail(ErrorKind::kEmptyFourthLevel);
  if (Result<void> chain = CheckMipChain(texture); !chain) return Failure{chain.error()};
  Result<std::vector<std::uint8_t>> indices =
      QuantizeMips(texture, wal.width, wal.height, WalTexture::kLevels, matcher, transparent, dither, nearest);
  if (!indices) return Failure{indices.error()};
  wal.pixels = std::move(*indices);
  return wal;
}

}  // namespace tarnvick
