// Nearest-colour mapping: distance, ties, the cache and strides, in the plain search and the
// fast matcher.
#include "palette/color_matcher.h"
#include "palette/nearest_table.h"
#include "support/reference_nearest.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <thread>

#include "support/expected_wal.h"

namespace tarnvick::testing {
namespace {

Palette Fill(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  Palette palette{};
  for (std::size_t i = 0; i < kPaletteEntries; ++i) {
    palette[3 * i] = r;
    palette[3 * i + 1] = g;
    palette[3 * i + 2] = b;
  }
  return palette;
}

void Set(Palette& palette, std::size_t entry, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  palette[3 * entry] = r;
  palette[3 * entry + 1] = g;
  palette[3 * entry + 2] = b;
}

std::uint8_t Nearest(const Palette& palette, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  LastMatch cache;
  const std::uint8_t rgb[3] = {r, g, b};
  return NearestIndex(palette, rgb, cache);
}

TEST(NearestIndex, ExactMatchesAndTiesGoToTheLowestIndex) {
  Palette palette = Fill(0, 0, 0);
  Set(palette, 7, 10, 20, 30);
  Set(palette, 200, 10, 20, 30);
  EXPECT_EQ(Nearest(palette, 10, 20, 30), 7);

  palette = Fill(255, 255, 255);
  Set(palette, 3, 100, 100, 90);   // distance 100 from (100, 100, 100)
  Set(palette, 9, 100, 110, 100);  // distance 100 as well
  EXPECT_EQ(Nearest(palette, 100, 100, 100), 3);
  // The channels weigh equally: (0, 0, 10) is as far from black as (10, 0, 0).
  palette = Fill(255, 255, 255);
  Set(palette, 5, 10, 0, 0);
  Set(palette, 4, 0, 0, 10);
  EXPECT_EQ(Nearest(palette, 0, 0, 0), 4);
}

TEST(NearestIndex, AllZeroPaletteMapsEverythingToZero) {
  const Palette palette{};
  for (const auto& c : {Rgb{0, 0, 0}, Rgb{255, 255, 255}, Rgb{1, 200, 3}}) {
    EXPECT_EQ(Nearest(palette, c[0], c[1], c[2]), 0);
  }
}

TEST(NearestIndex, AgreesWithThePlainSearchThroughItsCacheOnRandomPalettes) {
  for (std::uint32_t seed = 1; seed <= 20; ++seed) {
    const std::vector<std::uint8_t> bytes = NoiseBytes(768 + 3 * 500, seed);
    Palette palette{};
    std::copy(bytes.begin(), bytes.begin() + 768, palette.begin());
    // One cache for the whole run of colours, each asked twice: the second answer is the cache's.
    LastMatch cache;
    for (std::size_t i = 768; i < bytes.size(); i += 3) {
      for (int ask = 0; ask < 2; ++ask) {
        EXPECT_EQ(NearestIndex(palette, &bytes[i], cache), BruteForceNearest(palette, {bytes[i], bytes[i + 1], bytes[i + 2]}));
      }
    }
  }
}

TEST(MapPixels, BlackIsSearchedLikeAnyOtherColour) {
  // Entry 0 is white: black pixels at the start of a run must not get index 0 from the cache.
  Palette palette = Fill(255, 255, 255);
  Set(palette, 9, 0, 0, 0);
  const std::uint8_t pixels[] = {0, 0, 0, 0, 0, 0, 250, 250, 250, 0, 0, 0};
  std::uint8_t out[4] = {};
  MapPixels(out, 4, pixels, palette, 3);
  EXPECT_EQ(std::vector<std::uint8_t>(out, out + 4), (std::vector<std::uint8_t>{9, 9, 0, 9}));
}

TEST(MapPixels, TheFourthByteOfAPixelIsIgnoredAndNothingIsWrittenForCountsBelowOne) {
  Palette palette = Fill(0, 0, 0);
  Set(palette, 1, 10, 20, 30);
  Set(palette, 2, 10, 20, 31);
  const std::uint8_t pixels[] = {10, 20, 30, 0, 10, 20, 30, 255, 10, 20, 31, 1, 10, 20, 30, 77};
  std::uint8_t out[5] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
  MapPixels(out, 4, pixels, palette, 4);
  EXPECT_EQ(std::vector<std::uint8_t>(out, out + 5), (std::vector<std::uint8_t>{1, 1, 2, 1, 0xAA}));
  MapPixels(out, 0, pixels, palette, 4);
  MapPixels(out, -5, pixels, palette, 4);
  EXPECT_EQ(out[0], 1);
}

// The fast matcher must give exactly the plain search's index for every colour.
TEST(ColorMatcher, EqualsThePlainSearchOnAGridOfColoursForPalettesWithTies) {
  std::vector<Palette> palettes;
  Palette random{};
  const std::vector<std::uint8_t> noise = NoiseBytes(768, 11);
  std::copy(noise.begin(), noise.end(), random.begin());
  palettes.push_back(random);
  // Few distinct values, many duplicates and equidistant entries: ties everywhere.
  Palette coarse{};
  for (std::size_t i = 0; i < coarse.size(); ++i) coarse[i] = static_cast<std::uint8_t>((noise[i] % 3) * 127);
  palettes.push_back(coarse);
  palettes.push_back(Palette{});
  Palette greys = Fill(255, 255, 255);
  for (std::size_t i = 0; i < 256; i += 2) Set(greys, i, static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(255 - i));
  palettes.push_back(greys);
  // Clusters of near twins, as a popularity palette has them: many candidates in one cell.
  Palette clustered{};
  for (std::size_t i = 0; i < clustered.size(); ++i) clustered[i] = static_cast<std::uint8_t>(100 + noise[i] % 24 + (i % 3) * 40);
  palettes.push_back(clustered);
  for (const Palette& palette : palettes) {
    for (const ColorMatcher::Vectors vectors : ColorMatcher::Available()) {
      const ColorMatcher matcher(palette, vectors);
      for (int r = 0; r < 256; r += 5) {
        for (int g = 1; g < 256; g += 6) {
          for (int b = 2; b < 256; b += 7) {
            const std::uint8_t rgb[3] = {static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b)};
            LastMatch fresh;
            ASSERT_EQ(matcher.Nearest(rgb), NearestIndex(palette, rgb, fresh))
                << r << "," << g << "," << b << " vectors " << static_cast<int>(vectors);
          }
        }
      }
      // Runs of colours along red: all 256 reds, or from red 200 on.
      for (int g = 3; g < 256; g += 17) {
        for (int b = 4; b < 256; b += 19) {
          const int first = g % 2 == 0 ? 200 : 0;
          std::uint8_t rgb[3] = {static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b)};
          std::array<std::uint8_t, 256> run{};
          matcher.MapReds(run.data(), rgb, static_cast<std::size_t>(256 - first));
          for (int r = first; r < 256; ++r) {
            rgb[0] = static_cast<std::uint8_t>(r);
            LastMatch fresh;
            ASSERT_EQ(run[static_cast<std::size_t>(r - first)], NearestIndex(palette, rgb, fresh))
                << r << "," << g << "," << b << " vectors " << static_cast<int>(vectors);
          }
        }
      }
    }
  }
}

