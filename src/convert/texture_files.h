// The files one source texture gives, made in memory: its WAL and, when one is asked for, the
// true-colour picture that goes beside it, for the caller to write as files or store elsewhere.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "convert/convert_texture.h"
#include "convert/true_colour_picture.h"
#include "texture/wal_json.h"

namespace tarnvick {

// How the files of every source of a run are made.
struct FileRecipe {
  const ColorMatcher& matcher;
  bool transparent = false;
  Dither dither = Dither::kNone;
  bool quake2_flags = false;  // the flags and contents cut to Quake 2's bits
  PictureForm picture = PictureForm::kNone;
  const NearestTable* nearest = nullptr;  // `matcher`'s entries looked up, when there is a table
};

struct TextureFiles {
  WalTexture wal;
  std::array<std::uint8_t, WalTexture::kHeaderSize> wal_header{};  // the WAL file: this, then wal.LevelData()
  NameCuts cuts;
  // The picture file; empty without a picture form. Its failure leaves the WAL to be written.
  Result<std::vector<std::uint8_t>> picture = std::vector<std::uint8_t>{};
};

// The files of `texture` as `recipe` says, the WAL's header fields that `metadata` names (when
// given) set last. Fails as ConvertTexture does, or when the WAL's header cannot be made.
Result<TextureFiles> MakeTextureFiles(const Texture& texture, const FileRecipe& recipe,
                                      const WalMetadata* metadata = nullptr);

}  // namespace tarnvick
