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

// Dot diffusion on the torus, the tiled method. A class matrix, repeated over the level, orders
// the pixels: all pixels of class 0 take their nearest entry first, then those of class 1, and so
// on; each passes its error on to the neighbours (wrapped around the edges) whose class comes
// later, twice as much to the four beside it as to the four across corners. Pixels of one class
// are never neighbours, so each class is mapped in batches, and a pixel's entry depends only on
// the pixels around it: where the matrix's side divides the width and the height, the level
// repeated every way is dithered exactly as the level itself, without a seam.
constexpr int kMostClassBits = 3;
// How much of a pixel's error a later neighbour takes, beside it or across a corner, relative to
// the others; errors are kept in sixteenths of a value.
constexpr std::int32_t kBesideWeight = 2;
constexpr std::int32_t kCornerWeight = 1;

// The errors a class's pixels take, one plane a position of the matrix (its pixels row after
// row), so that each class reads and writes a few small planes rather than the whole level. An
// error never leaves -16 x 255 x 8 to 16 x 255 x 8 (each of at most eight neighbours passes on
// at most its whole error), which 16 bits hold.
using PlaneError = std::array<std::int16_t, 4>;
// Errors make colours repeat less than in the source, but still often: the nearest entries of
// 2^14 colours met are kept, which saves searches (a larger table measured no faster).
constexpr int kNearestBits = 14;
constexpr std::size_t kPlaneGap = 24;

