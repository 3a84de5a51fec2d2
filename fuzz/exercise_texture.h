// What the fuzz targets do with a texture that parsed: what the program does with it, through
// the same functions: count its colours and convert it to a WAL.
#pragma once

#include "convert/convert_texture.h"
#include "palette/count_colors.h"
#include "texture/texture.h"

namespace tarnvick {

inline void ExerciseTexture(const Texture& texture) {
  ColorHistogram histogram;
  (void)CountColors(texture, histogram);
  // One matcher for the whole fuzzing run, as for a whole conversion walk.
  static ColorMatcher matcher([] {
    Palette palette{};
    for (std::size_t i = 0; i < palette.size(); ++i) palette[i] = static_cast<std::uint8_t>(i * 37);
    return palette;
  }());
  Result<WalTexture> wal = ConvertTexture(texture, matcher);
  if (wal) (void)wal->EncodeHeader();
}

}  // namespace tarnvick
