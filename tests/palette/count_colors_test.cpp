// Colour counting: the sorted, run-length counting must give exactly the counts of counting
// pixel by pixel, for every pixel layout the readers produce.
#include "palette/count_colors.h"

#include <gtest/gtest.h>

#include <map>

#include "support/expected_wal.h"
#include "texture/m32_texture.h"
#include "texture/m8_texture.h"

namespace tarnvick::testing {
namespace {

// Counts pixel by pixel, the plain way.
std::map<std::uint32_t, std::uint64_t> PlainCounts(const std::vector<std::uint8_t>& pixels, std::size_t extent, std::size_t step) {
  std::map<std::uint32_t, std::uint64_t> counts;
  for (std::size_t offset = 0; offset < extent; offset += step) {
    ++counts[pixels[offset] | (pixels[offset + 1] << 8) | (pixels[offset + 2] << 16)];
  }
  return counts;
}

std::map<std::uint32_t, std::uint64_t> HistogramCounts(const ColorHistogram& histogram) {
  std::map<std::uint32_t, std::uint64_t> counts;
  histogram.ForEach([&](std::uint32_t key, PixelCount count) { counts[key] = count; });
  return counts;
}

TEST(CountColors, EqualsCountingPixelByPixelAcrossTextures) {
  ColorHistogram histogram;
  std::map<std::uint32_t, std::uint64_t> expected;
  for (std::uint32_t seed = 0; seed < 6; ++seed) {
    // Few colours (long runs), many colours, and every value of each byte.
    std::vector<std::uint8_t> pixels = NoiseBytes(4 * 5000, seed);
    if (seed % 2 == 0) {
      for (std::uint8_t& b : pixels) b &= 0xC1;
    }
    M32Texture texture;
    texture.pixels = pixels;
    texture.bits_per_pixel = seed < 3 ? 32 : 24;
    const std::size_t step = texture.bits_per_pixel / 8;
    // An extent that stops short of the buffer, as an M8 texture's level 0 does.
    const std::size_t extent = seed == 4 ? step * 1234 : pixels.size() / step * step;
    texture.byte_extent = static_cast<std::int32_t>(extent);
    for (const auto& [key, count] : PlainCounts(pixels, extent, step)) expected[key] += count;
    ASSERT_TRUE(CountColors(texture, histogram));
    EXPECT_EQ(HistogramCounts(histogram), expected) << seed;
  }
}

TEST(CountColors, NothingForAnEmptyOrNegativeExtent) {
  ColorHistogram histogram;
  M32Texture texture;
  texture.pixels = NoiseBytes(400, 1);
  texture.bits_per_pixel = 32;
  texture.byte_extent = 0;
  ASSERT_TRUE(CountColors(texture, histogram));
  texture.byte_extent = -4;
  ASSERT_TRUE(CountColors(texture, histogram));
  EXPECT_TRUE(HistogramCounts(histogram).empty());
}

TEST(ColorHistogram, CountsPastSixteenBitsAddUpAcrossTablesAndIndices) {
  // One colour in 300,000 pixels (in runs and scattered), counted in two tables and merged, plus
  // an indexed texture whose 70,000 indices name that colour too.
  std::vector<std::uint8_t> pixels = NoiseBytes(4 * 300000, 21);
  std::map<std::uint32_t, std::uint64_t> expected;
  for (std::size_t i = 0; i < 300000; ++i) {
    if (i % 3 != 0 || i < 100000) {
      pixels[4 * i] = 9;
      pixels[4 * i + 1] = 8;
      pixels[4 * i + 2] = 7;
    }
  }
  ColorHistogram first;
  ColorHistogram second;
  for (ColorHistogram* table : {&first, &second}) {
    M32Texture texture;
    texture.pixels = pixels;
    texture.bits_per_pixel = 32;
    texture.byte_extent = static_cast<std::int32_t>(pixels.size());
    ASSERT_TRUE(CountColors(texture, *table));
    for (const auto& [key, count] : PlainCounts(pixels, pixels.size(), 4)) expected[key] += count;
  }
  M8Texture indexed;
  indexed.palette.fill(1);
  indexed.palette[3 * 200] = 9;
  indexed.palette[3 * 200 + 1] = 8;
  indexed.palette[3 * 200 + 2] = 7;
  indexed.pixels.assign(70000, 200);
  indexed.pixels.resize(80000, 3);  // past the extent: not counted
  indexed.bits_per_pixel = 8;
  indexed.byte_extent = 70000;
  ASSERT_TRUE(CountColors(indexed, second));
  expected[0x070809] += 70000;
  first.Merge(second);
  EXPECT_GT(expected[0x070809], 65536u * 8);
  EXPECT_EQ(HistogramCounts(first), expected);
  EXPECT_EQ(first.Count(0x070809), expected[0x070809]);
}

// Two tables merged, counters wrapping past 16 bits at the edges of the blocks they are added and
// passed over in, then walked from each least count (raised as the walk goes, as a ranking does):
// every colour counted at least that often is met with its whole count, and none uncounted.
TEST(ColorHistogram, MergedCountsWalkedFromALeastCountMeetEveryColourAtLeastThatCommon) {
  const std::map<std::uint32_t, std::pair<PixelCount, PixelCount>> counts = {
      {0, {1, 0}},           {15, {40000, 40000}}, {16, {65535, 1}},  {17, {3, 2}},   {31, {70000, 0}},
      {4096, {0, 65536}},    {4111, {2, 2}},       {0x7FFFF0, {9, 0}}, {0xFFFFFF, {65535, 65535}}};
  ColorHistogram first, second;
  ASSERT_TRUE(first.Reserve());
  ASSERT_TRUE(second.Reserve());
  for (const auto& [key, pair] : counts) {
    if (pair.first != 0) first.Add(key, pair.first);
    if (pair.second != 0) second.Add(key, pair.second);
  }
  first.Merge(second);
  struct Row {
    PixelCount least;
    PixelCount raised_to;  // after the first colour met
  };
  for (const Row row : {Row{1, 1}, Row{4, 4}, Row{5, 80000}, Row{65536, 65536}, Row{70000, 131070}, Row{1, 200000}}) {
    PixelCount least = row.least;
    std::map<std::uint32_t, PixelCount> met;
    first.ForEachAtLeast(least, [&](std::uint32_t key, PixelCount count) {
      met[key] = count;
      least = row.raised_to;
    });
    PixelCount threshold = row.least;
    for (const auto& [key, pair] : counts) {
      const PixelCount total = pair.first + pair.second;
      EXPECT_EQ(first.Count(key), total) << key;
      if (total >= threshold) {
        EXPECT_EQ(met.count(key), 1u) << key << " from " << row.least;
        threshold = row.raised_to;
      }
      if (met.count(key) != 0) {
        EXPECT_EQ(met[key], total) << key;
      }
    }
    for (const auto& [key, count] : met) {
      EXPECT_EQ(counts.count(key), 1u) << key;
    }
  }
}

}  // namespace
}  // namespace tarnvick::testing
