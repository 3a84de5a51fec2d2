#include "convert/dither.h"

#include <algorithm>
#include <array>
#include <bit>
#include <memory>
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
// The pixels of one position of the matrix form a plane (row after row); planes start this many
// cells apart, so that the planes one class reads and writes at once do not all fall on the same
// cache sets (their sizes are often powers of two).
constexpr std::size_t kPlaneGap = 24;

// A later neighbour of a class: the plane of its position, the step to its cell (-1, 0 or 1 each
// way, across the planes' cells), its weight and its share of the error in 1/65536.
struct Later {
  std::size_t plane;
  int step_x, step_y;
  std::int32_t weight, share;
};

// Passes each cell's part of its error on to the cell `step_x`, `step_y` away in `target`, a
// plane of `across` x `down` cells wrapped around its edges. The part is the error times `share` /
// 65536, rounded, and is taken from `left`; with `share` 0 (the last neighbour), it is all that
// `left` holds.
void PassOn(const std::int32_t* __restrict error, std::int32_t* __restrict left, std::int32_t* __restrict target,
            std::size_t across, std::size_t down, int step_x, int step_y, std::int32_t share) {
  const std::size_t plane = across * down;
  const auto part_of = [&](std::size_t j) { return (error[j] * share + 32768) >> 16; };
  // Taken as one long row, the cells move `offset` on, modulo the plane's size: a run to the end,
  // then one from the start. The cells at the ends of the rows then land a row off, and are moved
  // afterwards.
  const auto signed_plane = static_cast<std::ptrdiff_t>(plane);
  const std::ptrdiff_t step = step_y * static_cast<std::ptrdiff_t>(across) + step_x;
  const auto offset = static_cast<std::size_t>((step % signed_plane + signed_plane) % signed_plane);
  const auto run = [&](std::size_t from, std::size_t to, std::size_t first_target) {
    std::int32_t* cells = target + first_target;
    if (share == 0) {
      for (std::size_t j = from; j < to; ++j) cells[j - from] += left[j];
      return;
    }
    for (std::size_t j = from; j < to; ++j) {
      const std::int32_t piece = part_of(j);
      cells[j - from] += piece;
      left[j] -= piece;
    }
  };
  run(0, plane - offset, offset);
  run(plane - offset, plane, 0);
  if (step_x == 0) return;
  const std::size_t column = step_x > 0 ? across - 1 : 0, back = step_x > 0 ? plane - across : across;
  for (std::size_t row = 0; row < down; ++row) {
    // Recomputed from `error` (`left` has changed since), or, for the last neighbour, `left`.
    const std::size_t j = row * across + column, landed = (j + offset) % plane;
    const std::int32_t piece = share == 0 ? left[j] : part_of(j);
    target[landed] -= piece;
    target[(landed + back) % plane] += piece;
  }
}

