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

// The most a pixel aims at, in sixteenths.
constexpr std::int32_t kMostAim = 16 * 255;

// The entry value a pixel aiming at `aim` (in sixteenths) looks for.
std::uint8_t GoalOf(std::int32_t aim) { return static_cast<std::uint8_t>(std::clamp((aim + 8) >> 4, 0, 255)); }

// A later neighbour of a class: the position of its class in the matrix, its offset (-1, 0 or 1
// each way) and its share of the error in 1/65536 (0 for the last, which takes what the others
// leave).
struct Later {
  std::uint32_t at;
  int dx, dy;
  std::int32_t share;
};
struct Neighbours {
  std::array<Later, 8> later{};
  int count = 0;
};

// The class matrix a level of `width` x `height` takes: the largest side up to 8 that divides both.
struct ClassOrder {
  ClassOrder(std::uint32_t width, std::uint32_t height)
      : side(1U << std::min({kMostClassBits, std::countr_zero(width), std::countr_zero(height)})),
        positions(side * side),
        position(positions),
        rank(positions) {
    // The classes of this side ranked in the full matrix's order.
    for (std::uint32_t p = 0; p < positions; ++p) position[p] = p;
    const auto full_class = [&](std::uint32_t p) { return kTiledClasses[(p / side) * 8 + p % side]; };
    std::sort(position.begin(), position.end(),
              [&](std::uint32_t a, std::uint32_t b) { return full_class(a) < full_class(b); });
    for (std::uint32_t k = 0; k < positions; ++k) rank[position[k]] = k;
  }

  // The neighbours of the pixels of class `k` whose classes come later.
  Neighbours LaterOf(std::uint32_t k) const {
    const int x0 = static_cast<int>(position[k] % side), y0 = static_cast<int>(position[k] / side);
    const int n = static_cast<int>(side);
    Neighbours neighbours;
    std::array<std::int32_t, 8> weight{};
    std::int32_t total = 0;
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        const auto at = static_cast<std::uint32_t>((y0 + dy + n) % n * n + (x0 + dx + n) % n);
        if ((dx == 0 && dy == 0) || rank[at] <= k) continue;
        weight[neighbours.count] = dx == 0 || dy == 0 ? kBesideWeight : kCornerWeight;
        total += weight[neighbours.count];
        neighbours.later[neighbours.count++] = {at, dx, dy, 0};
      }
    }
    for (int i = 0; i + 1 < neighbours.count; ++i) neighbours.later[i].share = (weight[i] * 65536 + total / 2) / total;
    return neighbours;
  }

  std::uint32_t side, positions;
  std::vector<std::uint32_t> position;  // the positions (y * side + x) in class order
  std::vector<std::uint32_t> rank;      // the class of each position
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

// The step across cells to a neighbour at `at` (a column or row of the matrix, one beyond it at
// most): -1 or 1 where it lies in the cell before or after, else 0.
int CellStep(int at, std::uint32_t side) { return at < 0 ? -1 : at >= static_cast<int>(side) ? 1 : 0; }

