#include "support/reference_run.h"

#include <algorithm>
#include <cstdio>

#include "convert/convert_texture.h"
#include "support/colour_tally.h"
#include "support/library_textures.h"
#include "support/reference_nearest.h"

namespace tarnvick::testing {
namespace {

Palette Generate(const ReferenceOptions& options) {
  ColourTally tally;
  ForEachTexture(options.start_directory, options.recurse, [&](const Texture& texture, const SourceFile&) {
    const std::size_t step = texture.bits_per_pixel / 8;
    const std::size_t extent = texture.byte_extent > 0 ? static_cast<std::size_t>(texture.byte_extent) : 0;
    for (std::size_t i = 0; i * step < extent && i * step < texture.pixels.size(); ++i) tally.Add(texture.Colour(i));
  });
  const std::vector<std::uint8_t> bytes = tally.Palette();
  Palette palette{};
  std::copy(bytes.begin(), bytes.end(), palette.begin());
  return palette;
}

void Convert(const Texture& texture, const SourceFile& file, const Palette& palette) {
  WalTexture wal;
  std::copy_n(texture.name.begin(), 32, wal.name.begin());
  std::copy_n(texture.animation_name.begin(), 32, wal.animation_name.begin());
  wal.width = texture.width[0];
  wal.height = texture.height[0];
  wal.flags = texture.flags;
  wal.contents = texture.contents;
  wal.value = texture.value;
  std::uint64_t total = 0;
  for (int level = 0; level < 4; ++level) total += wal.LevelSize(level);
  const std::size_t step = texture.bits_per_pixel / 8;
  if (texture.height[3] == 0 || total * step > texture.pixels.size() || wal.LevelSize(3) == 0) return;
  wal.pixels.resize(total);
  LastMatch cache;
  for (std::size_t i = 0; i < total; ++i) wal.pixels[i] = NearestIndex(palette, texture.Colour(i), cache);
  const auto header = wal.EncodeHeader();
  const std::string path = WalPathFor(file.path);
  std::FILE* out = std::fopen(path.c_str(), "w+b");
  if (out == nullptr) return;
  std::fwrite(header->data(), 1, header->size(), out);
  std::fwrite(wal.pixels.data(), 1, wal.pixels.size(), out);
  std::fclose(out);
}

}  // namespace

bool ReferenceRun(const ReferenceOptions& options) {
  Palette palette{};
  if (options.generate) {
    palette = Generate(options);
    std::FILE* out = std::fopen(options.palette_path.c_str(), "wb");
    if (out == nullptr) return false;
    std::fwrite(palette.data(), 1, palette.size(), out);
    std::fclose(out);
  } else {
    std::FILE* in = std::fopen(options.palette_path.c_str(), "rb");
    if (in == nullptr) return false;
    const std::size_t got = std::fread(palette.data(), 1, palette.size(), in);
    std::fclose(in);
    if (got == 0) return false;
  }
  ForEachTexture(options.start_directory, options.recurse,
                 [&](const Texture& texture, const SourceFile& file) { Convert(texture, file, palette); });
  return true;
}

}  // namespace tarnvick::testing
