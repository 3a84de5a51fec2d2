// Mip levels made in linear light: the light table against its formula, pictures whose levels are
// known by hand (a checkerboard's grey, a fence's coverage, solid and empty pictures, ties), and
// random pictures against the levels made by the rule the plain way (support/levels_by_rule).
#include "convert/linear_mips.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <vector>

#include "support/levels_by_rule.h"

namespace tarnvick::testing {
namespace {

using Texel = std::array<std::uint8_t, 4>;
using Picture = std::vector<std::uint8_t>;

// Level 0 of `texel(x, y)` followed by room for levels 1 to 3.
Picture Make(std::uint32_t w, std::uint32_t h, const std::function<Texel(std::uint32_t, std::uint32_t)>& texel) {
  Picture rgba;
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      const Texel t = texel(x, y);
      rgba.insert(rgba.end(), t.begin(), t.end());
    }
  }
  rgba.resize(std::size_t{4} * w * h * 85 / 64);
  return rgba;
}

TEST(LinearMips, LightTableIsTheFormulaAndStrictlyIncreasing) {
  const std::array<std::int64_t, 256> light = LinearLightByFormula();
  for (int c = 0; c < 256; ++c) {
    EXPECT_EQ(kLinearLight[c], light[c]) << c;
  }
  for (int c = 1; c < 256; ++c) {
    EXPECT_LT(kLinearLight[c - 1], kLinearLight[c]) << c;
  }
}

TEST(LinearMips, PicturesKnownByHand) {
  const struct {
    const char* name;
    std::uint32_t w, h;
    bool transparent;
    std::function<Texel(std::uint32_t, std::uint32_t)> texel;
    int grey;                      // of every pixel of levels 1 to 3, or -1
    std::array<int, 3> opaque;     // pixels of levels 1 to 3 with alpha 255
    bool first_in_order;           // the opaque pixels are the first of each level
  } cases[] = {
      {"checkerboard", 16, 16, false, [](auto x, auto y) { return (x + y) % 2 ? Texel{255, 255, 255, 0} : Texel{0, 0, 0, 0}; }, 188, {64, 16, 4}, true},
      {"checkerboard, opaque", 8, 8, true, [](auto x, auto y) { return (x + y) % 2 ? Texel{255, 255, 255, 255} : Texel{0, 0, 0, 255}; }, 188, {16, 4, 1}, true},
      // 448 of 1024 texels opaque: 112 of 256, 28 of 64 and 7 (of 7.5) of 16 pixels.
      {"fence", 32, 32, true, [](auto x, auto y) { return x % 4 == 0 || y % 4 == 0 ? Texel{90, 60, 30, 255} : Texel{0, 0, 0, 0}; }, -1, {112, 28, 7}, false},
      {"solid", 16, 16, true, [](auto x, auto y) { return Texel{std::uint8_t(x * 16), std::uint8_t(y), 7, 128}; }, -1, {64, 16, 4}, true},
      {"empty", 16, 8, true, [](auto x, auto) { return Texel{std::uint8_t(x * 9), 3, 4, 127}; }, -1, {0, 0, 0}, true},
      // Every 2 x 2 block alike, half opaque: 8 of 16, 2 of 4 and 1 (of 0.5) pixels, the first ones.
      {"ties", 8, 8, true, [](auto x, auto) { return Texel{40, 50, 60, std::uint8_t(x % 2 ? 200 : 0)}; }, -1, {8, 2, 1}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Picture rgba = Make(c.w, c.h, c.texel);
    const Picture expected = LevelsByTheRule(rgba, c.w, c.h, c.transparent);
    MakeMipLevels(rgba, c.w, c.h, c.transparent);
    EXPECT_EQ(rgba, expected);
    std::size_t at = std::size_t{4} * c.w * c.h;
    for (int l = 1; l <= 3; ++l) {
      int opaque = 0;
      for (std::size_t i = 0; i < (c.w >> l) * (c.h >> l); ++i, at += 4) {
        EXPECT_TRUE(c.grey < 0 || (rgba[at] == c.grey && rgba[at + 1] == c.grey && rgba[at + 2] == c.grey)) << l << " " << i;
        opaque += rgba[at + 3] == 255;
        EXPECT_TRUE(!c.first_in_order || rgba[at + 3] == (static_cast<int>(i) < c.opaque[l - 1] ? 255 : 0)) << l << " " << i;
      }
      EXPECT_EQ(opaque, c.opaque[l - 1]) << l;
    }
  }
}

TEST(LinearMips, RandomPicturesAsSummedDirectly) {
  std::mt19937 random(7);
  // Alphas of each kind: mostly none or full, some around the threshold, in random bands.
  const std::array<std::uint8_t, 8> alphas = {0, 0, 0, 255, 255, 127, 128, 1};
  for (const auto& [w, h] : {std::pair{8u, 8u}, {16u, 8u}, {8u, 24u}, {40u, 16u}, {64u, 64u}}) {
    for (const bool transparent : {false, true}) {
      for (int round = 0; round < 4; ++round) {
        const std::uint32_t band = 1u << (random() % 4);
        std::vector<std::uint8_t> band_alpha(w * h);
        for (std::uint8_t& a : band_alpha) a = round == 3 ? std::uint8_t(random()) : alphas[random() % alphas.size()];
        Picture rgba = Make(w, h, [&](std::uint32_t x, std::uint32_t y) {
          return Texel{std::uint8_t(random()), std::uint8_t(random()), std::uint8_t(random()), band_alpha[y / band * w + x / band]};
        });
        const Picture expected = LevelsByTheRule(rgba, w, h, transparent);
        MakeMipLevels(rgba, w, h, transparent);
        EXPECT_EQ(rgba, expected) << w << "x" << h << " " << transparent << " " << round;
      }
    }
  }
}

}  // namespace
}  // namespace tarnvick::testing
