#include "convert/dither.h"

#include <algorithm>
#include <array>
#include <bit>
#include <vector>

#include "palette/palette.h"

namespace tarnvick {
namespace {

using Colour = std::array<std::int32_t, 3>;

// The nearest entry to `colour` (each value clamped to 0-255).
std::uint8_t NearestTo(const Colour& colour, const ColorMatcher& matcher) {
  const std::array<std::uint8_t, 3> rgb = {static_cast<std::uint8_t>(std::clamp(colour[0], 0, 255)),
                                           static_cast<std::uint8_t>(std::clamp(colour[1], 0, 255)),
                                           static_cast<std::uint8_t>(std::clamp(colour[2], 0, 255))};
  return matcher.Nearest(rgb.data());
}

// Pattern dithering. Each pixel gets a list of candidate entries that together mix to its colour
// (each the nearest to the colour plus the error the candidates before it left), ordered by
// luminance; the threshold pattern picks one. The pattern is a Bayer matrix whose side (at most
// 8) divides both the width and the height, so it continues across the edges of the repeated
// texture, and a texture tiled 2 x 2 gives its own result tiled 2 x 2.
constexpr int kCandidates = 16;
constexpr int kMostPatternBits = 3;

// The Bayer threshold (0 to 4^bits - 1) of (x, y) in its matrix of side 2^bits.
int BayerThreshold(std::uint32_t x, std::uint32_t y, int bits) {
  int value = 0;
  for (int bit = 0; bit < bits; ++bit) {
    value = (value << 2) | static_cast<int>((((x >> bit) ^ (y >> bit)) & 1U) << 1) | static_cast<int>((y >> bit) & 1U);
  }
  return value;
}

// The candidates of `colour`, darkest first (lower index first among equals).
std::array<std::uint8_t, kCandidates> Candidates(const Colour& colour, const ColorMatcher& matcher) {
  std::array<std::uint8_t, kCandidates> candidates{};
  Colour error{};
  for (int i = 0; i < kCandidates; ++i) {
    const std::uint8_t chosen =
        NearestTo({colour[0] + error[0], colour[1] + error[1], colour[2] + error[2]}, matcher);
    candidates[i] = chosen;
    for (int c = 0; c < 3; ++c) error[c] += colour[c] - matcher.Colour(chosen)[c];
  }
  const auto luminance = [&](std::uint8_t entry) {
    const Colour& rgb = matcher.Colour(entry);
    return 299 * rgb[0] + 587 * rgb[1] + 114 * rgb[2];
  };
  std::sort(candidates.begin(), candidates.end(), [&](std::uint8_t a, std::uint8_t b) {
    const int la = luminance(a), lb = luminance(b);
    return la != lb ? la < lb : a < b;
  });
  return candidates;
}

void PatternDither(std::span<const std::uint8_t> rgb, std::span<const std::uint8_t> opaque, std::uint32_t width,
                   std::uint32_t height, const ColorMatcher& matcher, std::uint8_t* out) {
  const int bits = std::min({kMostPatternBits, std::countr_zero(width), std::countr_zero(height)});
  const int thresholds = 1 << (2 * bits);
  std::array<std::uint8_t, kCandidates> candidates{};
  Colour last{-1, -1, -1};  // the colour `candidates` belong to
  std::size_t i = 0;
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x, ++i) {
      if (!opaque.empty() && opaque[i] == 0) {
        out[i] = kTransparentIndex;
        continue;
      }
      const Colour colour = {rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]};
      if (colour != last) {
        candidates = Candidates(colour, matcher);
        last = colour;
      }
      out[i] = candidates[BayerThreshold(x, y, bits) * kCandidates / thresholds];
    }
  }
}

// Serpentine Floyd-Steinberg: rows alternately left to right and right to left, each pixel's
// error passed on 7/16 ahead, 3/16 below behind, 5/16 below and the rest below ahead. Errors are
// kept in sixteenths of a value; a pixel's colour with its error is clamped to 0-255 before its
// own error is taken, so that colours the palette cannot reach do not pile up error.
void DiffusionDither(std::span<const std::uint8_t> rgb, std::span<const std::uint8_t> opaque, std::uint32_t width,
                     std::uint32_t height, const ColorMatcher& matcher, std::uint8_t* out) {
  // Two rows of errors with a pixel of margin each side.
  std::vector<Colour> row(width + 2), below(width + 2);
  for (std::uint32_t y = 0; y < height; ++y) {
    const bool forward = y % 2 == 0;
    const std::ptrdiff_t step = forward ? 1 : -1;
    for (std::uint32_t n = 0; n < width; ++n) {
      const std::uint32_t x = forward ? n : width - 1 - n;
      const std::size_t i = static_cast<std::size_t>(y) * width + x;
      if (!opaque.empty() && opaque[i] == 0) {
        out[i] = kTransparentIndex;
        continue;
      }
      const std::size_t at = x + 1;
      Colour target, rounded;
      for (int c = 0; c < 3; ++c) {
        target[c] = std::clamp(16 * rgb[3 * i + c] + row[at][c], 0, 16 * 255);
        rounded[c] = (target[c] + 8) >> 4;
      }
      const std::uint8_t chosen = NearestTo(rounded, matcher);
      out[i] = chosen;
      for (int c = 0; c < 3; ++c) {
        const std::int32_t error = target[c] - 16 * matcher.Colour(chosen)[c];
        const std::int32_t ahead = error * 7 / 16, behind = error * 3 / 16, under = error * 5 / 16;
        row[at + step][c] += ahead;
        below[at - step][c] += behind;
        below[at][c] += under;
        below[at + step][c] += error - ahead - behind - under;
      }
    }
    std::swap(row, below);
    std::fill(below.begin(), below.end(), Colour{});
  }
}

}  // namespace

void DitherLevel(std::span<const std::uint8_t> rgb, std::span<const std::uint8_t> opaque, std::uint32_t width,
                 std::uint32_t height, const ColorMatcher& matcher, Dither method, std::uint8_t* out) {
  (method == Dither::kTiled ? PatternDither : DiffusionDither)(rgb, opaque, width, height, matcher, out);
}

}  // namespace tarnvick
