// Converting one loaded M8 or M32 texture into its WAL, in memory, against the shared palette.
#pragma once

#include <string>

#include "convert/dither.h"
#include "io/error.h"
#include "palette/color_matcher.h"
#include "palette/nearest_table.h"
#include "texture/texture.h"
#include "texture/wal_texture.h"

namespace tarnvick {

// `path` with everything after its last "." replaced by `extension` ("." and `extension` appended
// when there is no ".").
std::string ReplaceExtension(const std::string& path, const std::string& extension);

// The WAL path for a source path: its extension replaced by "wal".
std::string WalPathFor(const std::string& source_path);

// Which of a source's name fields were too long for a WAL's: with no zero byte among their first
// 32 bytes, they are cut to 31 bytes and a zero.
struct NameCuts {
  bool name = false;
  bool animation_name = false;
};

// The WAL of `texture`: name, animation name, level-0 size, flags, contents and value copied
// (each name field ending in a zero byte; `cuts`, when given, tells which were cut), its first
// four mip levels mapped by `matcher`. Fails with kNotATexture for a texture that is
// neither M8 nor M32, kNoFourthLevel when its level-3 height is 0 (or it has no level 3), kTooFewPixels when its pixels
// do not cover the four levels, kEmptyFourthLevel when level 3 of the WAL would hold no pixel
// (width or height below 8), kOutOfMemory. With `transparent`, M32 pixels whose fourth byte is
// below 128 become the transparent index (the matcher must never choose it). With a `dither`
// method, each level is dithered from its own colours (M8 ones through their palette too). A
// `nearest` table of `matcher`'s entries, when given, maps undithered M32 pixels faster.
Result<WalTexture> ConvertTexture(const Texture& texture, const ColorMatcher& matcher, bool transparent = false,
                                  NameCuts* cuts = nullptr, Dither dither = Dither::kNone,
                                  const NearestTable* nearest = nullptr);

}  // namespace tarnvick
