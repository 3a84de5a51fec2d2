// The PNG writer: what it makes is read back by libpng, pixel for pixel, for images whose rows
// each favour another filter, for odd sizes, and for indexed images.
#include "texture/png_encoder.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/png_reader.h"
#include "support/temp_dir.h"

namespace tarnvick::testing {
namespace {

struct RgbCase {
  const char* name;
  std::uint32_t width, height;
  std::function<std::uint8_t(std::uint32_t x, std::uint32_t y, int channel)> value;
};

TEST(PngEncoder, RgbImagesReadBackPixelForPixel) {
  const RgbCase cases[] = {
      {"one pixel", 1, 1, [](auto, auto, int c) { return static_cast<std::uint8_t>(40 * c + 7); }},
      {"flat", 5, 3, [](auto, auto, int) { return std::uint8_t{200}; }},
      {"across (sub)", 37, 4, [](auto x, auto, int c) { return static_cast<std::uint8_t>(x * 3 + c); }},
      {"down (up)", 9, 40, [](auto, auto y, int c) { return static_cast<std::uint8_t>(y * 5 + c * 50); }},
      {"diagonal (average, Paeth)", 33, 33, [](auto x, auto y, int c) { return static_cast<std::uint8_t>(x * 7 + y * 11 + c); }},
      {"noise, wrapping", 64, 17,
       [](auto x, auto y, int c) { return static_cast<std::uint8_t>((x * 2654435761u ^ y * 40503u ^ (c + 1) * 977u) >> 5); }},
  };
  const TempDir dir;
  for (const RgbCase& test : cases) {
    std::vector<std::uint8_t> pixels;
    for (std::uint32_t y = 0; y < test.height; ++y) {
      for (std::uint32_t x = 0; x < test.width; ++x) {
        for (int c = 0; c < 3; ++c) pixels.push_back(test.value(x, y, c));
      }
    }
    const Result<std::vector<std::uint8_t>> png = EncodePng({test.width, test.height, pixels, {}});
    ASSERT_TRUE(png) << test.name;
    WriteBytes(dir / "rgb.png", *png);
    const RgbImage image = ReadPng(dir / "rgb.png");
    EXPECT_EQ(image.width, test.width) << test.name;
    EXPECT_EQ(image.height, test.height) << test.name;
    EXPECT_EQ(image.rgb, pixels) << test.name;
  }
}

TEST(PngEncoder, IndexedImagesShowTheirPaletteEntries) {
  const std::vector<std::uint8_t> palette = {255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30, 250, 240, 230};
  const std::uint32_t width = 7;
  const std::uint32_t height = 3;
  std::vector<std::uint8_t> indices;
  std::vector<std::uint8_t> expected;
  for (std::uint32_t i = 0; i < width * height; ++i) {
    const std::uint8_t index = static_cast<std::uint8_t>((i * 3 + i / 5) % 5);
    indices.push_back(index);
    expected.insert(expected.end(), palette.begin() + 3 * index, palette.begin() + 3 * index + 3);
  }
  const Result<std::vector<std::uint8_t>> png = EncodePng({width, height, indices, palette});
  ASSERT_TRUE(png);
  const TempDir dir;
  WriteBytes(dir / "indexed.png", *png);
  const RgbImage image = ReadPng(dir / "indexed.png");
  EXPECT_EQ(image.width, width);
  EXPECT_EQ(image.rgb, expected);
}

}  // namespace
}  // namespace tarnvick::testing
