// Dithering: the blur and seam measures against values worked out by hand, the tiled method
// against its plain form (whole and in rows, and an M8's levels through the program), colours the
// palette holds left as they are, the tiled method's seamless repeat, flat colours mixed from
// their neighbouring entries, the same WALs on any number of threads, and the blurred summary
// line and report column against a blur computed here directly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "convert/conversion_error.h"
#include "convert/dither.h"
#include "convert/quantize_mips.h"
#include "support/expected_wal.h"
#include "support/little_endian.h"
#include "support/ramp_palette.h"
#include "support/reference_nearest.h"
#include "support/run_program.h"
#include "support/seam_figure.h"
#include "support/temp_dir.h"
#include "texture/file_builders.h"

namespace tarnvick::testing {
namespace {

// The blur's weight at offset i: exp(-i^2 / 2) over the sum of the seven.
double Weight(int i) {
  double sum = 0;
  for (int k = -3; k <= 3; ++k) sum += std::exp(-k * k / 2.0);
  return std::abs(i) > 3 ? 0 : std::exp(-i * i / 2.0) / sum;
}

TEST(Blur, SpreadsOnePointByTheWeightsWrappingAroundAndKeepsAFlatPlane) {
  // Along a row of 7: pixel x takes the weight of its distance to 0 the short way round.
  std::vector<double> row = {1, 0, 0, 0, 0, 0, 0};
  BlurWrapped(row, 7, 1);
  const double expected_row[] = {Weight(0), Weight(1), Weight(2), Weight(3), Weight(3), Weight(2), Weight(1)};
  for (int x = 0; x < 7; ++x) EXPECT_NEAR(row[x], expected_row[x], 1e-12) << x;
  // In a plane of 9 x 9, the product of the weights; a point at the corner wraps to all four.
  std::vector<double> plane(81, 0.0);
  plane[0] = 1;
  BlurWrapped(plane, 9, 9);
  for (const auto& [x, y, dx, dy] : {std::array{0, 0, 0, 0}, {2, 1, 2, 1}, {8, 7, -1, -2}, {3, 6, 3, -3}, {4, 4, 4, 4}}) {
    EXPECT_NEAR(plane[9 * y + x], Weight(dx) * Weight(dy), 1e-12) << x << "," << y;
  }
  std::vector<double> flat(12, 5.0);
  BlurWrapped(flat, 4, 3);
  for (const double value : flat) EXPECT_NEAR(value, 5.0, 1e-12);
}

TEST(Seam, NoSeamForAnEvenErrorAndTheBandOverTheRestForAnErrorAtTheEdge) {
  const std::vector<std::uint8_t> source(3 * 64, 100);
  std::vector<std::uint8_t> even(3 * 64, 90);
  EXPECT_NEAR(SeamFigure(source, even, 8, 8), 1.0, 1e-12);
  EXPECT_EQ(SeamFigure(source, source, 8, 8), 1.0);
  // Red off by 1 in column 0 alone: tiled 16 wide, the blurred error of column x of the middle
  // window (4 to 11) is the weight of its distance to column 8 (or 0, too far). The band is
  // columns 6 to 9 and rows 6 to 9; elsewhere, 4 columns (4, 5, 10, 11) of 4 rows.
  std::vector<std::uint8_t> edge = source;
  for (int y = 0; y < 8; ++y) edge[3 * 8 * y] = 101;
  const auto squared = [](int x) { return Weight(x - 8) * Weight(x - 8); };
  double all = 0, elsewhere = 0;
  for (int x = 4; x < 12; ++x) all += 8 * squared(x);
  for (const int x : {4, 5, 10, 11}) elsewhere += 4 * squared(x);
  EXPECT_NEAR(SeamFigure(source, edge, 8, 8), ((all - elsewhere) / 48) / (elsewhere / 16), 1e-9);
}

TEST(Dither, ColoursThePaletteHoldsStayAsTheyAreAndTransparentPixelsStayTransparent) {
  const Palette palette = RampPalette();
  const ColorMatcher matcher(WithoutTransparentEntry(palette));
  // A 16 x 8 texture (and its levels) of palette colours, every eleventh pixel transparent.
  const std::size_t pixels = 16 * 8 + 8 * 4 + 4 * 2 + 2 * 1;
  std::vector<std::uint8_t> source(4 * pixels), expected(pixels);
  Texture texture;
  texture.bits_per_pixel = 32;
  for (std::size_t i = 0; i < pixels; ++i) {
    const std::size_t entry = (i * 37) % 255;
    std::copy_n(&palette[3 * entry], 3, &source[4 * i]);
    source[4 * i + 3] = i % 11 == 0 ? 127 : 128;
    const std::vector<std::uint8_t> entries(palette.begin(), palette.end());
    expected[i] = i % 11 == 0 ? kTransparentIndex : BruteForceNearest(entries, {source[4 * i], source[4 * i + 1], source[4 * i + 2]});
  }
  texture.pixels = source;
  for (const Dither dither : {Dither::kTiled, Dither::kDiffusion}) {
    const auto indices = QuantizeMips(texture, 16, 8, 4, matcher, true, dither);
    ASSERT_TRUE(indices);
    EXPECT_EQ(*indices, expected) << static_cast<int>(dither);
  }
}

// Four levels (width x height, halving) of 4-byte pixels: a diagonal gradient with noise.
std::vector<std::uint8_t> GradientLevels(std::uint32_t width, std::uint32_t height, std::uint32_t seed) {
  std::vector<std::uint8_t> pixels;
  const std::vector<std::uint8_t> noise = NoiseBytes(4 * width * height * 2, seed);
  for (int level = 0; level < 4; ++level) {
    const std::uint32_t w = width >> level, h = height >> level;
    for (std::uint32_t y = 0; y < h; ++y) {
      for (std::uint32_t x = 0; x < w; ++x) {
        const std::uint8_t* n = &noise[4 * (pixels.size() / 4)];
        pixels.insert(pixels.end(), {static_cast<std::uint8_t>(255 * x / w), static_cast<std::uint8_t>(255 * y / h),
                                     static_cast<std::uint8_t>(96 + n[2] % 64), static_cast<std::uint8_t>(n[3])});
      }
    }
  }
  return pixels;
}

TEST(Dither, TiledDitheringOfATilingIsTheTilingOfTheDithering) {
  const ColorMatcher matcher(RampPalette());
  const std::uint32_t w = 128, h = 64;  // level 3 still a multiple of the class matrix
  Texture texture, tiled;
  texture.bits_per_pixel = tiled.bits_per_pixel = 32;
  texture.pixels = GradientLevels(w, h, 9);
  // Each level repeated 2 x 2: the levels of a texture twice the size.
  std::size_t start = 0;
  for (int level = 0; level < 4; ++level) {
    const std::uint32_t lw = w >> level, lh = h >> level;
    for (std::uint32_t y = 0; y < 2 * lh; ++y) {
      for (std::uint32_t x = 0; x < 2 * lw; ++x) {
        const std::uint8_t* pixel = &texture.pixels[4 * (start + (y % lh) * lw + x % lw)];
        tiled.pixels.insert(tiled.pixels.end(), pixel, pixel + 4);
      }
    }
    start += std::size_t{lw} * lh;
  }
  for (const bool transparent : {false, true}) {
    const auto once = QuantizeMips(texture, w, h, 4, matcher, transparent, Dither::kTiled);
    const auto twice = QuantizeMips(tiled, 2 * w, 2 * h, 4, matcher, transparent, Dither::kTiled);
    ASSERT_TRUE(once && twice);
    std::size_t from = 0, to = 0, differing = 0;
    for (int level = 0; level < 4; ++level) {
      const std::uint32_t lw = w >> level, lh = h >> level;
      for (std::uint32_t y = 0; y < 2 * lh; ++y) {
        for (std::uint32_t x = 0; x < 2 * lw; ++x) differing += (*twice)[to++] != (*once)[from + (y % lh) * lw + x % lw];
      }
      from += std::size_t{lw} * lh;
    }
    EXPECT_EQ(differing, 0u) << transparent;
    // Dithered, not merely mapped: the gradient takes more entries than its nearest colours do.
    const auto mapped = QuantizeMips(texture, w, h, 4, matcher, transparent);
    ASSERT_TRUE(mapped);
    EXPECT_NE(*once, *mapped);
  }
}

TEST(Dither, AFlatColourBetweenTwoEntriesMixesThemToItsValue) {
  // Grey 136 lies between the ramp's greys 128 and 143 (entries 7 and 8): 7 of every 15 pixels
  // take the darker, 8 the lighter, within what a 16 x 16 level can show.
  const Palette palette = RampPalette();
  ASSERT_EQ(palette[3 * 7], 128);
  ASSERT_EQ(palette[3 * 8], 143);
  const ColorMatcher matcher(palette);
  Texture texture;
  texture.bits_per_pixel = 32;
  texture.pixels.assign(4 * (256 + 64 + 16 + 4), 136);
  for (const Dither dither : {Dither::kTiled, Dither::kDiffusion}) {
    const auto indices = QuantizeMips(texture, 16, 16, 1, matcher, false, dither);
    ASSERT_TRUE(indices);
    double sum = 0;
    for (const std::uint8_t index : *indices) {
      ASSERT_TRUE(index == 7 || index == 8) << static_cast<int>(index);
      sum += palette[3 * index];
    }
    EXPECT_NEAR(sum / 256, 136.0, 0.5) << static_cast<int>(dither);
  }
}

// The tiled method done plainly: the whole level in one array, class after class in raster
// order, each pixel searched over all 256 entries, its error shared out by division.
std::vector<std::uint8_t> PlainTiledDither(const std::vector<std::uint8_t>& rgb, const std::vector<std::uint8_t>& opaque,
                                           int width, int height, const Palette& palette) {
  int side = 8;
  while (width % side != 0 || height % side != 0) side /= 2;
  // Class of (x, y): the rank of its matrix value among those of the top-left side x side corner.
  const auto value = [&](int x, int y) { return kTiledClasses[8 * (y % side) + x % side]; };
  const auto class_of = [&](int x, int y) {
    int rank = 0;
    for (int j = 0; j < side * side; ++j) rank += value(j % side, j / side) < value(x, y);
    return rank;
  };
  const std::vector<std::uint8_t> entries(palette.begin(), palette.end());
  std::vector<std::array<int, 3>> error(static_cast<std::size_t>(width) * height);
  std::vector<std::uint8_t> out(error.size());
  for (int k = 0; k < side * side; ++k) {
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        if (class_of(x, y) != k) continue;
        const std::size_t i = static_cast<std::size_t>(y) * width + x;
        if (!opaque.empty() && opaque[i] == 0) {
          out[i] = kTransparentIndex;
          continue;
        }
        std::array<int, 3> wanted;
        Rgb goal;
        for (int c = 0; c < 3; ++c) {
          wanted[c] = std::clamp(16 * rgb[3 * i + c] + error[i][c], 0, 16 * 255);
          goal[c] = static_cast<std::uint8_t>((wanted[c] + 8) / 16);
        }
        out[i] = BruteForceNearest(entries, goal);
        // The later neighbours, their weights, and each one's share in 1/65536, the last taking the rest.
        std::vector<std::pair<std::size_t, int>> later;
        int total = 0;
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            const int nx = (x + dx + width) % width, ny = (y + dy + height) % height;
            if ((dx == 0 && dy == 0) || class_of(nx, ny) <= k) continue;
            later.emplace_back(static_cast<std::size_t>(ny) * width + nx, dx == 0 || dy == 0 ? 2 : 1);
            total += later.back().second;
          }
        }
        for (int c = 0; c < 3; ++c) {
          const int step = wanted[c] - 16 * palette[3 * out[i] + c];
          int left = step;
          for (std::size_t n = 0; n < later.size(); ++n) {
            const int share = n + 1 == later.size() ? left : (step * ((later[n].second * 65536 + total / 2) / total) + 32768) >> 16;
            error[later[n].first][c] += share;
            left -= share;
          }
        }
      }
    }
  }
  return out;
}

