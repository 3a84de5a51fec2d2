#include "convert/convert_texture.h"

#include <algorithm>
#include <memory>

#include "palette/nearest_color.h"
#include "texture/create_texture.h"
#include "texture/m32_texture.h"
#include "texture/m8_texture.h"
#include "texture/wal_texture.h"

namespace tarnvick {
namespace {

// Copies the fields a WAL takes from its source; returns the source's level-3 height, which
// tells whether the source has the four levels a WAL needs.
template <typename Source>
std::uint32_t CopyFields(const Source& source, WalTexture& wal) {
  std::copy_n(source.name.begin(), wal.name.size(), wal.name.begin());
  std::copy_n(source.animation_name.begin(), wal.animation_name.size(), wal.animation_name.begin());
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

bool ConvertTexture(const std::string& path, ColorMatcher& matcher, std::string& reason) {
  const std::unique_ptr<Texture> texture = CreateTexture(path, &reason);
  if (texture == nullptr) return false;

  WalTexture wal;
  std::uint32_t level3_height = 0;
  if (texture->type == TextureType::kM8) {
    level3_height = CopyFields(static_cast<const M8Texture&>(*texture), wal);
  } else if (texture->type == TextureType::kM32) {
    level3_height = CopyFields(static_cast<const M32Texture&>(*texture), wal);
  } else {
    reason = "not an M8 or M32 texture";
    return false;
  }
  if (level3_height == 0) {
    reason = "no fourth mip level";
    return false;
  }
  const int stride = texture->bits_per_pixel / 8;
  if (!QuantizeMips(texture->pixels.data(), texture->pixels.size(), wal.width, wal.height,
                    WalTexture::kLevels, stride, matcher, wal.pixels)) {
    reason = "too few pixels for four mip levels";
    return false;
  }
  std::string error;
  const std::string wal_path = WalPathFor(path);
  if (!wal.Save(wal_path, error)) {
    reason = "cannot write " + wal_path + ": " + error;
    return false;
  }
  return true;
}

}  // namespace tarnvick
