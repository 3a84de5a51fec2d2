#include "sampled_median_cut.h"

#include <algorithm>
#include <cmath>

#include "palette/count_colors.h"
#include "palette/median_cut.h"
#include "support/library_textures.h"
#include "support/reference_nearest.h"

namespace tarnvick::bench {
namespace {

struct Box {
  std::size_t begin, end;  // a range of the sample
  int channel;             // its widest channel
  int range;               // and that channel's range
};

Box Measured(const std::vector<Rgb>& points, std::size_t begin, std::size_t end) {
  Box box{begin, end, 0, -1};
  for (int c = 0; c < 3; ++c) {
    const auto [low, high] = std::minmax_element(points.begin() + begin, points.begin() + end,
                                                 [c](const Rgb& a, const Rgb& b) { return a[c] < b[c]; });
    if ((*high)[c] - (*low)[c] > box.range) box = {begin, end, c, (*high)[c] - (*low)[c]};
  }
  return box;
}

}  // namespace

std::vector<Rgb> SamplePixels(const std::string& root, std::size_t size) {
  std::uint64_t total = 0;
  ForEachLevel0Pixel(root, [&](const std::uint8_t*) { ++total; });
  const std::uint64_t step = std::max<std::uint64_t>(1, total / size);
  std::vector<Rgb> sample;
  std::uint64_t at = 0;
  ForEachLevel0Pixel(root, [&](const std::uint8_t* rgb) {
    if (at++ % step == 0) sample.push_back({rgb[0], rgb[1], rgb[2]});
  });
  return sample;
}

Palette SampledMedianCut(const std::vector<Rgb>& sample, int passes) {
  std::vector<Rgb> points = sample;
  std::vector<Box> boxes;
  if (!points.empty()) boxes.push_back(Measured(points, 0, points.size()));
  while (boxes.size() < kPaletteEntries) {
    const auto widest = std::max_element(boxes.begin(), boxes.end(),
                                         [](const Box& a, const Box& b) { return a.range < b.range; });
    if (widest->range <= 0) break;
    const Box box = *widest;
    const int c = box.channel;
    const auto first = points.begin() + static_cast<std::ptrdiff_t>(box.begin);
    const auto last = points.begin() + static_cast<std::ptrdiff_t>(box.end);
    std::sort(first, last, [c](const Rgb& a, const Rgb& b) { return a[c] < b[c]; });
    // The median, moved past equal values so that both halves are non-empty.
    std::size_t cut = box.begin + (box.end - box.begin) / 2;
    while (cut > box.begin && points[cut - 1][c] == points[cut][c]) --cut;
    if (cut == box.begin) {
      while (cut < box.end && points[cut][c] == points[box.begin][c]) ++cut;
    }
    *widest = Measured(points, box.begin, cut);
    boxes.push_back(Measured(points, cut, box.end));
  }
  std::vector<std::array<double, 3>> means(boxes.size(), {0, 0, 0});
  for (std::size_t b = 0; b < boxes.size(); ++b) {
    for (std::size_t i = boxes[b].begin; i < boxes[b].end; ++i) {
      for (int c = 0; c < 3; ++c) means[b][c] += points[i][c];
    }
    for (int c = 0; c < 3; ++c) means[b][c] /= static_cast<double>(boxes[b].end - boxes[b].begin);
  }
  const auto rounded = [&] {
    Palette palette{};
    for (std::size_t b = 0; b < means.size(); ++b) {
      for (int c = 0; c < 3; ++c) palette[3 * b + c] = static_cast<std::uint8_t>(std::lround(means[b][c]));
    }
    return palette;
  };
  for (int pass = 0; pass < passes; ++pass) {
    const Palette palette = rounded();
    std::vector<std::array<double, 4>> sums(kPaletteEntries, {0, 0, 0, 0});  // black tail entries too
    LastMatch cache;
    for (const Rgb& point : points) {
      std::array<double, 4>& sum = sums[NearestIndex(palette, point.data(), cache)];
      for (int c = 0; c < 3; ++c) sum[c] += point[c];
      sum[3] += 1;
    }
    for (std::size_t b = 0; b < means.size(); ++b) {
      if (sums[b][3] == 0) continue;
      for (int c = 0; c < 3; ++c) means[b][c] = sums[b][c] / sums[b][3];
    }
  }
  return rounded();
}

Palette UnrefinedMedianCut(const std::string& root) {
  ColorHistogram histogram;
  if (!histogram.Reserve()) return Palette{};
  ForEachTexture(root, true, [&](const Texture& texture, const SourceFile&) { (void)CountColors(texture, histogram); });
  const Result<Palette> palette = MedianCutPalette(histogram, Refinement::kNone);
  return palette ? *palette : Palette{};
}

}  // namespace tarnvick::bench