TEST(Dither, TiledDitheringEqualsItsPlainForm) {
  const Palette palette = RampPalette();
  const ColorMatcher matcher(palette);
  // Sizes whose matrix side is 8, 4, 2 and 1; planes of one cell, one column, and one row (whose
  // cells pass error across a corner into their own row); levels of one row or one column; levels
  // worked in rows with more rows than are kept at once (8 x 280, 12 x 68, 6 x 18, 3 x 41). Noise
  // over a gradient, with and without transparent pixels; and indices of a palette of noise.
  for (const auto& [width, height] : {std::pair{64, 48}, {24, 40}, {12, 20}, {6, 10}, {5, 7}, {8, 8}, {8, 64}, {64, 8}, {4, 12}, {64, 2},
                                      {4, 2}, {2, 2}, {1, 9}, {9, 1}, {16, 1}, {7, 3}, {2, 16}, {8, 280}, {12, 68}, {6, 18}, {3, 41}}) {
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    const std::vector<std::uint8_t> noise = NoiseBytes(4 * pixels, static_cast<std::uint32_t>(width)),
                                    index_colours = NoiseBytes(768, static_cast<std::uint32_t>(height));
    std::vector<std::uint8_t> rgb(3 * pixels), rgba(4 * pixels), opaque(pixels), indices(pixels), looked_up(3 * pixels);
    for (std::size_t i = 0; i < pixels; ++i) {
      for (int c = 0; c < 3; ++c) rgb[3 * i + c] = rgba[4 * i + c] = static_cast<std::uint8_t>((i % width) * 200 / width + noise[4 * i + c] % 56);
      opaque[i] = noise[4 * i + 3] % 7 != 0;
      rgba[4 * i + 3] = opaque[i] ? kOpaqueAlpha : kOpaqueAlpha - 1;
      indices[i] = noise[4 * i + 3];
      std::copy_n(&index_colours[3 * indices[i]], 3, &looked_up[3 * i]);
    }
    const struct {
      LevelPixels level;
      const std::vector<std::uint8_t>& colours;
      std::vector<std::uint8_t> mask;
    } kinds[] = {{{rgb, 3}, rgb, {}}, {{rgba, 4, nullptr, true}, rgb, opaque}, {{indices, 1, index_colours.data()}, looked_up, {}}};
    for (const auto& [level, colours, mask] : kinds) {
      const std::vector<std::uint8_t> expected = PlainTiledDither(colours, mask, width, height, palette);
      // Whole and in rows.
      for (const std::size_t most_whole : {kMostWholeLevel, std::size_t{0}}) {
        std::vector<std::uint8_t> out(pixels);
        DitherLevel(level, width, height, matcher, Dither::kTiled, out.data(), most_whole);
        EXPECT_EQ(out, expected) << width << "x" << height << " " << level.stride << " " << most_whole;
      }
    }
    // Diffusion reads indices through their palette.
    std::vector<std::uint8_t> through_palette(pixels), of_colours(pixels);
    DitherLevel(kinds[2].level, width, height, matcher, Dither::kDiffusion, through_palette.data());
    DitherLevel({looked_up, 3}, width, height, matcher, Dither::kDiffusion, of_colours.data());
    EXPECT_EQ(through_palette, of_colours) << width << "x" << height;
  }
}

