#include "app/generate_palette.h"

#include "app/source_walk.h"
#include "palette/count_colors.h"
#include "palette/palette_file.h"
#include "palette/select_palette.h"
#include "texture/create_texture.h"

namespace tarnvick {

Result<Palette> GeneratePalette(const RunOptions& options, ColorHistogram& histogram,
                                RankedColors& ranked, Console& console) {
  console.Progress("generating optimal palette...");
  console.Progress("\n\tgathering palette data...");
  Result<void> counted;
  WalkSources(options, console, [&](const SourceFile& file) {
    if (!counted) return;
    // A file that does not load counts nothing (the conversion walk tells why), unless memory
    // ran out: then the palette cannot be made.
    const Result<std::unique_ptr<Texture>> texture = CreateTexture(file.ref);
    if (!texture) {
      if (texture.error().kind == ErrorKind::kOutOfMemory) counted = Fail(ErrorKind::kOutOfMemory, file.path);
      return;
    }
    if (!CountColors(**texture, histogram)) counted = Fail(ErrorKind::kOutOfMemory, file.path);
  });
  console.Progress("\n\tprocessing palette data...");
  if (!counted) return Failure{counted.error()};
  if (Result<void> ranking = RankColors(histogram, ranked); !ranking) {
    return Failure{ranking.error()};
  }
  const Palette palette = SelectPalette(ranked);
  console.Progress("\n\twriting palette data...");
  const Result<void> saved = SavePalette({AT_FDCWD, options.palette_path}, palette);
  console.Progress("\n\n");
  if (!saved) return Failure{saved.error()};
  return palette;
}

}  // namespace tarnvick
