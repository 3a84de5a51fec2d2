// Pictures as sources (PNG, TGA, BMP, PCX), their mip levels made in linear light with their
// coverage kept, M8 and M32 levels made the same way, and the .wal_json beside a source: each
// WAL against the one computed here from the known pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "picture_encoder.h"
#include "support/levels_by_rule.h"
#include "support/pak_files.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/texture_pairs.h"

namespace tarnvick::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
using samples::Picture;

// Greys 0 to 254, and entry 255 black again, so that no opaque pixel ever takes it.
Bytes GreyPalette() {
  Bytes palette(768);
  for (int i = 0; i < 255; ++i) std::fill_n(palette.begin() + 3 * i, 3, static_cast<std::uint8_t>(i));
  return palette;
}

// The WAL of `level0` named `name`, against `palette`, as the rule makes it.
Bytes RuleWal(const Picture& level0, bool transparent, const std::string& name, const Bytes& palette,
              std::uint32_t flags = 0, std::uint32_t contents = 0, std::uint32_t value = 0) {
  Bytes levels = level0.rgba;
  levels.resize(levels.size() * 85 / 64);
  levels = LevelsByTheRule(std::move(levels), level0.width, level0.height, transparent);
  WalContent content{name, "", level0.width, level0.height, flags, contents, value, {}};
  for (std::size_t i = 0; i < levels.size(); i += 4) content.pixels.push_back({levels[i], levels[i + 1], levels[i + 2]});
  Bytes wal = ExpectedWal(content, palette);
  for (std::size_t i = 0; 4 * i < levels.size(); ++i) {
    if (transparent && levels[4 * i + 3] < 128) wal[100 + i] = 255;
  }
  return wal;
}

// A w x h picture of noise from `seed`; `grey` makes red, green and blue one, `alpha` keeps the
// noise's alpha (else 255), and `colours` (when not 0) takes that many colours only.
Picture Noise(std::uint32_t w, std::uint32_t h, std::uint32_t seed, bool grey, bool alpha, int colours = 0) {
  Picture picture{w, h, NoiseBytes(std::size_t{4} * w * h, seed)};
  const Bytes few = NoiseBytes(4 * 16, seed + 1);
  for (std::size_t i = 0; i < std::size_t{w} * h; ++i) {
    std::uint8_t* p = picture.rgba.data() + 4 * i;
    if (colours > 0) std::copy_n(few.begin() + 4 * (p[0] % colours), 4, p);
    if (grey) p[1] = p[2] = p[0];
    if (!alpha) p[3] = 255;
  }
  return picture;
}

