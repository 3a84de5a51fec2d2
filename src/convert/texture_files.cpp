#include "convert/texture_files.h"

#include <algorithm>

#include "convert/quake2_flags.h"

namespace tarnvick {

Result<TextureFiles> MakeTextureFiles(const Texture& texture, const FileRecipe& recipe, const WalMetadata* metadata) {
  TextureFiles files;
  Result<WalTexture> wal = ConvertTexture(texture, recipe.matcher, recipe.transparent, &files.cuts, recipe.dither,
                                          recipe.nearest);
  if (!wal) return Failure{wal.error()};
  files.wal = std::move(*wal);
  if (recipe.quake2_flags) KeepQuake2Flags(files.wal, recipe.transparent);
  if (metadata != nullptr) {
    files.wal.flags = metadata->flags.value_or(files.wal.flags);
    files.wal.contents = metadata->contents.value_or(files.wal.contents);
    files.wal.value = metadata->value.value_or(files.wal.value);
    if (metadata->animation) {
      files.wal.animation_name.fill(0);
      std::copy_n(metadata->animation->begin(), std::min<std::size_t>(metadata->animation->size(), 31),
                  files.wal.animation_name.begin());
      files.cuts.animation_name = false;
    }
  }
  const auto header = files.wal.EncodeHeader();
  if (!header) return Failure{header.error()};
  files.wal_header = *header;
  if (recipe.picture != PictureForm::kNone) files.picture = EncodePicture(texture, recipe.picture, recipe.transparent);
  return files;
}

}  // namespace tarnvick
