#include "convert/conversion_error.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tarnvick {

bool LargerMeanError(const ConversionError& a, const ConversionError& b) {
  return static_cast<unsigned __int128>(a.squared) * b.values > static_cast<unsigned __int128>(b.squared) * a.values;
}

bool LargerBlurredError(const ConversionError& a, const ConversionError& b) {
  return a.blurred * static_cast<double>(b.values) > b.blurred * static_cast<double>(a.values);
}

void BlurWrapped(std::vector<double>& values, std::uint32_t width, std::uint32_t height) {
  constexpr int kReach = 3;
  std::array<double, 2 * kReach + 1> weights{};
  double sum = 0;
  for (int i = -kReach; i <= kReach; ++i) sum += weights[i + kReach] = std::exp(-0.5 * i * i);
  for (double& weight : weights) weight /= sum;
  // One pass along lines of `count` values `step` apart; `lines` of them, `next` apart.
  const auto pass = [&](std::size_t count, std::size_t step, std::size_t lines, std::size_t next) {
    std::vector<double> line(count);
    for (std::size_t l = 0; l < lines; ++l) {
      double* first = values.data() + l * next;
      for (std::size_t i = 0; i < count; ++i) line[i] = first[i * step];
      for (std::size_t i = 0; i < count; ++i) {
        double blurred = 0;
        for (int k = -kReach; k <= kReach; ++k) {
          const std::int64_t at = (static_cast<std::int64_t>(i) + k) % static_cast<std::int64_t>(count);
          blurred += weights[k + kReach] * line[static_cast<std::size_t>(at < 0 ? at + static_cast<std::int64_t>(count) : at)];
        }
        first[i * step] = blurred;
      }
    }
  };
  pass(width, 1, height, width);
  pass(height, width, width, 1);
}

namespace {

// How many level-0 pixels both `source` and `wal` hold.
std::size_t Level0Pixels(const Texture& source, const WalTexture& wal) {
  const std::size_t stride = source.bits_per_pixel / 8;
  return std::min({static_cast<std::size_t>(wal.LevelSize(0)), wal.pixels.size(), source.pixels.size() / stride});
}

}  // namespace

double MeasureBlurredError(const Texture& source, const WalTexture& wal, const Palette& palette, bool transparent) {
  const std::size_t pixels = Level0Pixels(source, wal);
  if (pixels < wal.LevelSize(0)) return 0;
  std::array<std::vector<double>, 3> difference;
  for (auto& channel : difference) channel.assign(pixels, 0.0);
  for (std::size_t i = 0; i < pixels; ++i) {
    if (transparent && wal.pixels[i] == kTransparentIndex) continue;
    const std::uint8_t* pixel = source.Colour(i);
    const std::uint8_t* entry = palette.data() + 3 * static_cast<std::size_t>(wal.pixels[i]);
    for (int c = 0; c < 3; ++c) difference[c][i] = static_cast<double>(pixel[c]) - entry[c];
  }
  double squared = 0;
  for (auto& channel : difference) {
    BlurWrapped(channel, wal.width, wal.height);
    for (std::size_t i = 0; i < pixels; ++i) {
      if (!(transparent && wal.pixels[i] == kTransparentIndex)) squared += channel[i] * channel[i];
    }
  }
  return squared;
}

ConversionError MeasureError(const Texture& source, const WalTexture& wal, const Palette& palette,
                             bool transparent) {
  ConversionError error;
  const std::size_t pixels = Level0Pixels(source, wal);
  for (std::size_t i = 0; i < pixels; ++i) {
    if (transparent && wal.pixels[i] == kTransparentIndex) continue;
    const std::uint8_t* pixel = source.Colour(i);
    const std::uint8_t* entry = palette.data() + 3 * static_cast<std::size_t>(wal.pixels[i]);
    for (int c = 0; c < 3; ++c) {
      const std::int32_t d = static_cast<std::int32_t>(pixel[c]) - entry[c];
      error.squared += static_cast<std::uint64_t>(d * d);
    }
    error.values += 3;
  }
  return error;
}

}  // namespace tarnvick