void DotDiffusion(std::span<const std::uint8_t> colours, std::size_t stride, std::span<const std::uint8_t> opaque,
                  std::uint32_t width, std::uint32_t height, const ColorMatcher& matcher, std::uint8_t* out) {
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
  const std::size_t plane = std::size_t{across} * down, spacing = plane + kPlaneGap;
  // What each pixel aims at, in sixteenths of a value: its colour plus the error passed to it so
  // far; one plane a channel and position (the red, green and blue planes of a position follow
  // each other). The gaps between the planes are never read, and are left unset.
  const auto aim = std::make_unique_for_overwrite<std::int32_t[]>(3 * positions * spacing);
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x0 = 0; x0 < side; ++x0) {
      std::int32_t* cells = &aim[3 * (y % side * side + x0) * spacing + std::size_t{y / side} * across];
      const std::uint8_t* pixel = &colours[stride * (std::size_t{y} * width + x0)];
      for (std::uint32_t cx = 0; cx < across; ++cx, pixel += stride * side) {
        for (std::size_t c = 0; c < 3; ++c) cells[c * spacing + cx] = 16 * pixel[c];
      }
    }
  }
  std::vector<std::uint8_t> goals(4 * plane), chosen(plane);
  std::vector<std::int32_t> error(3 * plane), left(plane), passes(plane, -1);
  for (std::uint32_t k = 0; k < positions; ++k) {
    const std::uint32_t x0 = position[k] % side, y0 = position[k] / side;
    std::array<Later, 8> later{};
    int count = 0;
    std::int32_t total = 0;
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        const int x = static_cast<int>(x0) + dx, y = static_cast<int>(y0) + dy, n = static_cast<int>(side);
        const std::uint32_t at = static_cast<std::uint32_t>((y + n) % n * n + (x + n) % n);
        if ((dx == 0 && dy == 0) || rank[at] <= k) continue;
        const std::int32_t weight = dx == 0 || dy == 0 ? kBesideWeight : kCornerWeight;
        total += weight;
        later[count++] = {3 * at * spacing, x < 0 ? -1 : x >= n ? 1 : 0, y < 0 ? -1 : y >= n ? 1 : 0, weight, 0};
      }
    }
    // The last one takes what the others leave (share 0).
    for (int n = 0; n + 1 < count; ++n) later[n].share = (later[n].weight * 65536 + total / 2) / total;
    const std::int32_t* own = &aim[3 * position[k] * spacing];
    for (std::size_t j = 0; j < plane; ++j) {
      for (std::size_t c = 0; c < 3; ++c) {
        goals[4 * j + c] = static_cast<std::uint8_t>(std::clamp((own[c * spacing + j] + 8) >> 4, 0, 255));
      }
    }
    matcher.Map(chosen.data(), plane, goals.data(), 4, ColorMatcher::Order::kScattered);
    // The entries out, and the colours taken (times 16) where errors are passed on.
    for (std::uint32_t cy = 0; cy < down; ++cy) {
      const std::size_t line = (std::size_t{cy} * side + y0) * width + x0;
      for (std::uint32_t cx = 0; cx < across; ++cx) {
        const std::size_t i = line + std::size_t{cx} * side, j = std::size_t{cy} * across + cx;
        const bool transparent = !opaque.empty() && opaque[i] == 0;
        out[i] = transparent ? kTransparentIndex : chosen[j];
        if (!opaque.empty()) passes[j] = transparent ? 0 : -1;
        const Colour& colour = matcher.Colour(chosen[j]);
        for (std::size_t c = 0; c < 3; ++c) error[c * plane + j] = 16 * colour[c];
      }
    }
    if (count == 0) continue;
    for (std::size_t c = 0; c < 3; ++c) {
      const std::int32_t* aims = own + c * spacing;
      std::int32_t* errors = &error[c * plane];
      for (std::size_t j = 0; j < plane; ++j) {
        errors[j] = (std::clamp(aims[j], 0, 16 * 255) - errors[j]) & passes[j];
        left[j] = errors[j];
      }
      for (int n = 0; n < count; ++n) {
        PassOn(errors, left.data(), &aim[later[n].plane + c * spacing], across, down, later[n].step_x,
               later[n].step_y, later[n].share);
      }
    }
  }
}

// Serpentine Floyd-Steinberg: rows alternately left to right and right to left, each pixel's
// error passed on 7/16 ahead, 3/16 below behind, 5/16 below and the rest below ahead. Errors are
// kept in sixteenths of a value; a pixel's colour with its error is clamped to 0-255 before its
// own error is taken, so that colours the palette cannot reach do not pile up error.
void DiffusionDither(std::span<const std::uint8_t> colours, std::size_t stride, std::span<const std::uint8_t> opaque,
                     std::uint32_t width, std::uint32_t height, const ColorMatcher& matcher, std::uint8_t* out) {
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
        target[c] = std::clamp(16 * colours[stride * i + c] + row[at][c], 0, 16 * 255);
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

void DitherLevel(std::span<const std::uint8_t> colours, std::size_t stride, std::span<const std::uint8_t> opaque,
                 std::uint32_t width, std::uint32_t height, const ColorMatcher& matcher, Dither method,
                 std::uint8_t* out) {
  if (method == Dither::kDiffusion) {
    DiffusionDither(colours, stride, opaque, width, height, matcher, out);
    return;
  }
  DotDiffusion(colours, stride, opaque, width, height, matcher, out);
}

}  // namespace tarnvick