// The tiled method on the whole level, one plane at a time.
void DotDiffusion(const LevelPixels& level, std::uint32_t width, std::uint32_t height, const ColorMatcher& matcher,
                  std::uint8_t* out) {
  const ClassOrder order(width, height);
  const std::uint32_t side = order.side, positions = order.positions;
  const std::uint32_t across = width / side, down = height / side;
  const std::size_t plane = std::size_t{across} * down, spacing = plane + kPlaneGap;
  // What each pixel aims at, in sixteenths of a value: its colour plus the error passed to it so
  // far; one plane a channel and position (the red, green and blue planes of a position follow
  // each other). The gaps between the planes are never read, and are left unset.
  const auto aim = std::make_unique_for_overwrite<std::int32_t[]>(3 * positions * spacing);
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x0 = 0; x0 < side; ++x0) {
      std::int32_t* cells = &aim[3 * (y % side * side + x0) * spacing + std::size_t{y / side} * across];
      for (std::uint32_t cx = 0; cx < across; ++cx) {
        const std::uint8_t* colour = level.Colour(std::size_t{y} * width + x0 + std::size_t{cx} * side);
        for (std::size_t c = 0; c < 3; ++c) cells[c * spacing + cx] = 16 * colour[c];
      }
    }
  }
  std::vector<std::uint8_t> goals(4 * plane), chosen(plane);
  std::vector<std::int32_t> error(3 * plane), left(plane), passes(plane, -1);
  for (std::uint32_t k = 0; k < positions; ++k) {
    const std::uint32_t x0 = order.position[k] % side, y0 = order.position[k] / side;
    const Neighbours later = order.LaterOf(k);
    const std::int32_t* own = &aim[3 * order.position[k] * spacing];
    for (std::size_t j = 0; j < plane; ++j) {
      for (std::size_t c = 0; c < 3; ++c) goals[4 * j + c] = GoalOf(own[c * spacing + j]);
    }
    matcher.Map(chosen.data(), plane, goals.data(), 4, ColorMatcher::Order::kScattered);
    // The entries out, and the colours taken (times 16) where errors are passed on.
    for (std::uint32_t cy = 0; cy < down; ++cy) {
      const std::size_t line = (std::size_t{cy} * side + y0) * width + x0;
      for (std::uint32_t cx = 0; cx < across; ++cx) {
        const std::size_t i = line + std::size_t{cx} * side, j = std::size_t{cy} * across + cx;
        const bool transparent = level.Transparent(i);
        out[i] = transparent ? kTransparentIndex : chosen[j];
        if (level.alpha) passes[j] = transparent ? 0 : -1;
        const Colour& colour = matcher.Colour(chosen[j]);
        for (std::size_t c = 0; c < 3; ++c) error[c * plane + j] = 16 * colour[c];
      }
    }
    if (later.count == 0) continue;
    for (std::size_t c = 0; c < 3; ++c) {
      const std::int32_t* aims = own + c * spacing;
      std::int32_t* errors = &error[c * plane];
      for (std::size_t j = 0; j < plane; ++j) {
        errors[j] = (std::clamp(aims[j], 0, kMostAim) - errors[j]) & passes[j];
        left[j] = errors[j];
      }
      for (int n = 0; n < later.count; ++n) {
        const Later& next = later.later[n];
        PassOn(errors, left.data(), &aim[3 * next.at * spacing + c * spacing], across, down,
               CellStep(static_cast<int>(x0) + next.dx, side), CellStep(static_cast<int>(y0) + next.dy, side),
               next.share);
      }
    }
  }
}