TEST(ColorMatcher, MapsPixelRunsLikeMapPixelsWhateverWasSearchedBefore) {
  const std::vector<std::uint8_t> bytes = NoiseBytes(768, 12);
  Palette palette{};
  std::copy(bytes.begin(), bytes.end(), palette.begin());
  Set(palette, 0, 255, 255, 255);
  // Black first, repeated colours, strides 3 and 4, in either order, and later runs that meet the
  // same colours.
  for (const ColorMatcher::Vectors vectors : ColorMatcher::Available()) {
    const ColorMatcher matcher(palette, vectors);
    for (const int stride : {3, 4}) {
      std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride) * 3000, 0);
      const std::vector<std::uint8_t> noise = NoiseBytes(pixels.size(), static_cast<std::uint32_t>(stride));
      for (std::size_t i = 2 * pixels.size() / 3; i < pixels.size(); ++i) pixels[i] = noise[i] & 0xE0;
      for (const auto order : {ColorMatcher::Order::kCoherent, ColorMatcher::Order::kScattered, ColorMatcher::Order::kCoherent}) {
        std::vector<std::uint8_t> fast(3000), plain(3000);
        matcher.Map(fast.data(), fast.size(), pixels.data(), static_cast<std::size_t>(stride), order);
        MapPixels(plain.data(), 3000, pixels.data(), palette, stride);
        EXPECT_EQ(fast, plain) << static_cast<int>(vectors) << " " << static_cast<int>(order);
      }
    }
  }
}

// The table's entries, found when a colour is first met, by threads mapping at the same time, are
// the plain search's (entries 0 to 254 with transparency).
TEST(NearestTable, LooksUpThePlainSearchsEntryWhicheverThreadMetTheColourFirst) {
  Palette palette{};
  const std::vector<std::uint8_t> noise = NoiseBytes(768, 21);
  std::copy(noise.begin(), noise.end(), palette.begin());
  std::copy_n(palette.begin() + 3 * 40, 3, palette.begin() + 3 * 250);  // a tie
  // 20,000 random colours, then runs of one colour, as 4-byte and as 3-byte pixels.
  std::vector<std::uint8_t> pixels = NoiseBytes(4 * 24000, 22);
  for (std::size_t i = 20000; i < 24000; ++i) std::copy_n(pixels.begin() + 4 * (i / 50), 4, pixels.begin() + 4 * i);
  std::vector<std::uint8_t> packed;
  for (std::size_t i = 0; i < pixels.size(); i += 4) packed.insert(packed.end(), pixels.begin() + i, pixels.begin() + i + 3);
  struct Row {
    bool transparent;
    int threads;  // mapping at once
  };
  for (const Row row : {Row{false, 1}, Row{false, 2}, Row{true, 3}, Row{false, 8}}) {
    std::vector<std::uint8_t> expected;
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
      expected.push_back(BruteForceNearest(palette, {pixels[i], pixels[i + 1], pixels[i + 2]}, row.transparent ? 255 : 256));
    }
    const ColorMatcher matcher(row.transparent ? WithoutTransparentEntry(palette) : palette);
    const std::optional<NearestTable> table(std::move(*NearestTable::Empty(matcher)));
    std::vector<std::vector<std::uint8_t>> mapped(static_cast<std::size_t>(row.threads), std::vector<std::uint8_t>(expected.size()));
    std::vector<std::thread> mappers;
    for (std::vector<std::uint8_t>& out : mapped) {
      mappers.emplace_back([&] { table->Map(out.data(), out.size(), pixels.data(), 4); });
    }
    for (std::thread& mapper : mappers) mapper.join();
    std::vector<std::uint8_t> from_packed(expected.size());
    table->Map(from_packed.data(), from_packed.size(), packed.data(), 3);
    mapped.push_back(from_packed);
    for (const std::vector<std::uint8_t>& out : mapped) {
      EXPECT_EQ(out, expected) << row.transparent << " " << row.threads;
    }
  }
}

}  // namespace
}  // namespace tarnvick::testing
