#include "support/seam_figure.h"

#include <vector>

#include "convert/conversion_error.h"

namespace tarnvick::testing {

double SeamFigure(std::span<const std::uint8_t> source, std::span<const std::uint8_t> converted, std::uint32_t width,
                  std::uint32_t height) {
  const std::size_t tiled_width = 2 * std::size_t{width}, tiled_height = 2 * std::size_t{height};
  std::vector<double> squared(tiled_width * tiled_height, 0.0);
  for (std::size_t c = 0; c < 3; ++c) {
    std::vector<double> difference(squared.size());
    for (std::size_t y = 0; y < tiled_height; ++y) {
      for (std::size_t x = 0; x < tiled_width; ++x) {
        const std::size_t at = 3 * ((y % height) * width + x % width) + c;
        difference[y * tiled_width + x] = static_cast<double>(source[at]) - converted[at];
      }
    }
    BlurWrapped(difference, static_cast<std::uint32_t>(tiled_width), static_cast<std::uint32_t>(tiled_height));
    for (std::size_t i = 0; i < squared.size(); ++i) squared[i] += difference[i] * difference[i];
  }
  double band = 0, elsewhere = 0;
  std::size_t band_pixels = 0, elsewhere_pixels = 0;
  const auto near_seam = [](std::size_t at, std::size_t seam) { return at + 2 >= seam && at < seam + 2; };
  for (std::size_t y = height / 2; y < height / 2 + height; ++y) {
    for (std::size_t x = width / 2; x < width / 2 + width; ++x) {
      const double value = squared[y * tiled_width + x];
      if (near_seam(x, width) || near_seam(y, height)) {
        band += value;
        ++band_pixels;
      } else {
        elsewhere += value;
        ++elsewhere_pixels;
      }
    }
  }
  if (band == 0 && elsewhere == 0) return 1;
  return (band / static_cast<double>(band_pixels)) / (elsewhere / static_cast<double>(elsewhere_pixels));
}

}  // namespace tarnvick::testing