TEST(Dither, AnM8IsDitheredFromTheColoursOfItsIndices) {
  TempDir dir;
  const Palette ramps = RampPalette();
  WriteBytes(dir / "p.pal", {ramps.begin(), ramps.end()});
  // Each level's matrix side: 8, 4, 2, 1 (24 x 40) and 8, 8, 4, 2 (32 x 16).
  for (const auto& [width, height] : {std::pair{24u, 40u}, {32u, 16u}}) {
    M8Fields fields;
    fields.version = 2;
    std::size_t pixels = 0;
    for (std::uint32_t level = 0; level < 4; ++level) {
      fields.width.push_back(width >> level);
      fields.height.push_back(height >> level);
      pixels += std::size_t{width >> level} * (height >> level);
    }
    fields.palette = NoiseBytes(768, width);
    fields.indices = NoiseBytes(pixels, height);
    WriteBytes(dir / "tex/t.m8", BuildM8(fields));
    ASSERT_EQ(RunTarnvick({"tex", "-pp.pal", "--dither"}, {.working_directory = dir.path()}).exit_code, 0);
    const std::vector<std::uint8_t> wal = ReadBytes(dir / "tex/t.wal");
    std::size_t first = 0;
    for (std::uint32_t level = 0; level < 4; ++level) {
      const std::uint32_t w = width >> level, h = height >> level;
      std::vector<std::uint8_t> colours;
      for (std::size_t i = first; i < first + std::size_t{w} * h; ++i) {
        colours.insert(colours.end(), &fields.palette[3 * fields.indices[i]], &fields.palette[3 * fields.indices[i]] + 3);
      }
      const auto level_start = wal.begin() + Get32(wal, 40 + 4 * level);
      EXPECT_EQ(std::vector<std::uint8_t>(level_start, level_start + std::ptrdiff_t{w} * h),
                PlainTiledDither(colours, {}, static_cast<int>(w), static_cast<int>(h), ramps))
          << width << "x" << height << " level " << level;
      first += std::size_t{w} * h;
    }
  }
}