// The tiled method a few rows at a time, with the result of DotDiffusion. A pixel's entry depends
// only on its colour and the error its neighbours of earlier classes pass it, added up in any
// order; so any order in which each pixel comes after those neighbours gives the same entries.
// Row y lies `d` = min(y, height - y) rows from row 0 round the wrapped rows, so neighbouring rows
// lie one apart in `d`; its pixels of class k are taken at step 2k + d, after those of earlier
// classes in its own row and in the rows beside it (steps up to 2k - 2 + d + 1), and before its
// later neighbours. Rows taken at one step are never neighbours: their `d` have the parity of the
// step, and those of neighbouring rows differ by one (but for an odd height, where the matrix is
// one pixel and no error is passed). A row's aims are needed from step d - 1, when a row beside it
// can first pass it error, to step d + 2 x (the last class), when its own last pixels are taken:
// rows 2 x positions apart in `d` share their space.
void BandedDotDiffusion(const LevelPixels& level, std::uint32_t width, std::uint32_t height,
                        const ColorMatcher& matcher, std::uint8_t* out) {
  const ClassOrder order(width, height);
  const std::uint32_t side = order.side, last = order.positions - 1, half = height / 2;
  std::vector<Neighbours> later(order.positions);
  for (std::uint32_t k = 0; k <= last; ++k) later[k] = order.LaterOf(k);
  const auto distance = [&](std::uint32_t y) { return std::min(y, height - y); };
  // Rows whose distances differ by `cycle` are never needed at once; each distance has a row
  // at most half way down and one below it.
  const std::uint32_t cycle = 2 * last + 2;
  const std::size_t rows = std::min<std::size_t>(2 * std::size_t{cycle}, std::size_t{height} + 1);
  const auto aims = std::make_unique_for_overwrite<std::int32_t[]>(3 * std::size_t{width} * rows);
  const auto aims_of = [&](std::uint32_t y) {
    return &aims[3 * std::size_t{width} * (distance(y) % cycle * 2 + (y > half ? 1 : 0))];
  };
  // Calls `each` with the rows at distance `d`.
  const auto rows_at = [&](std::uint32_t d, const auto& each) {
    each(d);
    if (d > 0 && height - d != d) each(height - d);
  };
  const auto start_row = [&](std::uint32_t y) {
    std::int32_t* row = aims_of(y);
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::uint8_t* colour = level.Colour(std::size_t{y} * width + x);
      for (std::size_t c = 0; c < 3; ++c) row[3 * x + c] = 16 * colour[c];
    }
  };
  // The rows of one class taken at a step, their goals one after the other.
  struct Run {
    std::uint32_t y, k;
  };
  std::vector<Run> runs;
  std::vector<std::uint8_t> goals, chosen;
  std::uint32_t started = 0;  // rows at smaller distances have their aims
  for (std::uint32_t step = 0; step <= half + 2 * last; ++step) {
    for (; started <= std::min(step + 1, half); ++started) rows_at(started, start_row);
    runs.clear();
    goals.clear();
    for (std::uint32_t k = 0; k <= last && 2 * k <= step; ++k) {
      const std::uint32_t d = step - 2 * k, x0 = order.position[k] % side, y0 = order.position[k] / side;
      if (d > half) continue;
      rows_at(d, [&](std::uint32_t y) {
        if (y % side != y0) return;
        runs.push_back({y, k});
        const std::int32_t* row = aims_of(y);
        std::size_t j = goals.size();
        goals.resize(j + 4 * ((width - x0 + side - 1) / side));
        for (std::uint32_t x = x0; x < width; x += side, j += 4) {
          for (std::size_t c = 0; c < 3; ++c) goals[j + c] = GoalOf(row[3 * x + c]);
        }
      });
    }
    chosen.resize(goals.size() / 4);
    matcher.Map(chosen.data(), chosen.size(), goals.data(), 4, ColorMatcher::Order::kScattered);
    const std::uint8_t* entry = chosen.data();
    for (const Run& run : runs) {
      const Neighbours& next = later[run.k];
      std::int32_t* own = aims_of(run.y);
      // The rows above, at and below the run, wrapped.
      const std::array<std::int32_t*, 3> beside = {aims_of(run.y == 0 ? height - 1 : run.y - 1), own,
                                                   aims_of(run.y + 1 == height ? 0 : run.y + 1)};
      for (std::uint32_t x = order.position[run.k] % side; x < width; x += side, ++entry) {
        const std::size_t i = std::size_t{run.y} * width + x;
        const bool transparent = level.Transparent(i);
        out[i] = transparent ? kTransparentIndex : *entry;
        if (transparent) continue;
        const Colour& colour = matcher.Colour(*entry);
        Colour error, left;
        for (std::size_t c = 0; c < 3; ++c) left[c] = error[c] = std::clamp(own[3 * x + c], 0, kMostAim) - 16 * colour[c];
        for (int n = 0; n < next.count; ++n) {
          const Later& to = next.later[n];
          const std::uint32_t tx = to.dx < 0 && x == 0 ? width - 1 : to.dx > 0 && x + 1 == width ? 0 : x + to.dx;
          std::int32_t* target = &beside[to.dy + 1][3 * tx];
          for (std::size_t c = 0; c < 3; ++c) {
            const std::int32_t piece = n + 1 < next.count ? (error[c] * to.share + 32768) >> 16 : left[c];
            target[c] += piece;
            left[c] -= piece;
          }
        }
      }
    }
  }
}

// Serpentine Floyd-Steinberg: rows alternately left to right and right to left, each pixel's
// error passed on 7/16 ahead, 3/16 below behind, 5/16 below and the rest below ahead. Errors are
// kept in sixteenths of a value; a pixel's colour with its error is clamped to 0-255 before its
// own error is taken, so that colours the palette cannot reach do not pile up error.
void DiffusionDither(const LevelPixels& level, std::uint32_t width, std::uint32_t height, const ColorMatcher& matcher,
                     std::uint8_t* out) {
  // Two rows of errors with a pixel of margin each side.
  std::vector<Colour> row(width + 2), below(width + 2);
  for (std::uint32_t y = 0; y < height; ++y) {
    const bool forward = y % 2 == 0;
    const std::ptrdiff_t step = forward ? 1 : -1;
    for (std::uint32_t n = 0; n < width; ++n) {
      const std::uint32_t x = forward ? n : width - 1 - n;
      const std::size_t i = static_cast<std::size_t>(y) * width + x;
      if (level.Transparent(i)) {
        out[i] = kTransparentIndex;
        continue;
      }
      const std::size_t at = x + 1;
      const std::uint8_t* colour = level.Colour(i);
      Colour target, rounded;
      for (int c = 0; c < 3; ++c) {
        target[c] = std::clamp(16 * colour[c] + row[at][c], 0, kMostAim);
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

void DitherLevel(const LevelPixels& level, std::uint32_t width, std::uint32_t height, const ColorMatcher& matcher,
                 Dither method, std::uint8_t* out, std::size_t most_whole) {
  if (method == Dither::kDiffusion) {
    DiffusionDither(level, width, height, matcher, out);
  } else if (std::size_t{width} * height > most_whole) {
    BandedDotDiffusion(level, width, height, matcher, out);
  } else {
    DotDiffusion(level, width, height, matcher, out);
  }
}

}  // namespace tarnvick
