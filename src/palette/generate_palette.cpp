#include "palette/generate_palette.h"

#include "palette/gather_colors.h"
#include "walk/report_error.h"

namespace tarnvick {
namespace {

// One ranked record per histogram entry; false when memory ran out.
bool RankColors(const ColorHistogram& histogram, RankedColors& ranked) {
  for (const auto* node = histogram.Minimum(); node != nullptr; node = histogram.Next(node)) {
    const std::uint32_t key = node->key;
    const std::array<std::uint8_t, 4> rgb = {static_cast<std::uint8_t>(key),
                                             static_cast<std::uint8_t>(key >> 8),
                                             static_cast<std::uint8_t>(key >> 16), 0};
    if (ranked.Insert(RankKey{node->value, key}, rgb) == nullptr) return false;
  }
  return true;
}

}  // namespace

void SelectPalette(const RankedColors& ranked, Palette& palette) {
  palette.fill(0);
  std::size_t entry = 0;
  for (const auto* node = ranked.Maximum(); node != nullptr && entry < kPaletteEntries;
       node = ranked.Previous(node), ++entry) {
    for (std::size_t i = 0; i < 3; ++i) palette[3 * entry + i] = node->value[i];
  }
}

bool GeneratePalette(const std::string& start_directory, const WalkOptions& options,
                     const std::string& palette_path, ColorHistogram& histogram,
                     RankedColors& ranked, Palette& palette, std::FILE* out, std::FILE* err) {
  std::fputs("generating optimal palette...", out);
  std::fputs("\n\tgathering palette data...", out);
  bool counted = true;
  WalkDirectory(
      start_directory, options,
      [&](const std::string& path) { counted = counted && GatherColors(path, histogram); }, out,
      err);
  std::fputs("\n\tprocessing palette data...", out);
  if (!counted || !RankColors(histogram, ranked)) {
    ReportError(out, err, "out of memory while counting colours");
    return false;
  }
  SelectPalette(ranked, palette);
  std::fputs("\n\twriting palette data...", out);
  std::string error;
  const bool saved = SavePalette(palette_path, palette, error);
  std::fputs("\n\n", out);
  if (!saved) {
    ReportError(out, err, "cannot write palette file: " + palette_path);
    return false;
  }
  return true;
}

}  // namespace tarnvick