// The bytes of every WAL below `directory`, by name.
std::map<std::string, std::vector<std::uint8_t>> Wals(const std::string& directory, const std::vector<std::string>& names) {
  std::map<std::string, std::vector<std::uint8_t>> wals;
  for (const std::string& name : names) wals[name] = ReadBytes(directory + "/" + name);
  return wals;
}

TEST(Dither, TheSameWalsOnOneThreadAndOnEight) {
  TempDir dir;
  const Palette ramps = RampPalette();
  WriteBytes(dir / "p.pal", {ramps.begin(), ramps.end()});
  std::vector<std::string> names;
  for (std::uint32_t seed = 1; seed <= 12; ++seed) {
    M32Fields fields;
    fields.width = {32, 16, 8, 4};
    fields.height = {24, 12, 6, 3};
    fields.pixels = NoiseBytes(4 * (32 * 24 + 16 * 12 + 8 * 6 + 4 * 3), seed);
    WriteBytes(dir / ("tex/t" + std::to_string(seed) + ".m32"), BuildM32(fields));
    names.push_back("t" + std::to_string(seed) + ".wal");
  }
  for (const std::string method : {"--dither=tiled", "--dither=diffusion"}) {
    for (const std::string jobs : {"1", "8"}) {
      ASSERT_EQ(RunTarnvick({"tex", "-pp.pal", method, "--jobs=" + jobs, "--output-dir=j" + jobs}, {.working_directory = dir.path()}).exit_code, 0);
    }
    EXPECT_EQ(Wals(dir / "j1", names), Wals(dir / "j8", names)) << method;
    EXPECT_EQ(ReadBytes(dir / "j1/t1.wal").size(), 100u + 32 * 24 + 16 * 12 + 8 * 6 + 4 * 3);
  }
}