TEST(Pictures, EveryFormDecodesToItsPixelsAndConvertsByTheRule) {
  using samples::BmpForm;
  using samples::PngColour;
  using samples::PngForm;
  using samples::TgaForm;
  const Bytes palette = GreyPalette();
  // A 16-bit TGA holds 5 bits a channel: its pixels here are those a 5-bit channel gives back.
  Picture five = Noise(16, 16, 30, false, false);
  for (std::size_t i = 0; i < five.rgba.size(); ++i) {
    if (i % 4 != 3) five.rgba[i] = static_cast<std::uint8_t>((five.rgba[i] >> 3) * 255 / 31);
  }
  const Picture rgba = Noise(16, 16, 31, false, true), rgb = Noise(16, 8, 32, false, false);
  const Picture grey = Noise(8, 16, 33, true, false), grey_alpha = Noise(16, 16, 34, true, true);
  const Picture few = Noise(16, 16, 35, false, true, 12), few_opaque = Noise(24, 16, 36, false, false, 12);
  const struct {
    std::string file;
    Picture pixels;
    Bytes bytes;
  } forms[] = {
      {"png/grey.png", grey, samples::EncodePng(grey, {PngColour::kGrey})},
      {"png/grey16.png", grey, samples::EncodePng(grey, {PngColour::kGrey, 16})},
      {"png/rgb.png", rgb, samples::EncodePng(rgb, {PngColour::kRgb, 8, false, true, 64})},
      {"png/rgb_interlaced.png", rgb, samples::EncodePng(rgb, {PngColour::kRgb, 8, true})},
      {"png/palette.png", few, samples::EncodePng(few, {PngColour::kPalette, 4})},
      {"png/grey_alpha.png", grey_alpha, samples::EncodePng(grey_alpha, {PngColour::kGreyAlpha})},
      {"png/rgba.png", rgba, samples::EncodePng(rgba, {PngColour::kRgba})},
      {"png/rgba16_interlaced.png", rgba, samples::EncodePng(rgba, {PngColour::kRgba, 16, true})},
      {"tga/mapped.tga", few_opaque, samples::EncodeTga(few_opaque, {1, 24})},
      {"tga/rgb.tga", rgb, samples::EncodeTga(rgb, {2, 24})},
      {"tga/rgba_top.tga", rgba, samples::EncodeTga(rgba, {2, 32, true, "id"})},
      {"tga/five.tga", five, samples::EncodeTga(five, {2, 16})},
      {"tga/grey.tga", grey, samples::EncodeTga(grey, {3, 8})},
      {"tga/mapped_rle.tga", few, samples::EncodeTga(few, {9, 32, true})},
      {"tga/rgba_rle.tga", rgba, samples::EncodeTga(rgba, {10, 32})},
      {"tga/grey_rle.tga", grey, samples::EncodeTga(grey, {11, 8, true})},
      {"bmp/rgb.bmp", rgb, samples::EncodeBmp(rgb, {24})},
      {"bmp/rgba_top.bmp", rgba, samples::EncodeBmp(rgba, {32, true})},
      {"bmp/mapped.bmp", few_opaque, samples::EncodeBmp(few_opaque, {8})},
      {"pcx/few.pcx", few_opaque, samples::EncodePcx(few_opaque)},
  };
  TempDir dir;
  WriteBytes(dir / "p.pal", palette);
  for (const auto& form : forms) WriteBytes(dir / ("lib/" + form.file), form.bytes);
  for (const bool transparent : {false, true}) {
    std::vector<std::string> arguments = {"lib", "-s", "-pp.pal", "--pictures"};
    if (transparent) arguments.push_back("--transparent");
    const ProgramResult result = RunTarnvick(arguments, {.working_directory = dir.path()});
    EXPECT_EQ(result.err, "") << transparent;
    EXPECT_EQ(result.exit_code, 0) << transparent;
    for (const auto& form : forms) {
      const std::string wal = form.file.substr(0, form.file.rfind('.')) + ".wal";
      EXPECT_EQ(ReadBytes(dir / ("lib/" + wal)), RuleWal(form.pixels, transparent, wal.substr(0, wal.size() - 4), palette))
          << form.file << (transparent ? ", --transparent" : "");
    }
  }
}

