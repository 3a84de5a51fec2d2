// The summary of a run (counts and PSNR) and the preview image, checked against figures and
// pixels computed here from the sources.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/expected_wal.h"
#include "support/png_reader.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "texture/file_builders.h"

namespace tarnvick::testing {
namespace {

// A source written to disk with its level-0 pixels.
struct Source {
  std::string path;  // below the run's folder
  std::uint32_t width = 0, height = 0;
  std::vector<Rgb> level0;
};

// An M32 of w x h with a full chain of noise limited to `mask`, or an M8 (version 2) of the same.
Source WriteSource(const TempDir& dir, const std::string& path, std::uint32_t w, std::uint32_t h, std::uint32_t seed,
                   bool m8) {
  std::vector<std::uint32_t> widths, heights;
  std::size_t total = 0;
  for (std::uint32_t l = 0; l < 16 && (w >> l) > 0 && (h >> l) > 0; ++l) {
    widths.push_back(w >> l);
    heights.push_back(h >> l);
    total += static_cast<std::size_t>(w >> l) * (h >> l);
  }
  Source source{path, w, h, {}};
  std::vector<Rgb> pixels;
  if (m8) {
    M8Fields fields;
    fields.version = 2;
    fields.width = widths;
    fields.height = heights;
    fields.palette = NoiseBytes(768, seed + 500);
    fields.indices = NoiseBytes(total, seed);
    pixels = PixelsOfIndices(fields.indices, fields.palette);
    WriteBytes(dir / path, BuildM8(fields));
  } else {
    M32Fields fields;
    fields.width = widths;
    fields.height = heights;
    fields.pixels = NoiseBytes(4 * total, seed);
    for (std::size_t i = 0; i < fields.pixels.size(); ++i) fields.pixels[i] &= static_cast<std::uint8_t>(0xF0 | seed);
    pixels = PixelsOf32(fields.pixels);
    WriteBytes(dir / path, BuildM32(fields));
  }
  source.level0.assign(pixels.begin(), pixels.begin() + static_cast<std::ptrdiff_t>(std::size_t{w} * h));
  return source;
}

Rgb Entry(const std::vector<std::uint8_t>& palette, std::uint8_t index) {
  return {palette[3u * index], palette[3u * index + 1], palette[3u * index + 2]};
}

// The summed squared error of a source's level 0 mapped to its nearest entries.
std::uint64_t SquaredError(const Source& source, const std::vector<std::uint8_t>& palette) {
  std::uint64_t error = 0;
  for (const Rgb& colour : source.level0) {
    const Rgb mapped = Entry(palette, BruteForceNearest(palette, colour));
    for (int c = 0; c < 3; ++c) {
      const int d = colour[static_cast<std::size_t>(c)] - mapped[static_cast<std::size_t>(c)];
      error += static_cast<std::uint64_t>(d * d);
    }
  }
  return error;
}

std::string Psnr(double squared, double values) {
  if (squared == 0) return "inf";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", 10 * std::log10(255.0 * 255.0 / (squared / values)));
  return text;
}

TEST(Summary, CountsAndPsnrOfTheConvertedTexturesWithVerbose) {
  TempDir dir;
  const std::vector<std::uint8_t> palette = NoiseBytes(768, 77);
  WriteBytes(dir / "p.pal", palette);
  const std::vector<Source> sources = {WriteSource(dir, "tex/a.m32", 32, 16, 1, false),
                                       WriteSource(dir, "tex/b.m8", 16, 16, 2, true),
                                       WriteSource(dir, "tex/c.m32", 64, 64, 3, false)};
  WriteText(dir / "tex/d.m32", "cut short");
  double squared = 0, values = 0;
  std::size_t worst = 0;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    squared += static_cast<double>(SquaredError(sources[i], palette));
    values += 3.0 * static_cast<double>(sources[i].level0.size());
    const auto mean = [&](std::size_t k) {
      return static_cast<double>(SquaredError(sources[k], palette)) / (3.0 * static_cast<double>(sources[k].level0.size()));
    };
    if (mean(i) > mean(worst)) worst = i;
  }
  const double worst_squared = static_cast<double>(SquaredError(sources[worst], palette));
  const std::string summary = "tarnvick: 3 converted, 1 skipped\ntarnvick: palette PSNR " + Psnr(squared, values) +
                              " dB, worst " + Psnr(worst_squared, 3.0 * static_cast<double>(sources[worst].level0.size())) +
                              " dB: " + sources[worst].path + "\n";
  ProgramResult result = RunTarnvick({"tex", "-pp.pal", "-v"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.err, "tarnvick: skipped tex/d.m32: file is truncated (9 of 968 bytes)\n" + summary);
  EXPECT_EQ(result.exit_code, 0);
  // Without -v, and with standard error not a terminal, there is no summary.
  result = RunTarnvick({"tex", "-pp.pal"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.err, "tarnvick: skipped tex/d.m32: file is truncated (9 of 968 bytes)\n");
  // A palette that holds every colour: no error at all.
  std::filesystem::remove(dir / "tex/d.m32");
  WriteBytes(dir / "few/flat.m32", [] {
    M32Fields fields;
    fields.width = {8, 4, 2, 1};
    fields.height = {8, 4, 2, 1};
    for (int p = 0; p < 85; ++p) fields.pixels.insert(fields.pixels.end(), {static_cast<std::uint8_t>(p % 5 * 50), 9, 9, 0});
    return BuildM32(fields);
  }());
  result = RunTarnvick({"few", "-v"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.err, "tarnvick: 1 converted, 0 skipped\ntarnvick: palette PSNR inf dB, worst inf dB: few/flat.m32\n");
}

// What a terminal shows after `bytes`: "\r" goes back to the start of the line, "\033[K" clears
// from the cursor to the end of the line, "\n" starts a new line; other bytes overwrite.
std::string Screen(const std::string& bytes) {
  std::string screen, line;
  std::size_t column = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes.compare(i, 3, "\033[K") == 0) {
      line.resize(std::min(line.size(), column));
      i += 2;
    } else if (bytes[i] == '\r') {
      column = 0;
    } else if (bytes[i] == '\n') {
      screen += line + '\n';
      line.clear();
      column = 0;
    } else {
      if (column < line.size()) line[column] = bytes[i];
      else line += bytes[i];
      ++column;
    }
  }
  return screen + line;
}

TEST(Summary, OnATerminalWithoutVerboseWithALiveLineThatLeavesNothingBehind) {
  TempDir dir;
  WriteSource(dir, "tex/a.m32", 32, 16, 1, false);
  WriteSource(dir, "tex/b.m8", 16, 16, 2, true);
  WriteSource(dir, "tex/c.m32", 64, 64, 3, false);
  WriteText(dir / "tex/d.m32", "cut short");
  const ProgramResult filed = RunTarnvick({"tex", "-v"}, {.working_directory = dir.path()});
  const ProgramResult shown = RunTarnvick({"tex"}, {.working_directory = dir.path(), .stderr_terminal = true});
  EXPECT_EQ(shown.exit_code, 0);
  EXPECT_NE(filed.err.find("tarnvick: 3 converted, 1 skipped\n"), std::string::npos);
  EXPECT_EQ(filed.err.find('\r'), std::string::npos);
  // Each walk draws its count from the first file on, and erases it before anything else is shown.
  for (const char* live : {"\rtarnvick: counting colours, 1 of 4 files\033[K", "\rtarnvick: converting, 1 of 4 files\033[K"}) {
    EXPECT_NE(shown.err.find(live), std::string::npos) << live;
  }
  EXPECT_EQ(Screen(shown.err), filed.err);
}

// What the preview must show at (x, y) of a tile: on the left the source pixel the scaling picks,
// on the right that pixel's nearest palette entry, and black outside the scaled image.
Rgb TilePixel(const Source& source, const std::vector<std::uint8_t>& palette, std::uint32_t x, std::uint32_t y) {
  const std::uint32_t w = source.width, h = source.height, m = std::max(w, h);
  const std::uint32_t width = std::max(1u, w * 128 / m);
  const std::uint32_t height = std::max(1u, h * 128 / m);
  if (x % 128 >= width || y >= height) return {0, 0, 0};
  const Rgb colour = source.level0[std::size_t{y * h / height} * w + (x % 128) * w / width];
  return x < 128 ? colour : Entry(palette, BruteForceNearest(palette, colour));
}

bool Is(const RgbImage& image, std::uint32_t x, std::uint32_t y, const Rgb& colour) {
  return std::equal(colour.begin(), colour.end(), image.At(x, y));
}

// Checks the caption strip of the tile at (left, top) against `text`: every pixel outside the
// 8 x 8 cells of the text is the strip's grey, every pixel inside one is grey or the text's
// light grey, and a cell has light pixels exactly when its character is not a space.
void ExpectCaption(const RgbImage& image, std::uint32_t left, std::uint32_t top, const std::string& text) {
  const Rgb strip = {40, 40, 40}, ink = {230, 230, 230};
  ASSERT_LE(text.size(), 31u);
  std::vector<int> inked(text.size(), 0);
  for (std::uint32_t y = 0; y < 16; ++y) {
    for (std::uint32_t x = 0; x < 256; ++x) {
      const bool in_text = y >= 4 && y < 12 && x >= 4 && x < 4 + 8 * text.size();
      if (in_text && Is(image, left + x, top + y, ink)) {
        ++inked[(x - 4) / 8];
      } else {
        ASSERT_TRUE(Is(image, left + x, top + y, strip)) << "caption '" << text << "' at " << x << "," << y;
      }
    }
  }
  for (std::size_t i = 0; i < text.size(); ++i) EXPECT_EQ(inked[i] > 0, text[i] != ' ') << text << " character " << i;
}

TEST(Preview, PaletteBandAndCaptionedTilesWorstFirstLaidOutPixelByPixel) {
  TempDir dir;
  const std::vector<std::uint8_t> palette = NoiseBytes(768, 78);
  WriteBytes(dir / "p.pal", palette);
  // Five textures, so two rows of tiles; of several shapes, as M32 and M8.
  const std::vector<Source> sources = {
      WriteSource(dir, "tex/a.m32", 64, 32, 0x0F, false), WriteSource(dir, "tex/b.m8", 16, 64, 5, true),
      WriteSource(dir, "tex/c.m32", 200, 96, 0x03, false), WriteSource(dir, "tex/d.m32", 8, 8, 0x0C, false),
      WriteSource(dir, "tex/e.m8", 256, 8, 6, true)};
  const ProgramResult result = RunTarnvick({"tex", "-pp.pal", "--preview=out.png"}, {.working_directory = dir.path()});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const RgbImage image = ReadPng(dir / "out.png");
  ASSERT_EQ(image.width, 1024u);
  ASSERT_EQ(image.height, 128u + 2 * 144u);
  for (std::uint32_t y = 0; y < 128; ++y) {
    for (std::uint32_t x = 0; x < 1024; ++x) {
      const Rgb expected = x < 128 ? Entry(palette, static_cast<std::uint8_t>(y / 8 * 16 + x / 8)) : Rgb{0, 0, 0};
      ASSERT_TRUE(std::equal(expected.begin(), expected.end(), image.At(x, y))) << x << "," << y;
    }
  }
  // The tiles, largest mean squared error first.
  std::vector<std::size_t> order = {0, 1, 2, 3, 4};
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return static_cast<double>(SquaredError(sources[a], palette)) / static_cast<double>(sources[a].level0.size()) >
           static_cast<double>(SquaredError(sources[b], palette)) / static_cast<double>(sources[b].level0.size());
  });
  for (std::size_t k = 0; k < 8; ++k) {
    const std::uint32_t left = static_cast<std::uint32_t>(k % 4) * 256;
    const std::uint32_t top = 128 + static_cast<std::uint32_t>(k / 4) * 144;
    if (k < order.size()) {
      const Source& source = sources[order[k]];
      ExpectCaption(image, left, top,
                    Psnr(static_cast<double>(SquaredError(source, palette)), 3.0 * static_cast<double>(source.level0.size())) +
                        " dB  " + source.path.substr(4));
    }
    for (std::uint32_t y = k < order.size() ? 16 : 0; y < 144; ++y) {
      for (std::uint32_t x = 0; x < 256; ++x) {
        const Rgb expected = k < order.size() ? TilePixel(sources[order[k]], palette, x, y - 16) : Rgb{0, 0, 0};
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), image.At(left + x, top + y)))
            << "tile " << k << " at " << x << "," << y;
      }
    }
  }
}

