#include "support/reference_run.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "convert/convert_texture.h"
#include "support/ranked_colors.h"
#include "support/reference_nearest.h"
#include "texture/create_texture.h"
#include "texture/m32_texture.h"
#include "texture/m8_texture.h"
#include "walk/walk_directory.h"

namespace tarnvick::testing {
namespace {

using KeyTree = PooledTree<std::uint32_t, PixelCount, std::less<std::uint32_t>, true>;

// The colour bytes of pixel `i`: through the index colours for 8-bit pixels.
const std::uint8_t* PixelAt(const Texture& texture, std::size_t i) {
  if (texture.IndexColours() != nullptr) return texture.IndexColours() + 3 * texture.pixels[i];
  return texture.pixels.data() + i * (texture.bits_per_pixel / 8);
}

void ForEachSource(const ReferenceOptions& options, const std::function<void(const Texture&, const SourceFile&)>& action) {
  WalkDirectory(options.start_directory, options.recurse,
                {.entered = [](const std::string&) {},
                 .unreadable = [](const std::string&, const Error&) {},
                 .file = [&](const SourceFile& file) {
                   const Result<std::unique_ptr<Texture>> texture = CreateTexture(file.ref);
                   if (texture) action(**texture, file);
                 }});
}

Palette Generate(const ReferenceOptions& options) {
  KeyTree histogram;
  ForEachSource(options, [&](const Texture& texture, const SourceFile&) {
    const std::size_t step = texture.IndexColours() != nullptr ? 1 : texture.bits_per_pixel / 8;
    const std::size_t extent = texture.byte_extent > 0 ? static_cast<std::size_t>(texture.byte_extent) : 0;
    for (std::size_t i = 0; i * step < extent && i * step < texture.pixels.size(); ++i) {
      const std::uint8_t* rgb = PixelAt(texture, i);
      const std::uint32_t key = rgb[0] | rgb[1] << 8 | rgb[2] << 16;
      KeyTree::Node* node = histogram.Find(key);
      if (node == nullptr) node = histogram.Insert(key, 0);
      ++node->value;
    }
  });
  RankedColors ranked;
  for (const auto* node = histogram.Minimum(); node != nullptr; node = histogram.Next(node)) {
    const std::uint32_t key = node->key;
    ranked.Insert({node->value, key}, {static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(key >> 8),
                                       static_cast<std::uint8_t>(key >> 16), 0});
  }
  return SelectPalette(ranked);
}

// The WAL fields of a source and its level-3 height.
template <typename Source>
std::uint32_t Fields(const Source& source, WalTexture& wal) {
  std::copy_n(source.name.begin(), 32, wal.name.begin());
  std::copy_n(source.animation_name.begin(), 32, wal.animation_name.begin());
  wal.width = source.width[0];
  wal.height = source.height[0];
  wal.flags = source.flags;
  wal.contents = source.contents;
  wal.value = source.value;
  return source.height[3];
}

void Convert(const Texture& texture, const SourceFile& file, const Palette& palette) {
  WalTexture wal;
  const std::uint32_t level3 = texture.type == TextureType::kM8 ? Fields(static_cast<const M8Texture&>(texture), wal)
                                                                : Fields(static_cast<const M32Texture&>(texture), wal);
  std::uint64_t total = 0;
  for (int level = 0; level < 4; ++level) total += wal.LevelSize(level);
  const std::size_t step = texture.IndexColours() != nullptr ? 1 : texture.bits_per_pixel / 8;
  if (level3 == 0 || total * step > texture.pixels.size() || wal.LevelSize(3) == 0) return;
  wal.pixels.resize(total);
  LastMatch cache;
  for (std::size_t i = 0; i < total; ++i) wal.pixels[i] = NearestIndex(palette, PixelAt(texture, i), cache);
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
  ForEachSource(options, [&](const Texture& texture, const SourceFile& file) { Convert(texture, file, palette); });
  return true;
}

}  // namespace tarnvick::testing
