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

// Pattern dithering, the start of the tiled method. Each pixel gets a list of candidate entries
// that together mix to its colour (each the nearest to the colour plus the error the candidates
// before it left), ordered by luminance; a threshold pattern picks one. The pattern is a Bayer
// matrix whose side (at most 4) divides both the width and the height, so that it continues
// across the edges of the repeated texture.
constexpr int kCandidates = 8;
constexpr int kMostPatternBits = 2;

// The Bayer threshold (0 to 4^bits - 1) of (x, y) in its matrix of side 2^bits.
int BayerThreshold(std::uint32_t x, std::uint32_t y, int bits) {
  int value = 0;
  for (int bit = 0; bit < bits; ++bit) {
    value = (value << 2) | static_cast<int>((((x >> bit) ^ (y >> bit)) & 1U) << 1) | static_cast<int>((y >> bit) & 1U);
  }
  return value;
}

// Sorts `candidates` darkest first (lower index first among equals).
void SortByLuminance(std::array<std::uint8_t, kCandidates>& candidates, const ColorMatcher& matcher) {
  const auto luminance = [&](std::uint8_t entry) {
    const Colour& rgb = matcher.Colour(entry);
    return 299 * rgb[0] + 587 * rgb[1] + 114 * rgb[2];
  };
  std::sort(candidates.begin(), candidates.end(), [&](std::uint8_t a, std::uint8_t b) {
    const int la = luminance(a), lb = luminance(b);
    return la != lb ? la < lb : a < b;
  });
}