TEST(Pictures, LevelsKeepTheirLightAndTheirCoverage) {
  const Bytes palette = GreyPalette();
  // A black-and-white checkerboard of single pixels: its mean light is mid-grey 188, not 128.
  Picture board{16, 16, Bytes(16 * 16 * 4, 255)};
  for (std::size_t i = 0; i < 256; ++i) std::fill_n(board.rgba.begin() + 4 * i, 3, ((i % 16 + i / 16) % 2) * 255);
  // A fence: one-pixel wires every fourth row and column, nothing between them.
  Picture fence{32, 32, Bytes(32 * 32 * 4, 0)};
  std::size_t wires = 0;
  for (std::size_t i = 0; i < 32 * 32; ++i) {
    if (i % 4 == 0 || (i / 32) % 4 == 0) {
      std::fill_n(fence.rgba.begin() + 4 * i, 4, 200);
      ++wires;
    }
  }
  TempDir dir;
  WriteBytes(dir / "p.pal", palette);
  WriteBytes(dir / "lib/board.png", samples::EncodePng(board, {samples::PngColour::kGrey}));
  WriteBytes(dir / "lib/fence.png", samples::EncodePng(fence, {samples::PngColour::kRgba}));
  const ProgramResult result =
      RunTarnvick({"lib", "-pp.pal", "--pictures", "--transparent"}, {.working_directory = dir.path()});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const Bytes board_wal = ReadBytes(dir / "lib/board.wal"), fence_wal = ReadBytes(dir / "lib/fence.wal");
  ASSERT_EQ(board_wal.size(), 100u + 256 + 64 + 16 + 4);
  for (std::size_t i = 100 + 256; i < board_wal.size(); ++i) EXPECT_EQ(board_wal[i], 188) << i;
  ASSERT_EQ(fence_wal.size(), 100u + 1024 + 256 + 64 + 16);
  std::size_t first = 100;
  for (std::size_t level = 0, pixels = 1024; level < 4; first += pixels, pixels /= 4, ++level) {
    const auto kept = static_cast<std::size_t>(
        std::count_if(fence_wal.begin() + static_cast<std::ptrdiff_t>(first),
                      fence_wal.begin() + static_cast<std::ptrdiff_t>(first + pixels), [](std::uint8_t i) { return i != 255; }));
    EXPECT_EQ(kept, (wires * pixels + 512) / 1024) << "level " << level;
    EXPECT_GT(kept, 0u) << "level " << level;
  }
  EXPECT_EQ(fence_wal, RuleWal(fence, true, "fence", palette));
}

