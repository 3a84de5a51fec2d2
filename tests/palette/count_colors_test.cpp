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

}  // namespace
}  // namespace tarnvick::testing