TEST(Preview, LongCaptionsKeepTheirEndAndUnprintableBytesShowAsQuestionMarks) {
  TempDir dir;
  std::vector<std::uint8_t> palette(768, 0);
  palette[0] = palette[1] = palette[2] = 9;  // every source below maps exactly: "inf dB"
  WriteBytes(dir / "p.pal", palette);
  const std::string long_name = "deep/folder/a_rather_long_texture_name.m32";
  const std::string odd_name = std::string("q?\x01\xe9.m32");
  for (const std::string& name : {long_name, odd_name}) {
    M32Fields fields;
    fields.width = {8, 4, 2, 1};
    fields.height = {8, 4, 2, 1};
    for (int p = 0; p < 85; ++p) fields.pixels.insert(fields.pixels.end(), {9, 9, 9, 0});
    WriteBytes(dir / ("tex/" + name), BuildM32(fields));
  }
  ASSERT_EQ(RunTarnvick({"tex", "-s", "-pp.pal", "--preview=out.png"}, {.working_directory = dir.path()}).exit_code, 0);
  const RgbImage image = ReadPng(dir / "out.png");
  ASSERT_EQ(image.height, 128u + 144u);
  // Walk order on equal errors: the file of the start directory, then the subfolder's.
  const std::string odd = "inf dB  q???.m32";
  ExpectCaption(image, 0, 128, odd);
  const std::string full = "inf dB  " + long_name;
  ExpectCaption(image, 256, 128, "..." + full.substr(full.size() - 28));
  // Each unprintable byte draws exactly the '?' of the name.
  const auto cell = [&](std::uint32_t left, std::size_t i) {
    std::vector<bool> lit;
    for (std::uint32_t y = 132; y < 140; ++y) {
      for (std::uint32_t x = 0; x < 8; ++x) lit.push_back(Is(image, left + 4 + 8 * static_cast<std::uint32_t>(i) + x, y, {230, 230, 230}));
    }
    return lit;
  };
  for (std::size_t i : {10u, 11u}) EXPECT_EQ(cell(0, i), cell(0, 9)) << i;
  EXPECT_NE(cell(0, 8), cell(0, 9));
}

