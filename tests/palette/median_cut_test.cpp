// The median-cut palette: exact for small libraries, deterministic, true to the ends of a
// gradient, improved by its k-means passes, and far better than popularity on the sample library.
#include "palette/median_cut.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "bench_library.h"
#include "palette/count_colors.h"
#include "sample_library.h"
#include "support/colour_tally.h"
#include "support/library_textures.h"
#include "support/reference_nearest.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "texture/file_builders.h"

namespace tarnvick::testing {
namespace {

// The library PSNR of `palette` over level 0 of every texture with four levels, mapped with the
// plain nearest search.
double LibraryPsnr(const std::string& root, const Palette& palette) {
  double squared = 0, values = 0;
  LastMatch cache;
  ForEachLevel0Pixel(root, [&](const std::uint8_t* rgb) {
    const std::uint8_t index = NearestIndex(palette, rgb, cache);
    for (std::size_t c = 0; c < 3; ++c) {
      const double d = static_cast<double>(rgb[c]) - palette[3u * index + c];
      squared += d * d;
    }
    values += 3;
  });
  return squared == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / (squared / values));
}

ColorHistogram& Counted(const std::string& root, ColorHistogram& histogram) {
  ForEachTexture(root, true, [&](const Texture& texture, const SourceFile&) { EXPECT_TRUE(CountColors(texture, histogram)); });
  return histogram;
}

// An M32 of `pixels` in one row (heights 1: it counts, though it makes no WAL).
void WriteRow(const std::string& path, const std::vector<Rgb>& pixels) {
  M32Fields fields;
  fields.width = {static_cast<std::uint32_t>(pixels.size())};
  fields.height = {1};
  for (const Rgb& c : pixels) fields.pixels.insert(fields.pixels.end(), {c[0], c[1], c[2], 0});
  WriteBytes(path, BuildM32(fields));
}

double SummaryPsnr(const std::string& err) {
  const std::size_t at = err.find("palette PSNR ");
  return at == std::string::npos ? -1 : std::stod(err.substr(at + 13));
}

TEST(MedianCut, AtMost256ColoursGiveExactlyThePopularityPalette) {
  for (const int colours : {1, 10, 255, 256}) {
    TempDir dir;
    ColourTally tally;
    std::vector<Rgb> pixels;
    for (int i = 0; i < colours; ++i) {
      // Counts 1 to 5, so that many colours tie.
      for (int k = 0; k <= i % 5; ++k) pixels.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i * 7), 3});
    }
    tally.Add(pixels);
    WriteRow(dir / "tex/a.m32", pixels);
    const ProgramResult result = RunTarnvick({"tex", "-opal.lmp", "--palette-method=median-cut"}, {.working_directory = dir.path()});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(ReadBytes(dir / "pal.lmp"), tally.Palette()) << colours;
  }
}

TEST(MedianCut, TheSamePaletteForAnyNumberOfThreadsRunAfterRun) {
  TempDir dir;
  ASSERT_TRUE(samples::WriteBenchLibrary(dir / "tex", 3));
  std::vector<std::vector<std::uint8_t>> palettes;
  for (const char* jobs : {"--jobs=1", "--jobs=8", "--jobs=8", "--jobs=3"}) {
    const ProgramResult result = RunTarnvick({"tex", "-s", "-opal.lmp", "--palette-method=median-cut", jobs},
                                             {.working_directory = dir.path()});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    palettes.push_back(ReadBytes(dir / "pal.lmp"));
  }
  EXPECT_EQ(palettes[0].size(), 768u);
  for (const auto& palette : palettes) EXPECT_EQ(palette, palettes[0]);
}

TEST(MedianCut, TwoFlatColoursWithAGradientBetweenKeepBothEnds) {
  TempDir dir;
  const Rgb from = {10, 200, 40};
  const Rgb to = {250, 20, 180};
  std::vector<Rgb> pixels(3000, from);
  for (int step = 0; step < 2000; ++step) {
    Rgb colour;
    for (std::size_t c = 0; c < 3; ++c) colour[c] = static_cast<std::uint8_t>(from[c] + (to[c] - from[c]) * step / 1999);
    pixels.push_back(colour);
  }
  pixels.insert(pixels.end(), 3000, to);
  WriteRow(dir / "tex/a.m32", pixels);
  ASSERT_EQ(RunTarnvick({"tex", "-opal.lmp", "--palette-method=median-cut"}, {.working_directory = dir.path()}).exit_code, 0);
  const std::vector<std::uint8_t> palette = ReadBytes(dir / "pal.lmp");
  const auto holds = [&](const Rgb& colour) {
    for (std::size_t i = 0; i < 256; ++i) {
      if (palette[3 * i] == colour[0] && palette[3 * i + 1] == colour[1] && palette[3 * i + 2] == colour[2]) return true;
    }
    return false;
  };
  EXPECT_TRUE(holds(from));
  EXPECT_TRUE(holds(to));
}

TEST(MedianCut, KMeansPassesNeverLowerThePsnr) {
  TempDir dir;
  ASSERT_TRUE(samples::WriteSampleLibrary(dir / "samples"));
  ASSERT_TRUE(samples::WriteBenchLibrary(dir / "bench", 2));  // enough colours to be merged into cells
  for (const std::string library : {"samples", "bench"}) {
    ColorHistogram histogram;
    Counted(dir / library, histogram);
    const Result<Palette> cut = MedianCutPalette(histogram, Refinement::kNone);
    const Result<Palette> refined = MedianCutPalette(histogram);
    ASSERT_TRUE(cut && refined);
    const double before = LibraryPsnr(dir / library, *cut);
    const double after = LibraryPsnr(dir / library, *refined);
    EXPECT_GE(after, before) << library;
    EXPECT_NE(*cut, *refined) << library << ": the passes moved nothing";
  }
}

TEST(MedianCut, SampleLibraryAtLeast51Point9DbAnd8DbAbovePopularity) {
  TempDir dir;
  ASSERT_TRUE(samples::WriteSampleLibrary(dir / "tex"));
  const ProgramResult popularity = RunTarnvick({"tex", "-s", "-v", "-opop.lmp"}, {.working_directory = dir.path()});
  const ProgramResult median_cut =
      RunTarnvick({"tex", "-s", "-v", "-omc.lmp", "--palette-method=median-cut"}, {.working_directory = dir.path()});
  const double psnr = SummaryPsnr(median_cut.err);
  EXPECT_GE(psnr, 51.9) << median_cut.err;
  EXPECT_GE(psnr - SummaryPsnr(popularity.err), 8.0) << popularity.err;
  // The summary's figure is the one computed here with the plain search.
  std::vector<std::uint8_t> bytes = ReadBytes(dir / "mc.lmp");
  Palette palette{};
  std::copy(bytes.begin(), bytes.end(), palette.begin());
  EXPECT_NEAR(LibraryPsnr(dir / "tex", palette), psnr, 0.006);
}

}  // namespace
}  // namespace tarnvick::testing