// The blurred squared error of a WAL's level 0 against `level0`, blurring the difference with
// the two-dimensional weights directly.
double BlurredSquared(const std::vector<std::uint8_t>& wal, const std::vector<Rgb>& level0, const Palette& palette, int w, int h) {
  double squared = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      for (int c = 0; c < 3; ++c) {
        double blurred = 0;
        for (int dy = -3; dy <= 3; ++dy) {
          for (int dx = -3; dx <= 3; ++dx) {
            const int at = (y + dy + h) % h * w + (x + dx + w) % w;
            blurred += Weight(dx) * Weight(dy) * (level0[at][c] - palette[3 * wal[Get32(wal, 40) + at] + c]);
          }
        }
        squared += blurred * blurred;
      }
    }
  }
  return squared;
}

TEST(Dither, SummaryAndReportGiveTheBlurredPsnr) {
  TempDir dir;
  const Palette ramps = RampPalette();
  WriteBytes(dir / "p.pal", {ramps.begin(), ramps.end()});
  std::vector<std::vector<Rgb>> level0;
  for (const std::uint32_t seed : {3u, 4u}) {
    M32Fields fields;
    fields.width = {16, 8, 4, 2};
    fields.height = {16, 8, 4, 2};
    fields.pixels = NoiseBytes(4 * (256 + 64 + 16 + 4), seed);
    for (std::size_t i = 0; i < 4 * 256; ++i) fields.pixels[i] = static_cast<std::uint8_t>(fields.pixels[i] / seed + 60);
    WriteBytes(dir / ("tex/" + std::to_string(seed) + ".m32"), BuildM32(fields));
    const std::vector<Rgb> pixels = PixelsOf32(fields.pixels);
    level0.emplace_back(pixels.begin(), pixels.begin() + 256);
  }
  const ProgramResult result = RunTarnvick({"tex", "-pp.pal", "-v", "--dither", "--report=r.csv"}, {.working_directory = dir.path()});
  ASSERT_EQ(result.exit_code, 0);
  const double three = BlurredSquared(ReadBytes(dir / "tex/3.wal"), level0[0], ramps, 16, 16);
  const double four = BlurredSquared(ReadBytes(dir / "tex/4.wal"), level0[1], ramps, 16, 16);
  const auto psnr = [](double squared, double values) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", 10 * std::log10(255.0 * 255.0 * values / squared));
    return std::string(text);
  };
  const std::string worst = three / 768 > four / 768 ? "3" : "4";
  EXPECT_NE(result.err.find("\ntarnvick: blurred PSNR " + psnr(three + four, 1536) + " dB, worst " +
                            psnr(std::max(three, four), 768) + " dB: tex/" + worst + ".m32\n"),
            std::string::npos)
      << result.err;
  const std::string report = AsPrinted(ReadText(dir / "r.csv"));
  EXPECT_TRUE(report.starts_with("path,width,height,psnr_db,blurred_psnr_db\ntex/")) << report;
  EXPECT_NE(report.find(".m32,16,16,"), std::string::npos);
  EXPECT_NE(report.find("," + psnr(three, 768) + "\n"), std::string::npos) << report;
  EXPECT_NE(report.find("," + psnr(four, 768) + "\n"), std::string::npos) << report;
}

}  // namespace
}  // namespace tarnvick::testing