void DotDiffusion(std::span<const std::uint8_t> rgb, std::span<const std::uint8_t> opaque, std::uint32_t width,
                  std::uint32_t height, const ColorMatcher& matcher, std::uint8_t* out) {
  const int bits = std::min({kMostClassBits, std::countr_zero(width), std::countr_zero(height)});
  const std::uint32_t side = 1U << bits, positions = side * side;
  // The positions of the matrix of this side in class order (its classes ranked in the full
  // matrix's order), and the rank of each.
  std::vector<std::uint32_t> position(positions), rank(positions);
  for (std::uint32_t p = 0; p < positions; ++p) position[p] = p;
  const auto full_class = [&](std::uint32_t p) { return kTiledClasses[(p / side) * 8 + p % side]; };
  std::sort(position.begin(), position.end(),
            [&](std::uint32_t a, std::uint32_t b) { return full_class(a) < full_class(b); });
  for (std::uint32_t k = 0; k < positions; ++k) rank[position[k]] = k;

  const std::uint32_t across = width / side, down = height / side;
  const std::size_t plane = std::size_t{across} * down;
  // Planes start kPlaneGap cells apart, so that the planes one class reads and writes at once do not
  // all fall on the same cache sets (their sizes are often powers of two).
  const std::size_t spacing = plane + kPlaneGap;
  std::vector<PlaneError> error(positions * spacing);
  // The pixels' colours, in the same planes.
  std::vector<std::uint8_t> colours(3 * positions * spacing);
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::size_t at = (y % side * side + x % side) * spacing + std::size_t{y / side} * across + x / side;
      const std::size_t from = 3 * (std::size_t{y} * width + x);
      colours[3 * at] = rgb[from];
      colours[3 * at + 1] = rgb[from + 1];
      colours[3 * at + 2] = rgb[from + 2];
    }
  }
  std::vector<std::uint8_t> goals(3 * plane), chosen(plane);
  // The nearest entries to the colours met last, by a hash of the colour: (colour + 1) << 8 | entry.
  std::vector<std::uint32_t> nearest(std::size_t{1} << kNearestBits);
  // A later neighbour: its plane, the cell step to it (-1, 0 or 1 each way), and its share of the
  // error in 1/65536 (the last one takes what the others leave).
  struct Neighbour {
    std::size_t plane;
    int step_x, step_y;
    std::int32_t share;
  };
  for (std::uint32_t k = 0; k < positions; ++k) {
    const std::uint32_t x0 = position[k] % side, y0 = position[k] / side;
    std::array<Neighbour, 8> later{};
    std::array<std::int32_t, 8> weights{};
    int count = 0;
    std::int32_t total = 0;
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        const int x = static_cast<int>(x0) + dx, y = static_cast<int>(y0) + dy, n = static_cast<int>(side);
        const std::uint32_t at = static_cast<std::uint32_t>((y + n) % n * n + (x + n) % n);
        if ((dx == 0 && dy == 0) || rank[at] <= k) continue;
        weights[count] = dx == 0 || dy == 0 ? kBesideWeight : kCornerWeight;
        total += weights[count];
        later[count++] = {at * spacing, x < 0 ? -1 : x >= n ? 1 : 0, y < 0 ? -1 : y >= n ? 1 : 0, 0};
      }
    }
    for (int n = 0; n < count; ++n) later[n].share = (weights[n] * 65536 + total / 2) / total;
    // What each pixel of the class takes is known once the earlier classes are done: the goals of
    // all of them first, then their entries, then the errors passed on.
    const PlaneError* own = &error[position[k] * spacing];
    const std::uint8_t* own_colours = &colours[3 * position[k] * spacing];
    for (std::uint32_t cy = 0; cy < down; ++cy) {
      const std::uint8_t* pixel = &own_colours[3 * std::size_t{cy} * across];
      std::uint8_t* goal = &goals[3 * std::size_t{cy} * across];
      const PlaneError* taken = own + std::size_t{cy} * across;
      for (std::uint32_t cx = 0; cx < across; ++cx, pixel += 3, goal += 3, ++taken) {
        for (int c = 0; c < 3; ++c) goal[c] = static_cast<std::uint8_t>(std::clamp((16 * pixel[c] + (*taken)[c] + 8) >> 4, 0, 255));
      }
    }
    for (std::size_t j = 0; j < plane; ++j) {
      const std::uint8_t* goal = &goals[3 * j];
      const std::uint32_t key = std::uint32_t{goal[0]} << 16 | std::uint32_t{goal[1]} << 8 | goal[2];
      std::uint32_t& slot = nearest[(key * 2654435761U) >> (32 - kNearestBits)];
      if ((slot >> 8) != key + 1) slot = (key + 1) << 8 | matcher.Nearest(goal);
      chosen[j] = static_cast<std::uint8_t>(slot & 255);
    }
    for (std::uint32_t cy = 0; cy < down; ++cy) {
      const std::size_t line = (std::size_t{cy} * side + y0) * width + x0;
      // Where each later neighbour's row of cells starts.
      std::array<PlaneError*, 8> rows{};
      for (int n = 0; n < count; ++n) {
        const std::uint32_t row = later[n].step_y < 0 ? (cy == 0 ? down - 1 : cy - 1)
                                  : later[n].step_y > 0 ? (cy + 1 == down ? 0 : cy + 1)
                                                        : cy;
        rows[n] = &error[later[n].plane + std::size_t{row} * across];
      }
      for (std::uint32_t cx = 0; cx < across; ++cx) {
        const std::size_t i = line + std::size_t{cx} * side;
        const std::uint8_t entry = chosen[std::size_t{cy} * across + cx];
        if (!opaque.empty() && opaque[i] == 0) {
          out[i] = kTransparentIndex;
          continue;
        }
        out[i] = entry;
        if (count == 0) continue;
        const PlaneError& taken = own[std::size_t{cy} * across + cx];
        const Colour& colour = matcher.Colour(entry);
        const std::uint8_t* pixel = &own_colours[3 * (std::size_t{cy} * across + cx)];
        const std::int32_t red = std::clamp(16 * pixel[0] + taken[0], 0, 16 * 255) - 16 * colour[0];
        const std::int32_t green = std::clamp(16 * pixel[1] + taken[1], 0, 16 * 255) - 16 * colour[1];
        const std::int32_t blue = std::clamp(16 * pixel[2] + taken[2], 0, 16 * 255) - 16 * colour[2];
        std::int32_t red_left = red, green_left = green, blue_left = blue;
        const auto pass = [&](int n, std::int32_t r, std::int32_t g, std::int32_t b) {
          const std::uint32_t column = later[n].step_x < 0 ? (cx == 0 ? across - 1 : cx - 1)
                                       : later[n].step_x > 0 ? (cx + 1 == across ? 0 : cx + 1)
                                                             : cx;
          PlaneError& target = rows[n][column];
          target[0] = static_cast<std::int16_t>(target[0] + r);
          target[1] = static_cast<std::int16_t>(target[1] + g);
          target[2] = static_cast<std::int16_t>(target[2] + b);
        };
        for (int n = 0; n + 1 < count; ++n) {
          const std::int32_t share = later[n].share;
          const std::int32_t r = (red * share + 32768) >> 16, g = (green * share + 32768) >> 16,
                             b = (blue * share + 32768) >> 16;
          pass(n, r, g, b);
          red_left -= r;
          green_left -= g;
          blue_left -= b;
        }
        pass(count - 1, red_left, green_left, blue_left);
      }
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
  if (method == Dither::kDiffusion) {
    DiffusionDither(rgb, opaque, width, height, matcher, out);
    return;
  }
  DotDiffusion(rgb, opaque, width, height, matcher, out);
}

}  // namespace tarnvick
