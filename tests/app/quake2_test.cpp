// Making WALs for the game: into an output folder that mirrors the library, and with Quake 2's
// transparent index 255, checked against files and indices worked out here.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/colour_tally.h"
#include "support/expected_wal.h"
#include "support/png_reader.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/texture_pairs.h"

namespace tarnvick::testing {
namespace {

namespace fs = std::filesystem;

TEST(OutputFolder, MirrorsTheLibraryWithTheSameWalsAndNeverWalksItself) {
  TempDir dir;
  const std::vector<std::uint8_t> palette = RandomPalette(31);
  WriteBytes(dir / "p.pal", palette);
  WriteBytes(dir / "tex/a.m32", M32WithWal(16, 16, 1, palette).first);
  WriteBytes(dir / "tex/e1/b.m8", M8WithWal(2, 16, 8, 2, palette).first);
  WriteBytes(dir / "tex/e1/deep/c.m32", M32WithWal(8, 8, 3, palette).first);
  ProgramResult result = RunTarnvick({"tex", "-s", "-pp.pal"}, {.working_directory = dir.path()});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const auto beside = WalsBelow(dir / "tex");
  ASSERT_EQ(beside.size(), 3u);
  for (const auto& [path, bytes] : beside) fs::remove(dir / ("tex/" + path));

  // Into folders that do not exist yet; nothing beside the sources.
  result = RunTarnvick({"tex", "-s", "-pp.pal", "--output-dir=mod/textures/"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(WalsBelow(dir / "mod/textures"), beside);
  EXPECT_TRUE(WalsBelow(dir / "tex").empty());

  // Inside the library, run twice: the output folder is never walked, so the second run is the first.
  for (int run = 0; run < 2; ++run) {
    result = RunTarnvick({"tex", "-s", "-v", "-pp.pal", "--output-dir", "tex/out"}, {.working_directory = dir.path()});
    EXPECT_EQ(result.out, std::string(kBanner) + "\nconverting M8/M32 files...\n\ttex...\n\ttex/e1...\n\ttex/e1/deep...\ndone.\n");
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(WalsBelow(dir / "tex/out"), beside) << run;
  }

  // A file in the way of a folder: the WALs that would go in it are skipped, the rest are written.
  WriteText(dir / "mod2/e1", "in the way");
  result = RunTarnvick({"tex", "-s", "-pp.pal", "--output-dir=mod2"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.err,
            "tarnvick: skipped tex/e1/b.m8: cannot write mod2/e1/b.wal: Not a directory\n"
            "tarnvick: skipped tex/e1/deep/c.m32: cannot write mod2/e1/deep/c.wal: Not a directory\n");
  EXPECT_EQ(result.exit_code, 5);
  EXPECT_EQ(ReadBytes(dir / "mod2/a.wal"), beside.at("a.wal"));
  EXPECT_EQ(ReadText(dir / "mod2/e1"), "in the way");
}

TEST(OutputFolder, IsMadeBeforeAnythingIsReadAndEnteredOnlyThroughRealFolders) {
  const std::vector<std::uint8_t> palette = RandomPalette(34);
  const auto a = M32WithWal(16, 16, 1, palette), b = M8WithWal(2, 16, 8, 2, palette);
  struct Case {
    std::vector<std::string> options;
    std::vector<std::pair<std::string, std::string>> links;  // made before the run: name, target
    std::string err;
    int exit_code;
    std::vector<std::string> wals;  // expected afterwards, each holding its source's WAL
  };
  const std::string kWay = ": a link is in the way\n";
  const Case cases[] = {
      // A library folder as the output folder: its sources are not read, and a line says so once
      // though both walks pass over it (the palette is generated: only where the WAL goes is checked).
      {{"--output-dir=tex/e1", "-oout.lmp"}, {}, "tarnvick: the output folder is not read: tex/e1\n", 0, {"tex/e1/a.wal"}},
      // A link to a folder as the output folder is followed; a link below it never is.
      {{"-pp.pal", "--output-dir=modlink"}, {{"modlink", "real"}}, "", 0, {"real/a.wal", "real/e1/b.wal"}},
      {{"-pp.pal", "--output-dir=mod"}, {{"mod/e1", "../outside"}},
       "tarnvick: skipped tex/e1/b.m8: cannot write mod/e1/b.wal" + kWay, 5, {"mod/a.wal"}},
      {{"-pp.pal", "--output-dir=mod"}, {{"mod/e1", "../nowhere"}},
       "tarnvick: skipped tex/e1/b.m8: cannot write mod/e1/b.wal" + kWay, 5, {"mod/a.wal"}},
      // The output folder that cannot be made stops the run before anything is read.
      {{"-pp.pal", "--output-dir=dangling"}, {{"dangling", "nowhere"}},
       "tarnvick: cannot make output folder: dangling: a link to a missing folder\n", 4, {}},
      {{"-pp.pal", "--output-dir=p.pal/mod"}, {}, "tarnvick: cannot make output folder: p.pal/mod: Not a directory\n", 4, {}},
      // Outputs inside an output folder made by this very run.
      {{"-pp.pal", "--output-dir=new/mod", "--report=new/mod/r.csv", "--preview=new/mod/p.png"}, {}, "", 0,
       {"new/mod/a.wal", "new/mod/e1/b.wal"}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    WriteBytes(dir / "p.pal", palette);
    WriteBytes(dir / "tex/a.m32", a.first);
    WriteBytes(dir / "tex/e1/b.m8", b.first);
    fs::create_directories(dir / "real");
    fs::create_directories(dir / "outside");
    for (const auto& [name, target] : c.links) {
      fs::create_directories(fs::path(dir / name).parent_path());
      fs::create_symlink(target, dir / name);
    }
    std::vector<std::string> arguments = {"tex", "-s"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const ProgramResult result = RunTarnvick(arguments, {.working_directory = dir.path()});
    EXPECT_EQ(result.err, c.err) << c.options[0];
    EXPECT_EQ(result.exit_code, c.exit_code) << c.options[0];
    if (c.exit_code == 4) {
      EXPECT_EQ(result.out, kBanner) << c.options[0];
    }
    const bool generated = c.options[1] == "-oout.lmp";
    std::map<std::string, std::vector<std::uint8_t>> expected;
    for (const std::string& wal : c.wals) expected[wal] = generated ? std::vector<std::uint8_t>{} : wal.ends_with("a.wal") ? a.second : b.second;
    std::map<std::string, std::vector<std::uint8_t>> found;
    for (const auto& [path, bytes] : WalsBelow(dir.path())) {
      if (!path.starts_with("modlink")) found[path] = generated ? std::vector<std::uint8_t>{} : bytes;
    }
    EXPECT_EQ(found, expected) << c.options[0];
    EXPECT_TRUE(fs::is_empty(dir / "outside")) << c.options[0];
    EXPECT_FALSE(fs::exists(dir / "nowhere")) << c.options[0];
  }
}

// A w x h M32 with a full chain of noisy colours whose fourth byte is noise too (so that about
// half the pixels of every level are transparent), and its pixels with their fourth bytes.
M32Fields TranslucentM32(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  M32Fields fields;
  std::size_t total = 0;
  for (std::uint32_t l = 0; (w >> l) > 0 && (h >> l) > 0; ++l) {
    fields.width.push_back(w >> l);
    fields.height.push_back(h >> l);
    total += std::size_t{w >> l} * (h >> l);
  }
  fields.pixels = NoiseBytes(4 * total, seed);
  return fields;
}

// The indices a WAL of `fields` must hold under --transparent: 255 for a fourth byte below 128,
// else the nearest of entries 0 to 254.
std::vector<std::uint8_t> TransparentIndices(const M32Fields& fields, const std::vector<std::uint8_t>& palette) {
  std::vector<std::uint8_t> indices;
  const std::size_t pixels = std::size_t{fields.width[0]} * fields.height[0] * 85 / 64;  // four levels
  for (std::size_t i = 0; i < pixels; ++i) {
    const std::uint8_t* p = fields.pixels.data() + 4 * i;
    indices.push_back(p[3] < 128 ? 255 : BruteForceNearest(palette, {p[0], p[1], p[2]}, 255));
  }
  return indices;
}

TEST(Transparency, PixelsUnderHalfAlphaAreIndex255InEveryLevelAndNoOtherPixelIs) {
  TempDir dir;
  std::vector<std::uint8_t> palette = RandomPalette(32);
  const M32Fields fields = TranslucentM32(64, 32, 33);
  // Entry 255 is the exact colour of an opaque pixel, and of the M8's every index: still unused.
  std::size_t opaque = 0;
  while (fields.pixels[4 * opaque + 3] < 128) ++opaque;
  std::copy_n(fields.pixels.begin() + static_cast<std::ptrdiff_t>(4 * opaque), 3, palette.begin() + 765);
  WriteBytes(dir / "p.pal", palette);
  WriteBytes(dir / "tex/t.m32", BuildM32(fields));
  M8Fields m8;
  m8.version = 2;
  m8.width = {8, 4, 2, 1};
  m8.height = {8, 4, 2, 1};
  m8.indices.assign(85, 0);
  m8.palette.assign(768, 0);
  std::copy_n(palette.begin() + 765, 3, m8.palette.begin());
  WriteBytes(dir / "tex/u.m8", BuildM8(m8));

  std::vector<std::uint8_t> first;
  for (const char* jobs : {"--jobs=1", "--jobs=8"}) {
    const ProgramResult result = RunTarnvick({"tex", "-pp.pal", "--transparent", jobs}, {.working_directory = dir.path()});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    const std::vector<std::uint8_t> wal = ReadBytes(dir / "tex/t.wal");
    ASSERT_EQ(wal.size(), 100 + 64 * 32 * 85 / 64) << jobs;
    EXPECT_EQ(std::vector<std::uint8_t>(wal.begin() + 100, wal.end()), TransparentIndices(fields, palette)) << jobs;
    const std::vector<std::uint8_t> m8_wal = ReadBytes(dir / "tex/u.wal");
    ASSERT_EQ(m8_wal.size(), 185u);
    EXPECT_EQ(std::vector<std::uint8_t>(m8_wal.begin() + 100, m8_wal.end()),
              std::vector<std::uint8_t>(85, BruteForceNearest(palette, {palette[765], palette[766], palette[767]}, 255)));
    if (first.empty()) first = wal;
    EXPECT_EQ(wal, first) << jobs;
  }
}

TEST(Transparency, AGeneratedPaletteFitsTheOpaqueColoursAndKeepsEntry255Black) {
  TempDir dir;
  const M32Fields a = TranslucentM32(32, 32, 34);
  const M32Fields b = TranslucentM32(16, 16, 35);
  WriteBytes(dir / "tex/a.m32", BuildM32(a));
  WriteBytes(dir / "tex/b.m32", BuildM32(b));
  ColourTally tally;
  for (const M32Fields* fields : {&a, &b}) {
    std::vector<Rgb> opaque;
    for (std::size_t i = 0; 4 * i < fields->pixels.size(); ++i) {
      const std::uint8_t* p = fields->pixels.data() + 4 * i;
      if (p[3] >= 128) opaque.push_back({p[0], p[1], p[2]});
    }
    tally.Add(opaque);
  }
  std::vector<std::uint8_t> expected = tally.Palette();
  std::fill(expected.begin() + 765, expected.end(), 0);
  for (const char* method : {"--palette-method=popularity", "--palette-method=median-cut"}) {
    const ProgramResult result =
        RunTarnvick({"tex", "-opal.lmp", "--transparent", method}, {.working_directory = dir.path()});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    const std::vector<std::uint8_t> palette = ReadBytes(dir / "pal.lmp");
    ASSERT_EQ(palette.size(), 768u);
    EXPECT_EQ(std::vector<std::uint8_t>(palette.begin() + 765, palette.end()), std::vector<std::uint8_t>(3, 0)) << method;
    if (std::string(method).ends_with("popularity")) {
      EXPECT_EQ(palette, expected);
    }
    const std::vector<std::uint8_t> wal = ReadBytes(dir / "tex/a.wal");
    EXPECT_EQ(std::vector<std::uint8_t>(wal.begin() + std::min<std::ptrdiff_t>(100, std::ssize(wal)), wal.end()),
              TransparentIndices(a, palette))
        << method;
  }
}

TEST(Transparency, TheSummaryMeasuresOpaquePixelsAndThePreviewShowsTransparencyAsACheckerboard) {
  TempDir dir;
  const std::vector<std::uint8_t> palette = RandomPalette(36);
  WriteBytes(dir / "p.pal", palette);
  // 128 x 128: the left half transparent, of colours far from any entry; the right half opaque,
  // each pixel exactly a palette entry.
  M32Fields fields = TranslucentM32(128, 128, 37);
  for (std::size_t level = 0, at = 0; level < fields.width.size(); ++level) {
    for (std::uint32_t y = 0; y < fields.height[level]; ++y) {
      for (std::uint32_t x = 0; x < fields.width[level]; ++x, at += 4) {
        const bool left = x < fields.width[level] / 2;
        fields.pixels[at + 3] = left ? 0 : 255;
        if (!left) std::copy_n(palette.begin() + 3 * ((x + y) % 255), 3, fields.pixels.begin() + static_cast<std::ptrdiff_t>(at));
      }
    }
  }
  WriteBytes(dir / "tex/grate.m32", BuildM32(fields));
  const ProgramResult result =
      RunTarnvick({"tex", "-pp.pal", "-v", "--transparent", "--preview=view.png"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.err, "tarnvick: 1 converted, 0 skipped\ntarnvick: palette PSNR inf dB, worst inf dB: tex/grate.m32\n");
  const RgbImage image = ReadPng(dir / "view.png");
  ASSERT_EQ(image.width, 1024u);
  // The tile's two halves below its caption: transparent pixels in squares of 8 of two greys.
  for (const std::uint32_t half : {0u, 128u}) {
    for (std::uint32_t y = 0; y < 128; y += 5) {
      for (std::uint32_t x = 0; x < 128; x += 3) {
        const std::uint8_t* pixel = image.At(half + x, 128 + 16 + y);
        if (x < 64) {
          const std::uint8_t grey = (x / 8 + y / 8) % 2 == 0 ? 153 : 102;
          EXPECT_EQ(Rgb({pixel[0], pixel[1], pixel[2]}), Rgb({grey, grey, grey})) << half << " " << x << " " << y;
        } else {
          EXPECT_EQ(Rgb({pixel[0], pixel[1], pixel[2]}),
                    Rgb({palette[3 * ((x + y) % 255)], palette[3 * ((x + y) % 255) + 1], palette[3 * ((x + y) % 255) + 2]}));
        }
      }
    }
  }
}

}  // namespace
}  // namespace tarnvick::testing
