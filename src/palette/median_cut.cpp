#include "palette/median_cut.h"

#include <algorithm>
#include <array>
#include <queue>
#include <vector>

#include "palette/color_matcher.h"
#include "palette/select_palette.h"

namespace tarnvick {
namespace {

// The methods: median cut (Heckbert's, here cutting the box whose best cut removes the most
// error), then Lloyd's k-means passes, then merge-and-split trials on small sets of colours.
//
// More distinct colours than this are merged into cells (2 x 2 x 2 colours, then 4 x 4 x 4, ...)
// before the palette is fitted: the fit then costs the same on any library, and the cells keep
// the exact sums of their colours, so the means it finds are the same wherever a cell's colours
// all fall to one entry. 2^15 cells is 128 for each of the 256 entries: fine enough that merging
// cost no measurable quality on the sample and benchmark libraries, and a pass over them takes a
// few milliseconds.
constexpr std::size_t kMostPoints = std::size_t{1} << 15;
// K-means passes, at the most: on the libraries measured, passes stop moving entries well before
// this; the bound keeps a library that oscillates between two fits from running on.
constexpr int kMostPasses = 24;

// The squared distance between two colours (3 bytes each).
double SquaredDistance(const std::uint8_t* a, const std::uint8_t* b) {
  double distance = 0;
  for (std::size_t c = 0; c < 3; ++c) {
    const double d = static_cast<double>(a[c]) - b[c];
    distance += d * d;
  }
  return distance;
}

// Counted colours, alone or merged into a cell: their pixels and the sums of their channels over
// those pixels.
struct Point {
  PixelCount weight = 0;
  std::array<std::uint64_t, 3> sum{};
  std::array<std::uint8_t, 3> colour{};  // the mean, rounded

  void Round() {
    for (std::size_t c = 0; c < 3; ++c) colour[c] = static_cast<std::uint8_t>((2 * sum[c] + weight) / (2 * weight));
  }
};

std::vector<Point> Points(const ColorHistogram& histogram, std::size_t distinct) {
  int shift = 0;
  while ((distinct >> (3 * shift)) > kMostPoints && shift < 7) ++shift;
  std::vector<Point> points;
  std::vector<std::int32_t> cell_of;  // cell number to point, for merged cells
  if (shift > 0) cell_of.assign(std::size_t{1} << (24 - 3 * shift), -1);
  histogram.ForEach([&](std::uint32_t key, PixelCount count) {
    const std::array<std::uint64_t, 3> channels = {key & 0xFF, (key >> 8) & 0xFF, (key >> 16) & 0xFF};
    Point* point = nullptr;
    if (shift == 0) {
      point = &points.emplace_back();
    } else {
      const std::size_t cell = ((channels[2] >> shift) << (16 - 2 * shift)) | ((channels[1] >> shift) << (8 - shift)) |
                               (channels[0] >> shift);
      if (cell_of[cell] < 0) {
        cell_of[cell] = static_cast<std::int32_t>(points.size());
        points.emplace_back();
      }
      point = &points[static_cast<std::size_t>(cell_of[cell])];
    }
    point->weight += count;
    for (std::size_t c = 0; c < 3; ++c) point->sum[c] += channels[c] * count;
  });
  for (Point& point : points) point.Round();
  return points;
}

// A box of points [begin, end) of the median cut, with the sums that give its spread.
struct Box {
  std::size_t begin = 0, end = 0;
  double weight = 0;
  std::array<double, 3> sum{}, squares{};

  double Spread(std::size_t c) const { return squares[c] - sum[c] * sum[c] / weight; }
  double Error() const { return Spread(0) + Spread(1) + Spread(2); }