TEST(Pictures, NamesBelowTexturesAndWhatIsRefused) {
  const Bytes palette = GreyPalette();
  const Picture flat = Noise(8, 8, 40, false, false);
  Picture wide{8200, 8, Bytes(8200 * 8 * 4, 9)};
  Bytes pcx4 = samples::EncodePcx(flat);
  pcx4[3] = 4;  // 4 bits a pixel
  TempDir dir;
  WriteBytes(dir / "p.pal", palette);
  WriteBytes(dir / "lib/textures/e1/wall.png", samples::EncodePng(flat, {}));
  WriteBytes(dir / "lib/textures/e1/TEXTURES/deep/door.TGA", samples::EncodeTga(flat, {}));
  WriteBytes(dir / "lib/other/" + std::string(40, 'n') + ".bmp", samples::EncodeBmp(flat, {}));
  WriteBytes(dir / "lib/other/odd.png", samples::EncodePng(Noise(60, 60, 41, false, false), {}));
  WriteBytes(dir / "lib/other/wide.tga", samples::EncodeTga(wide, {}));
  WriteBytes(dir / "lib/other/junk.png", Bytes(100, 7));
  const Bytes bmp = samples::EncodeBmp(flat, {});
  WriteBytes(dir / "lib/other/cut.bmp", Bytes(bmp.begin(), bmp.begin() + 80));
  WriteBytes(dir / "lib/other/four.pcx", pcx4);
  WriteBytes(dir / "lib/pak0.pak", EncodePak({{"textures/e2/gate.pcx", samples::EncodePcx(flat)}, {"sky.png", samples::EncodePng(flat, {})}}));
  WriteBytes(dir / "lib/only.m32", M32WithWal(8, 8, 42, palette).first);
  ProgramResult result = RunTarnvick({"lib", "-s", "-pp.pal"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.err, "") << "without --pictures no picture is read";
  EXPECT_EQ(WalsBelow(dir / "lib").size(), 1u);
  result = RunTarnvick({"lib", "-s", "-pp.pal", "--pictures"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.err,
            "tarnvick: skipped lib/other/cut.bmp: cannot decode picture: BMP pixel data ends early\n"
            "tarnvick: skipped lib/other/four.pcx: PCX picture is not 8-bit with 256 colours\n"
            "tarnvick: skipped lib/other/junk.png: cannot decode picture: not a PNG file\n"
            "tarnvick: skipped lib/other/odd.png: picture is 60x60: sides must be multiples of 8, from 8 to 8192\n"
            "tarnvick: skipped lib/other/wide.tga: picture is 8200x8: sides must be multiples of 8, from 8 to 8192\n");
  EXPECT_EQ(result.exit_code, 0);
  const struct {
    std::string wal;
    std::string name;
  } names[] = {
      {"lib/textures/e1/wall.wal", "e1/wall"},
      {"lib/textures/e1/TEXTURES/deep/door.wal", "deep/door"},
      {"lib/other/" + std::string(40, 'n') + ".wal", "other/" + std::string(25, 'n')},
      {"lib/textures/e2/gate.wal", "e2/gate"},
      {"lib/sky.wal", "sky"},
  };
  for (const auto& [wal, name] : names) EXPECT_EQ(ReadBytes(dir / wal), RuleWal(flat, false, name, palette)) << wal;
  // A relative start is taken below the current folder, its "." and ".." parts as written.
  std::filesystem::remove(dir / "lib/textures/e1/wall.wal");
  result = RunTarnvick({"./../e1", "-p" + dir / "p.pal", "--pictures"}, {.working_directory = dir / "lib/textures/e1"});
  EXPECT_EQ(ReadBytes(dir / "lib/textures/e1/wall.wal"), RuleWal(flat, false, "e1/wall", palette)) << result.err;
}

TEST(Pictures, RemadeMipsAndWalJsonFiles) {
  const Bytes palette = GreyPalette();
  const Picture flat = Noise(16, 8, 50, false, true);
  // An M32 and an M8 whose own levels 1 to 3 are noise of another seed: with --remake-mips they
  // are made from level 0 alone.
  M32Fields m32;
  m32.width = {16, 8, 4, 2};
  m32.height = {8, 4, 2, 1};
  m32.pixels = flat.rgba;
  m32.animation_name = "";
  const Bytes other = NoiseBytes(4 * (32 + 8 + 2), 51);
  m32.pixels.insert(m32.pixels.end(), other.begin(), other.end());
  M8Fields m8;
  m8.version = 2;
  m8.width = {16, 8, 4, 2};
  m8.height = {8, 4, 2, 1};
  m8.palette = NoiseBytes(768, 52);
  m8.indices = NoiseBytes(128 + 32 + 8 + 2, 53);
  m8.animation_name = "";
  Picture m8_pixels{16, 8, {}};
  for (std::size_t i = 0; i < 128; ++i) {
    const std::uint8_t* colour = m8.palette.data() + 3 * m8.indices[i];
    m8_pixels.rgba.insert(m8_pixels.rgba.end(), {colour[0], colour[1], colour[2], 255});
  }
  M8Fields odd = m8;
  odd.width = {12, 6, 3, 1};
  TempDir dir;
  WriteBytes(dir / "p.pal", palette);
  WriteBytes(dir / "lib/a.m32", BuildM32(m32));
  WriteBytes(dir / "lib/b.m8", BuildM8(m8));
  WriteBytes(dir / "lib/c.m8", BuildM8(odd));
  WriteBytes(dir / "lib/d.png", samples::EncodePng(flat, {}));
  WriteText(dir / "lib/a.wal_json", "// a light\n{\"flags\": [\"light\", \"WARP\", 16], /* lava */ \"contents\": \"LAVA\", \"value\": 300}");
  WriteText(dir / "lib/d.wal_json", "{\"flags\": \"SKY\", \"animation\": \"d2\", \"width\": 16}");
  WriteText(dir / "lib/e.wal_json", "{\"flags\": \"SHINY\"}");
  WriteBytes(dir / "lib/e.png", samples::EncodePng(flat, {}));
  WriteBytes(dir / "lib/pak0.pak", EncodePak({{"f.png", samples::EncodePng(flat, {})},
                                               {"F.WAL_JSON", {'{', '"', 'v', 'a', 'l', 'u', 'e', '"', ':', '-', '1', '}'}}}));
  const ProgramResult result = RunTarnvick({"lib", "-pp.pal", "--pictures", "--remake-mips", "--transparent", "--flags=quake2"},
                                           {.working_directory = dir.path()});
  EXPECT_EQ(result.err,
            "tarnvick: skipped lib/c.m8: level 0 is 12x8: sides must be multiples of 8 to remake its mip levels\n"
            "tarnvick: skipped lib/e.png: cannot use lib/e.wal_json: flags: unknown name \"SHINY\"\n"
            "tarnvick: skipped lib/pak0.pak/f.png: cannot use lib/pak0.pak/F.WAL_JSON: value: -1 is below 0\n");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(ReadBytes(dir / "lib/a.wal"), RuleWal(flat, true, m32.name, palette, 0x19, 0x8, 300));
  EXPECT_EQ(ReadBytes(dir / "lib/b.wal"), RuleWal(m8_pixels, true, m8.name, palette, m8.flags & 0x3ff, m8.contents & 0x3fff807f, m8.value));
  Bytes d = RuleWal(flat, true, "d", palette, 0x4, 0, 0);
  std::copy_n("d2", 2, d.begin() + 56);
  EXPECT_EQ(ReadBytes(dir / "lib/d.wal"), d);
}

TEST(Pictures, InArchivesIntoAnArchiveAndTheirOwnPicturesTheSameOnAnyThreads) {
  // One colour a picture: a generated palette holds each of them.
  std::vector<Picture> flats;
  for (std::uint8_t i = 0; i < 4; ++i) flats.push_back({16, 16, {}});
  for (std::size_t i = 0; i < flats.size(); ++i) {
    for (int pixel = 0; pixel < 256; ++pixel) flats[i].rgba.insert(flats[i].rgba.end(), {std::uint8_t(40 * i + 20), 7, 99, 255});
  }
  const Bytes a = samples::EncodePng(flats[0], {samples::PngColour::kRgb});
  TempDir dir;
  WriteBytes(dir / "lib/textures/a.png", a);
  WriteBytes(dir / "lib/textures/b.tga", samples::EncodeTga(flats[1], {}));
  WriteBytes(dir / "lib/pak0.pak", EncodePak({{"textures/c.pcx", samples::EncodePcx(flats[2])},
                                               {"textures/d.bmp", samples::EncodeBmp(flats[3], {})}}));
  Bytes first_archive, first_palette;
  for (const std::string jobs : {"--jobs=1", "--jobs=8"}) {
    // With --pictures, the archive made before holds sources of this run: it is not replaced.
    std::filesystem::remove(dir / "mod.pak");
    const ProgramResult result = RunTarnvick({"lib", "-s", "-ogen.lmp", "--pictures", "--true-colour=png", "--output-pak=mod.pak", jobs},
                                             {.working_directory = dir.path()});
    EXPECT_EQ(result.err, "") << jobs;
    const Bytes archive = ReadBytes(dir / "mod.pak"), palette = ReadBytes(dir / "gen.lmp");
    std::vector<std::string> names;
    for (const PakFileEntry& entry : ReadPak(archive)) names.push_back(entry.name);
    EXPECT_EQ(names, (std::vector<std::string>{"textures/a.wal", "textures/a.png", "textures/b.wal", "textures/b.png",
                                               "textures/c.wal", "textures/c.png", "textures/d.wal", "textures/d.png"}));
    for (const Picture& flat : flats) {
      const Bytes colour(flat.rgba.begin(), flat.rgba.begin() + 3);
      EXPECT_NE(std::search(palette.begin(), palette.end(), colour.begin(), colour.end()), palette.end()) << int{colour[0]};
    }
    if (first_archive.empty()) {
      first_archive = archive;
      first_palette = palette;
    }
    EXPECT_EQ(archive, first_archive) << jobs;
    EXPECT_EQ(palette, first_palette) << jobs;
  }
  // Beside its source, a picture's own picture is the source itself: nothing is written.
  const ProgramResult result =
      RunTarnvick({"lib", "-s", "-pgen.lmp", "--pictures", "--true-colour=png"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(ReadBytes(dir / "lib/textures/a.png"), a);
  EXPECT_TRUE(Exists(dir / "lib/textures/b.png"));
  EXPECT_EQ(WalsBelow(dir / "lib").size(), 4u);
}

}  // namespace
}  // namespace tarnvick::testing
