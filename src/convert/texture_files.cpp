#include "convert/texture_files.h"

#include "convert/quake2_flags.h"

namespace tarnvick {

Result<TextureFiles> MakeTextureFiles(const Texture& texture, const FileRecipe& recipe) {
  TextureFiles files;
  Result<WalTexture> wal = ConvertTexture(texture, recipe.matcher, recipe.transparent, &files.cuts, recipe.dither);
  if (!wal) return Failure{wal.error()};
  files.wal = std::move(*wal);
  if (recipe.quake2_flags) KeepQuake2Flags(files.wal, recipe.transparent);
  const auto header = files.wal.EncodeHeader();
  if (!header) return Failure{header.error()};
  files.wal_header = *header;
  if (recipe.picture != PictureForm::kNone) files.picture = EncodePicture(texture, recipe.picture, recipe.transparent);
  return files;
}

}  // namespace tarnvick