// The fields of a CSV text, line by line: fields split at commas, quoted fields with doubled
// quotes and line breaks inside.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',' || c == '\n') {
      row.push_back(field);
      field.clear();
      if (c == '\n') rows.push_back(std::move(row)), row.clear();
    } else {
      field += c;
    }
  }
  EXPECT_TRUE(field.empty() && row.empty() && !quoted) << "the text ends in a line break";
  return rows;
}

TEST(Report, OneCsvLineForEachWalWrittenInWalkOrder) {
  TempDir dir;
  const std::vector<std::uint8_t> palette = NoiseBytes(768, 80);
  WriteBytes(dir / "p.pal", palette);
  // Names that need quoting (a line break among them), a name with a control character and one
  // spelling what messages print for it, two sources of one WAL, a skipped source, and a subfolder.
  const std::vector<Source> sources = {
      WriteSource(dir, "tex/a,b.m32", 32, 16, 1, false),    WriteSource(dir, "tex/n\nl.m32", 8, 8, 7, false),
      WriteSource(dir, "tex/q\"uote.m8", 16, 16, 2, true),  WriteSource(dir, "tex/t.m32", 16, 32, 3, false),
      WriteSource(dir, "tex/t.m8", 64, 8, 4, true),         WriteSource(dir, "tex/x\ty.m32", 8, 8, 5, false),
      WriteSource(dir, "tex/x\\x09y.m32", 16, 8, 8, false), WriteSource(dir, "tex/z/last.m32", 8, 16, 6, false)};
  WriteText(dir / "tex/broken.m32", "cut short");
  for (const char* jobs : {"--jobs=1", "--jobs=3"}) {
    const ProgramResult result =
        RunTarnvick({"tex", "-s", "-pp.pal", jobs, "--report", "out.csv"}, {.working_directory = dir.path()});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    const std::vector<std::vector<std::string>> rows = ParseCsv(ReadText(dir / "out.csv"));
    ASSERT_EQ(rows.size(), sources.size() + 1);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"path", "width", "height", "psnr_db"}));
    for (std::size_t i = 0; i < sources.size(); ++i) {
      const Source& source = sources[i];
      // The path's own bytes, whatever messages print for them.
      const std::vector<std::string> expected = {
          source.path, std::to_string(source.width), std::to_string(source.height),
          Psnr(static_cast<double>(SquaredError(source, palette)), 3.0 * static_cast<double>(source.level0.size()))};
      EXPECT_EQ(rows[i + 1], expected) << jobs;
    }
  }
  // The quoting itself, byte for byte.
  const std::string text = ReadText(dir / "out.csv");
  EXPECT_NE(text.find("\n\"tex/a,b.m32\",32,16,"), std::string::npos) << text;
  EXPECT_NE(text.find("\n\"tex/q\"\"uote.m8\",16,16,"), std::string::npos) << text;
  EXPECT_NE(text.find("\n\"tex/n\nl.m32\",8,8,"), std::string::npos) << text;
}

TEST(Preview, WrittenAlsoWithNothingConvertedAndTellsWhenItCannotBe) {
  TempDir dir;
  const std::vector<std::uint8_t> palette = NoiseBytes(768, 79);
  WriteBytes(dir / "p.pal", palette);
  std::filesystem::create_directory(dir / "tex");
  ProgramResult result = RunTarnvick({"tex", "-pp.pal", "--preview=band.png"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.exit_code, 0);
  const RgbImage band = ReadPng(dir / "band.png");
  EXPECT_EQ(band.width, 1024u);
  EXPECT_EQ(band.height, 128u);
  std::filesystem::create_directory(dir / "folder.png");
  result = RunTarnvick({"tex", "-pp.pal", "--preview=folder.png"}, {.working_directory = dir.path()});
  // Found before anything is read.
  EXPECT_EQ(result.out, kBanner);
  EXPECT_EQ(result.err, "tarnvick: cannot write preview: folder.png: not a regular file\n");
  EXPECT_EQ(result.exit_code, 4);
}

}  // namespace
}  // namespace tarnvick::testing
