// The pictures of the README's Dithering section: a smooth gradient and a noisy texture, each
// repeating seamlessly, mapped to the ramp palette without dithering, with --dither and with
// --dither=diffusion, each tiled 2 x 2 and drawn at twice the size, so that a seam shows as a
// line through the middle. Writes DIRECTORY/dither-TEXTURE-METHOD.png (and the sources).
// Usage: tarnvick_dither_pictures DIRECTORY
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "convert/quantize_mips.h"
#include "support/ramp_palette.h"
#include "texture/png_encoder.h"

namespace {

constexpr std::uint32_t kSide = 64;  // of each texture
constexpr std::uint32_t kScale = 2;  // drawn size of a pixel

// A texture of kSide x kSide 4-byte pixels whose colour is `colour(x, y)`.
template <typename ColourOf>
std::vector<std::uint8_t> Pixels(ColourOf colour) {
  std::vector<std::uint8_t> pixels;
  for (std::uint32_t y = 0; y < kSide; ++y) {
    for (std::uint32_t x = 0; x < kSide; ++x) {
      const std::array<double, 3> rgb = colour(2 * M_PI * x / kSide, 2 * M_PI * y / kSide, x, y);
      for (const double value : rgb) pixels.push_back(static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L)));
      pixels.push_back(255);
    }
  }
  return pixels;
}

// `image` (kSide x kSide, `channels` bytes a pixel) tiled 2 x 2 and scaled by kScale.
std::vector<std::uint8_t> Tiled(const std::vector<std::uint8_t>& image, std::size_t channels, std::size_t stride) {
  const std::uint32_t side = 2 * kSide * kScale;
  std::vector<std::uint8_t> out;
  for (std::uint32_t y = 0; y < side; ++y) {
    for (std::uint32_t x = 0; x < side; ++x) {
      const std::size_t at = stride * ((y / kScale % kSide) * kSide + x / kScale % kSide);
      out.insert(out.end(), image.begin() + static_cast<std::ptrdiff_t>(at),
                 image.begin() + static_cast<std::ptrdiff_t>(at + channels));
    }
  }
  return out;
}

bool Write(const std::filesystem::path& path, const tarnvick::PngImage& image) {
  const auto png = tarnvick::EncodePng(image);
  if (!png) return false;
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(png->data()), static_cast<std::streamsize>(png->size()));
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: tarnvick_dither_pictures DIRECTORY\n", stderr);
    return 2;
  }
  const std::filesystem::path directory = argv[1];
  const tarnvick::Palette palette = tarnvick::testing::RampPalette();
  const tarnvick::ColorMatcher matcher(palette);
  std::uint32_t seed = 12345;
  const auto noise = [&] {
    seed = seed * 1664525 + 1013904223;
    return static_cast<double>(seed >> 8) / (1 << 24) - 0.5;
  };
  const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> textures = {
      {"gradient", Pixels([](double u, double v, std::uint32_t, std::uint32_t) {
         return std::array<double, 3>{125 + 45 * std::cos(u), 105 + 30 * std::sin(v), 85 + 30 * std::cos(u + v)};
       })},
      {"noisy", Pixels([&](double u, double v, std::uint32_t, std::uint32_t) {
         const double stone = 20 * std::sin(2 * u + std::cos(v)) + 15 * std::cos(3 * v + std::sin(u));
         const double grain = 40 * noise();
         return std::array<double, 3>{130 + stone + grain, 105 + stone + grain, 80 + 0.5 * stone + grain};
       })}};
  const std::uint32_t side = 2 * kSide * kScale;
  for (const auto& [name, pixels] : textures) {
    tarnvick::Texture texture;
    texture.bits_per_pixel = 32;
    texture.pixels = pixels;
    const std::vector<std::uint8_t> source = Tiled(pixels, 3, 4);
    if (!Write(directory / ("dither-" + name + "-source.png"), {side, side, source, {}})) return 1;
    for (const auto& [method, dither] : {std::pair{"none", tarnvick::Dither::kNone},
                                         {"tiled", tarnvick::Dither::kTiled},
                                         {"diffusion", tarnvick::Dither::kDiffusion}}) {
      const auto indices = tarnvick::QuantizeMips(texture, kSide, kSide, 1, matcher, false, dither);
      if (!indices) return 1;
      const std::vector<std::uint8_t> tiled = Tiled(*indices, 1, 1);
      if (!Write(directory / ("dither-" + name + "-" + method + ".png"), {side, side, tiled, palette})) return 1;
    }
  }
  return 0;
}