  // Adds a point's pixels and their weighted sums.
  void Add(const Point& point) {
    const auto point_weight = static_cast<double>(point.weight);
    weight += point_weight;
    for (std::size_t c = 0; c < 3; ++c) {
      const double value = point.colour[c];
      sum[c] += point_weight * value;
      squares[c] += point_weight * value * value;
    }
  }
};

Box MakeBox(const std::vector<Point>& points, std::size_t begin, std::size_t end) {
  Box box{begin, end};
  for (std::size_t i = begin; i < end; ++i) box.Add(points[i]);
  return box;
}

// Orders points by one channel (by counting: the channel is a byte), keeping the order of points
// with equal values.
void SortAlong(std::vector<Point>::iterator begin, std::vector<Point>::iterator end, std::size_t axis) {
  std::array<std::size_t, 257> first{};
  for (auto point = begin; point != end; ++point) ++first[point->colour[axis] + 1u];
  for (std::size_t value = 1; value < first.size(); ++value) first[value] += first[value - 1];
  std::vector<Point> sorted(static_cast<std::size_t>(end - begin));
  for (auto point = begin; point != end; ++point) sorted[first[point->colour[axis]]++] = *point;
  std::copy(sorted.begin(), sorted.end(), begin);
}

// Where to cut a box whose points are sorted along one channel so that the two halves hold the
// least error, and that error.
std::pair<double, std::size_t> BestCut(const std::vector<Point>& points, const Box& box) {
  Box left{box.begin, box.begin};
  double best = -1;
  std::size_t split = box.begin + 1;
  for (std::size_t i = box.begin; i + 1 < box.end; ++i) {
    left.Add(points[i]);
    Box right = box;
    right.weight -= left.weight;
    for (std::size_t c = 0; c < 3; ++c) {
      right.sum[c] -= left.sum[c];
      right.squares[c] -= left.squares[c];
    }
    const double error = left.Error() + right.Error();
    if (best < 0 || error < best) {
      best = error;
      split = i + 1;
    }
  }
  return {best, split};
}

// A box with the cut planned for it: across which channel, where, and how much error it removes.
struct Planned {
  Box box;
  std::size_t axis = 0;
  std::size_t split = 0;
  double gain = -1;  // below zero: the box holds one colour and cannot be cut
};

Planned Plan(std::vector<Point>& points, const Box& box) {
  Planned planned{box};
  if (box.end - box.begin < 2) return planned;
  const auto begin = points.begin() + static_cast<std::ptrdiff_t>(box.begin);
  const auto end = points.begin() + static_cast<std::ptrdiff_t>(box.end);
  for (std::size_t axis = 0; axis < 3; ++axis) {
    SortAlong(begin, end, axis);
    const auto [error, at] = BestCut(points, box);
    if (planned.gain < 0 || box.Error() - error > planned.gain) {
      planned.gain = std::max(0.0, box.Error() - error);
      planned.axis = axis;
      planned.split = at;
    }
  }
  return planned;
}

// Median cut: the box whose best cut (across whichever channel, wherever it leaves the least
// error in the two halves) removes the most error is cut, until there are `count` boxes or no box
// holds two colours.
std::vector<Box> MedianCut(std::vector<Point>& points, std::size_t count) {
  const auto less = [](const Planned& a, const Planned& b) {
    return a.gain < b.gain || (a.gain == b.gain && a.box.begin > b.box.begin);
  };
  std::priority_queue<Planned, std::vector<Planned>, decltype(less)> open(less);
  open.push(Plan(points, MakeBox(points, 0, points.size())));
  while (open.size() < count && open.top().gain >= 0) {
    const Planned planned = open.top();
    open.pop();
    SortAlong(points.begin() + static_cast<std::ptrdiff_t>(planned.box.begin),
              points.begin() + static_cast<std::ptrdiff_t>(planned.box.end), planned.axis);
    open.push(Plan(points, MakeBox(points, planned.box.begin, planned.split)));
    open.push(Plan(points, MakeBox(points, planned.split, planned.box.end)));
  }
  std::vector<Box> boxes;
  for (; !open.empty(); open.pop()) boxes.push_back(open.top().box);
  std::sort(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) { return a.begin < b.begin; });
  return boxes;
}

// Lloyd's passes: each point goes to its nearest entry (exactly as the mapping finds it), each
// entry to the rounded mean of its points (the nearest whole colour to the mean, the best a byte
// entry can do), until the palette no longer changes. Entries past `used` repeat entry 0, which
// on a tie never wins.
Palette Refine(const std::vector<Point>& points, Palette palette, std::size_t used) {
  std::vector<Point> entries(kPaletteEntries);
  std::vector<std::pair<double, std::size_t>> worst;  // (error, point) of the worst-served points
  for (int pass = 0; pass < kMostPasses; ++pass) {
    const ColorMatcher matcher(palette, ColorMatcher::Vectors::kWidest, ColorMatcher::Cells::kOne);
    std::fill(entries.begin(), entries.end(), Point{});
    worst.clear();
    for (std::size_t p = 0; p < points.size(); ++p) {
      const Point& point = points[p];
      const std::uint8_t index = matcher.Nearest(point.colour.data());
      Point& entry = entries[index];
      entry.weight += point.weight;
      for (std::size_t c = 0; c < 3; ++c) entry.sum[c] += point.sum[c];
      const double distance = SquaredDistance(point.colour.data(), palette.data() + 3 * index);
      if (distance > 0) worst.emplace_back(distance * static_cast<double>(point.weight), p);
    }
    // An entry no point chose moves onto one of the points served worst: that can only lower the
    // error. The rest move to the means of their points.
    if (std::any_of(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(used),
                    [](const Point& entry) { return entry.weight == 0; })) {
      std::sort(worst.begin(), worst.end(),
                [](const auto& a, const auto& b) { return a.first > b.first || (a.first == b.first && a.second < b.second); });
    } else {
      worst.clear();
    }
    auto next_worst = worst.begin();
    Palette moved = palette;
    for (std::size_t i = 0; i < used; ++i) {
      if (entries[i].weight == 0) {
        if (next_worst == worst.end()) continue;
        std::copy_n(points[(next_worst++)->second].colour.begin(), 3, moved.begin() + static_cast<std::ptrdiff_t>(3 * i));
        continue;
      }
      entries[i].Round();
      std::copy_n(entries[i].colour.begin(), 3, moved.begin() + static_cast<std::ptrdiff_t>(3 * i));
    }
    for (std::size_t i = used; i < kPaletteEntries; ++i) std::copy_n(moved.begin(), 3, moved.begin() + static_cast<std::ptrdiff_t>(3 * i));
    if (moved == palette) break;
    palette = moved;
  }
  return palette;
}

// How the points fall to the entries of `palette`: each entry's pixels and error, the error in all,
// and for each entry its point served worst.
struct Fit {
  std::array<double, kPaletteEntries> weight{}, error{};
  std::array<std::size_t, kPaletteEntries> worst_point{};
  std::array<double, kPaletteEntries> worst_error{};
  double total = 0;
};

Fit Measure(const std::vector<Point>& points, const Palette& palette) {
  const ColorMatcher matcher(palette, ColorMatcher::Vectors::kWidest, ColorMatcher::Cells::kOne);
  Fit fit;
  for (std::size_t p = 0; p < points.size(); ++p) {
    const std::uint8_t index = matcher.Nearest(points[p].colour.data());
    const double error =
        SquaredDistance(points[p].colour.data(), palette.data() + 3 * index) * static_cast<double>(points[p].weight);
    fit.weight[index] += static_cast<double>(points[p].weight);
    fit.error[index] += error;
    fit.total += error;
    if (error > fit.worst_error[index]) {
      fit.worst_error[index] = error;
      fit.worst_point[index] = p;
    }
  }
  return fit;
}

// Where k-means stops, a better fit may lie farther away: the two entries that cost least to merge
// are merged, the freed entry is put on the worst-served colour of the entry with the most error
// (of those not tried in vain since the last gain), and k-means runs again; kept only when the
// error falls. Tried a few times on small sets of points, where it is cheap.
Palette MergeAndSplitTrials(const std::vector<Point>& points, Palette palette, std::size_t used) {
  // Each trial runs k-means again over every point: on up to 2^14 points, 24 trials cost about as
  // much as the rest of the fit, and on the libraries measured later trials no longer helped.
  constexpr std::size_t kMostPointsToImprove = std::size_t{1} << 14;
  constexpr int kTrials = 24;
  if (points.size() > kMostPointsToImprove || used < 3) return palette;
  Fit fit = Measure(points, palette);
  std::array<bool, kPaletteEntries> failed{};  // entries whose last trial did not help
  for (int trial = 0; trial < kTrials; ++trial) {
    std::size_t worst = used;
    for (std::size_t i = 0; i < used; ++i) {
      if (!failed[i] && (worst == used || fit.error[i] > fit.error[worst])) worst = i;
    }
    if (worst == used) break;
    double least = -1;
    std::size_t first = 0, second = 0;
    for (std::size_t i = 0; i < used; ++i) {
      for (std::size_t j = i + 1; j < used; ++j) {
        if (i == worst || j == worst || fit.weight[i] == 0 || fit.weight[j] == 0) continue;
        const double distance = SquaredDistance(palette.data() + 3 * i, palette.data() + 3 * j);
        const double cost = distance * fit.weight[i] * fit.weight[j] / (fit.weight[i] + fit.weight[j]);
        if (least < 0 || cost < least) {
          least = cost;
          first = i;
          second = j;
        }
      }
    }
    if (least < 0 || fit.worst_error[worst] == 0) break;
    Palette trying = palette;
    for (std::size_t c = 0; c < 3; ++c) {
      const double merged = (fit.weight[first] * palette[3 * first + c] + fit.weight[second] * palette[3 * second + c]) /
                            (fit.weight[first] + fit.weight[second]);
      trying[3 * first + c] = static_cast<std::uint8_t>(merged + 0.5);
      trying[3 * second + c] = points[fit.worst_point[worst]].colour[c];
    }
    trying = Refine(points, trying, used);
    Fit tried = Measure(points, trying);
    if (tried.total >= fit.total) {
      failed[worst] = true;
      continue;
    }
    palette = trying;
    fit = tried;
    failed = {};
  }
  return palette;
}

// The entries ordered by the pixels of the library they stand for, most first (the greater colour
// key on ties); entries that stand for none become black.
Palette Order(const ColorHistogram& histogram, const Palette& palette) {
  const ColorMatcher matcher(palette);
  std::array<PixelCount, kPaletteEntries> pixels{};
  histogram.ForEach([&](std::uint32_t key, PixelCount count) {
    const std::uint8_t rgb[3] = {static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(key >> 8),
                                 static_cast<std::uint8_t>(key >> 16)};
    const int only = matcher.OnlyCandidate(rgb);
    pixels[only >= 0 ? static_cast<std::size_t>(only) : matcher.Nearest(rgb)] += count;
  });
  std::array<std::size_t, kPaletteEntries> order;
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  const auto key = [&](std::size_t i) {
    return palette[3 * i] | palette[3 * i + 1] << 8 | palette[3 * i + 2] << 16;
  };
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return pixels[a] > pixels[b] || (pixels[a] == pixels[b] && key(a) > key(b));
  });
  Palette ordered{};
  for (std::size_t k = 0; k < order.size() && pixels[order[k]] > 0; ++k) {
    std::copy_n(palette.begin() + static_cast<std::ptrdiff_t>(3 * order[k]), 3, ordered.begin() + static_cast<std::ptrdiff_t>(3 * k));
  }
  return ordered;
}

}  // namespace

Palette MedianCutPalette(const ColorHistogram& histogram, Refinement refinement, std::size_t entries) {
  const std::size_t distinct = histogram.DistinctColors();
  if (distinct <= entries) {
    // Every colour gets an entry: the popularity palette, exactly.
    return PopularityPalette(histogram, entries);
  }
  std::vector<Point> points = Points(histogram, distinct);
  // Fewer boxes than entries leave the rest to repeat entry 0: they never win a colour, so the
  // ordering below makes them black.
  const std::vector<Box> boxes = MedianCut(points, std::min(entries, kPaletteEntries));
  Palette palette{};
  for (std::size_t i = 0; i < kPaletteEntries; ++i) {
    const Box& box = boxes[i < boxes.size() ? i : 0];
    for (std::size_t c = 0; c < 3; ++c) {
      palette[3 * i + c] = static_cast<std::uint8_t>(std::min(255.0, std::max(0.0, box.sum[c] / box.weight + 0.5)));
    }
  }
  if (refinement == Refinement::kNone) return Order(histogram, palette);
  return Order(histogram, MergeAndSplitTrials(points, Refine(points, palette, boxes.size()), boxes.size()));
}

}  // namespace tarnvick
