#include "convert/quantize_mips.h"

#include <array>
#include <cstdint>
#include <span>

namespace tarnvick {
namespace {

// Dithers each level from its own pixels, their colours read where they lie (through the
// texture's palette for indices).
void DitherLevels(const Texture& source, std::uint32_t width, std::uint32_t height, int levels, bool transparent,
                  const ColorMatcher& matcher, Dither dither, std::uint8_t* out) {
  const std::size_t stride = source.bits_per_pixel / 8;
  std::size_t first = 0;
  for (int level = 0; level < levels; ++level) {
    const std::uint32_t level_width = width >> level, level_height = height >> level;
    const std::size_t pixels = static_cast<std::size_t>(level_width) * level_height;
    const LevelPixels colours = {.pixels = std::span(source.pixels).subspan(stride * first, stride * pixels),
                                 .stride = stride,
                                 .palette = source.IndexColours(),
                                 .alpha = transparent};
    DitherLevel(colours, level_width, level_height, matcher, dither, out);
    out += pixels;
    first += pixels;
  }
}

}  // namespace

Result<std::vector<std::uint8_t>> QuantizeMips(const Texture& source, std::uint32_t width, std::uint32_t height,
                                               int levels, const ColorMatcher& matcher, bool transparent,
                                               Dither dither, const NearestTable* nearest) {
  std::uint64_t total = 0;
  for (int level = 0; level < levels && level < 32; ++level) {
    const std::uint64_t size = static_cast<std::uint64_t>(width >> level) * (height >> level);
    if (size > INT32_MAX) return Fail(ErrorKind::kTooFewPixels);
    total += size;
  }
  const std::uint8_t* index_colours = source.IndexColours();
  const int stride = source.bits_per_pixel / 8;
  const int needed_stride = index_colours != nullptr ? 1 : 3;
  if (stride < needed_stride || total > INT32_MAX ||
      total * static_cast<std::uint64_t>(stride) > source.pixels.size()) {
    return Fail(ErrorKind::kTooFewPixels);
  }
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(total));
  const std::uint8_t* pixels = source.pixels.data();
  transparent = transparent && stride == 4;
  if (dither != Dither::kNone) {
    DitherLevels(source, width, height, levels, transparent, matcher, dither, indices.data());
    return indices;
  }
  if (index_colours == nullptr) {
    if (nearest != nullptr) {
      nearest->Map(indices.data(), indices.size(), pixels, static_cast<std::size_t>(stride));
    } else {
      matcher.Map(indices.data(), indices.size(), pixels, static_cast<std::size_t>(stride));
    }
    if (transparent) {
      for (std::size_t i = 0; i < indices.size(); ++i) {
        if (pixels[4 * i + 3] < kOpaqueAlpha) indices[i] = kTransparentIndex;
      }
    }
    return indices;
  }
  // Each of the 256 source indices is matched once; the pixels follow their index.
  std::array<std::uint8_t, 256> of_index{};
  for (std::size_t i = 0; i < of_index.size(); ++i) of_index[i] = matcher.Nearest(index_colours + 3 * i);
  for (std::size_t i = 0; i < indices.size(); ++i) {
    indices[i] = of_index[pixels[i * static_cast<std::size_t>(stride)]];
  }
  return indices;
}

}  // namespace tarnvick