// The candidates are found a row at a time, each round of them mapped together.
void PatternDither(std::span<const std::uint8_t> rgb, std::span<const std::uint8_t> opaque, std::uint32_t width,
                   std::uint32_t height, const ColorMatcher& matcher, std::uint8_t* out) {
  const int bits = std::min({kMostPatternBits, std::countr_zero(width), std::countr_zero(height)});
  const int thresholds = 1 << (2 * bits);
  std::vector<std::uint8_t> goals(3 * std::size_t{width}), chosen(width);
  std::vector<Colour> errors(width);
  std::vector<std::array<std::uint8_t, kCandidates>> candidates(width);
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint8_t* line = &rgb[3 * std::size_t{y} * width];
    std::fill(errors.begin(), errors.end(), Colour{});
    for (int k = 0; k < kCandidates; ++k) {
      for (std::size_t x = 0; x < width; ++x) {
        for (int c = 0; c < 3; ++c) goals[3 * x + c] = static_cast<std::uint8_t>(std::clamp(line[3 * x + c] + errors[x][c], 0, 255));
      }
      matcher.Map(chosen.data(), width, goals.data(), 3);
      for (std::size_t x = 0; x < width; ++x) {
        candidates[x][k] = chosen[x];
        for (int c = 0; c < 3; ++c) errors[x][c] += line[3 * x + c] - matcher.Colour(chosen[x])[c];
      }
    }
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::size_t i = std::size_t{y} * width + x;
      if (!opaque.empty() && opaque[i] == 0) {
        out[i] = kTransparentIndex;
        continue;
      }
      SortByLuminance(candidates[x], matcher);
      out[i] = candidates[x][BayerThreshold(x, y, bits) * kCandidates / thresholds];
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

// Lowers the blurred error of `out` on the torus (the texture repeated every way), where the
// pattern alone leaves it: in sweeps over the pixels, each pixel takes the entry, among the one
// nearest to what would cancel the blurred error around it and those of its eight neighbours,
// that lowers the sum of the squared blurred errors most, if any does. `filtered` holds the
// error filtered by the blur's autocorrelation: the change of the sum when a pixel's error
// changes by d is 2 d . filtered + |d|^2 x the filter's centre. Integer arithmetic throughout.
constexpr int kSweeps = 2;
constexpr int kReach = 4;
// The autocorrelation of the summary's blur (weights exp(-i^2 / 2), i = -3..3, normalised) along
// one axis, in 1/1024, from -kReach to kReach (further values round to 0).
constexpr std::array<std::int64_t, 2 * kReach + 1> kAutocorrelation = {5, 30, 106, 225, 289, 225, 106, 30, 5};

void Refine(std::span<const std::uint8_t> rgb, std::span<const std::uint8_t> opaque, std::uint32_t width,
            std::uint32_t height, const ColorMatcher& matcher, std::uint8_t* out) {
  const std::size_t n = std::size_t{width} * height;
  std::vector<std::array<std::int64_t, 3>> error(n), filtered(n);
  for (std::size_t i = 0; i < n; ++i) {
    if (!opaque.empty() && opaque[i] == 0) continue;
    for (int c = 0; c < 3; ++c) error[i][c] = rgb[3 * i + c] - matcher.Colour(out[i])[c];
  }
  // Where x + dx and y + dy (|dx|, |dy| <= kReach) wrap to: column[x + kReach + dx] and the start
  // of row[y + kReach + dy].
  std::vector<std::size_t> column(width + 2 * kReach), row(height + 2 * kReach);
  for (std::size_t j = 0; j < column.size(); ++j) column[j] = (j + kReach * width - kReach) % width;
  for (std::size_t j = 0; j < row.size(); ++j) row[j] = (j + kReach * std::size_t{height} - kReach) % height * width;
  const auto add = [&](std::uint32_t x, std::uint32_t y, const std::array<std::int64_t, 3>& step) {
    for (int dy = 0; dy <= 2 * kReach; ++dy) {
      const std::size_t start = row[y + dy];
      for (int dx = 0; dx <= 2 * kReach; ++dx) {
        const std::int64_t weight = kAutocorrelation[dx] * kAutocorrelation[dy];
        auto& target = filtered[start + column[x + dx]];
        for (int c = 0; c < 3; ++c) target[c] += weight * step[c];
      }
    }
  };
  // The error filtered along the rows, then along the columns.
  std::vector<std::array<std::int64_t, 3>> along_rows(n);
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      for (int k = 0; k <= 2 * kReach; ++k) {
        const auto& from = error[row[y + kReach] + column[x + k]];
        for (int c = 0; c < 3; ++c) along_rows[std::size_t{y} * width + x][c] += kAutocorrelation[k] * from[c];
      }
    }
  }
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      for (int k = 0; k <= 2 * kReach; ++k) {
        const auto& from = along_rows[row[y + k] + x];
        for (int c = 0; c < 3; ++c) filtered[std::size_t{y} * width + x][c] += kAutocorrelation[k] * from[c];
      }
    }
  }
  const std::int64_t centre = kAutocorrelation[kReach] * kAutocorrelation[kReach];
  std::vector<std::uint8_t> ideals(3 * std::size_t{width}), ideal_entries(width);
  for (int sweep = 0; sweep < kSweeps; ++sweep) {
    for (std::uint32_t y = 0; y < height; ++y) {
      // The entries nearest to what would cancel the error, for the row as it is when it starts.
      for (std::size_t x = 0; x < width; ++x) {
        const std::size_t i = std::size_t{y} * width + x;
        for (int c = 0; c < 3; ++c) {
          ideals[3 * x + c] = static_cast<std::uint8_t>(
              std::clamp<std::int64_t>(matcher.Colour(out[i])[c] + filtered[i][c] / centre, 0, 255));
        }
      }
      matcher.Map(ideal_entries.data(), width, ideals.data(), 3);
      for (std::uint32_t x = 0; x < width; ++x) {
        const std::size_t i = std::size_t{y} * width + x;
        if (!opaque.empty() && opaque[i] == 0) continue;
        const Colour& old = matcher.Colour(out[i]);
        std::array<std::uint8_t, 9> tries{};  // the entries tried
        tries[0] = ideal_entries[x];
        int count = 1;
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            if (dx == 0 && dy == 0) continue;
            tries[count++] = out[row[y + kReach + dy] + column[x + kReach + dx]];
          }
        }
        std::int64_t best = 0;  // the change of the sum; only a lower sum is taken
        int chosen = -1;
        std::array<std::int64_t, 3> best_step{};
        for (int t = 0; t < count; ++t) {
          if (tries[t] == out[i]) continue;
          const Colour& next = matcher.Colour(tries[t]);
          std::array<std::int64_t, 3> d;
          std::int64_t change = 0;
          for (int c = 0; c < 3; ++c) {
            d[c] = old[c] - next[c];
            change += 2 * d[c] * filtered[i][c] + d[c] * d[c] * centre;
          }
          if (change < best) {
            best = change;
            chosen = t;
            best_step = d;
          }
        }
        if (chosen < 0) continue;
        out[i] = tries[chosen];
        add(x, y, best_step);
      }
    }
  }
}

}  // namespace

void DitherLevel(std::span<const std::uint8_t> rgb, std::span<const std::uint8_t> opaque, std::uint32_t width,
                 std::uint32_t height, const ColorMatcher& matcher, Dither method, std::uint8_t* out) {
  if (method == Dither::kDiffusion) {
    DiffusionDither(rgb, opaque, width, height, matcher, out);
    return;
  }
  PatternDither(rgb, opaque, width, height, matcher, out);
  Refine(rgb, opaque, width, height, matcher, out);
}

}  // namespace tarnvick
