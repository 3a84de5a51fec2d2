// The mip levels of QuantizeMips: each level taken from the pixels after the previous one, and
// sources that hold too few pixels refused.
#include "convert/quantize_mips.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tarnvick::testing {
namespace {

void Set(Palette& palette, std::size_t entry, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  palette[3 * entry] = r;
  palette[3 * entry + 1] = g;
  palette[3 * entry + 2] = b;
}

TEST(QuantizeMips, TakesEachLevelFromThePixelsAfterThePreviousOne) {
  // Entry i is grey level i; pixel p of the source has grey level (p / 64) % 256 ... with a
  // different level for each mip level, so any misplaced run shows.
  Palette palette{};
  for (std::size_t i = 0; i < kPaletteEntries; ++i) Set(palette, i, static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i));
  Texture source;
  source.bits_per_pixel = 24;
  for (const auto& [count, grey] : {std::pair{4096, 10}, {1024, 20}, {256, 30}, {64, 40}, {16, 50}}) {
    for (int p = 0; p < count; ++p) source.pixels.insert(source.pixels.end(), {static_cast<std::uint8_t>(grey), static_cast<std::uint8_t>(grey), static_cast<std::uint8_t>(grey)});
  }
  ColorMatcher matcher(palette);
  Result<std::vector<std::uint8_t>> quantized = QuantizeMips(source, 64, 64, 4, matcher);
  ASSERT_TRUE(quantized);
  const std::vector<std::uint8_t>& out = *quantized;
  ASSERT_EQ(out.size(), 5440u);
  EXPECT_EQ(std::count(out.begin(), out.begin() + 4096, 10), 4096);
  EXPECT_EQ(std::count(out.begin() + 4096, out.begin() + 5120, 20), 1024);
  EXPECT_EQ(std::count(out.begin() + 5120, out.begin() + 5376, 30), 256);
  EXPECT_EQ(std::count(out.begin() + 5376, out.end(), 40), 64);

  // 16 x 2: levels of 32, 8, 0 and 0 pixels.
  quantized = QuantizeMips(source, 16, 2, 4, matcher);
  ASSERT_TRUE(quantized);
  EXPECT_EQ(quantized->size(), 40u);
}

TEST(QuantizeMips, RefusesSourcesThatHoldTooFewPixels) {
  ColorMatcher matcher(Palette{});
  Texture source;
  source.bits_per_pixel = 24;
  source.pixels.assign(3 * 5439, 7);
  EXPECT_FALSE(QuantizeMips(source, 64, 64, 4, matcher));
  EXPECT_FALSE(QuantizeMips(source, 0xFFFFFFFF, 0xFFFFFFFF, 4, matcher));
  source.pixels.resize(3 * 5440);
  EXPECT_TRUE(QuantizeMips(source, 64, 64, 4, matcher));
}

}  // namespace
}  // namespace tarnvick::testing
