// The conversion run end to end (-p): the real program on trees of files built here, every WAL
// compared byte for byte with one computed independently from the source pixels and the palette.
#include <gtest/gtest.h>

#include <filesystem>

#include "convert/convert_texture.h"
#include "support/expected_wal.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/texture_pairs.h"
#include "texture/file_builders.h"

namespace tarnvick::testing {
namespace {

const std::string kConvertOnly = std::string(kBanner) + "\nconverting M8/M32 files...\ndone.\n";

TEST(Conversion, EveryM8AndM32GetsAnExactWalBesideIt) {
  TempDir dir;
  const std::vector<std::uint8_t> palette = RandomPalette(77);
  WriteBytes(dir / "game.pal", palette);
  std::map<std::string, std::vector<std::uint8_t>> expected;
  const auto add = [&](const std::string& path, const auto& pair) {
    WriteBytes(dir / ("tex/" + path), pair.first);
    expected[WalPathFor(path)] = pair.second;
  };
  add("wall.M32", M32WithWal(64, 64, 1, palette));
  add("wide.m32", M32WithWal(100, 30, 2, palette));
  add("sub/v0.m8", M8WithWal(0, 32, 16, 3, palette));
  add("sub/v1.m8", M8WithWal(1, 16, 16, 4, palette));
  add("sub/deeper/v2.M8", M8WithWal(2, 64, 8, 5, palette));
  add("sub/v3.m8", M8WithWal(3, 8, 8, 6, palette));
  add("sub/v4.m8", M8WithWal(4, 16, 32, 7, palette));
  add("sub/neg.m8", M8WithWal(-1, 8, 16, 8, palette));

  const ProgramResult result = RunTarnvick({"tex", "-s", "-pgame.pal"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.out, kConvertOnly);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
  for (const auto& [path, bytes] : expected) {
    EXPECT_EQ(ReadBytes(dir / ("tex/" + path)), bytes) << path;
  }
  EXPECT_EQ(ListNames(dir / "tex"), (std::vector<std::string>{"sub", "wall.M32", "wall.wal", "wide.m32", "wide.wal"}));
  EXPECT_EQ(ReadBytes(dir / "game.pal"), palette) << "the palette file is only read";
}

TEST(Conversion, WithoutRecursionOnlyTheTopDirectoryIsConverted) {
  TempDir dir;
  const std::vector<std::uint8_t> palette = RandomPalette(1);
  WriteBytes(dir / "p.pal", palette);
  WriteBytes(dir / "tex/a.m32", M32WithWal(8, 8, 1, palette).first);
  WriteBytes(dir / "tex/sub/b.m32", M32WithWal(8, 8, 2, palette).first);
  const ProgramResult result = RunTarnvick({"tex", "-pp.pal", "-v"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.out, std::string(kBanner) + "\nconverting M8/M32 files...\n\ttex...\ndone.\n");
  EXPECT_TRUE(Exists(dir / "tex/a.wal"));
  EXPECT_FALSE(Exists(dir / "tex/sub/b.wal"));
}

TEST(Conversion, NamesAreCopiedAsRawBytesAndLongM32NamesAreCut) {
  TempDir dir;
  const std::vector<std::uint8_t> palette = RandomPalette(2);
  WriteBytes(dir / "p.pal", palette);
  M32Fields fields;
  fields.width = {8, 4, 2, 1};
  fields.height = {8, 4, 2, 1};
  fields.pixels = NoiseBytes(4 * 85, 9);
  fields.name = std::string(100, 'N') + "tail";
  fields.animation_name = std::string(40, 'x');
  WriteBytes(dir / "tex/long.m32", BuildM32(fields));
  const ProgramResult result = RunTarnvick({"tex", "-pp.pal"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.err, "tarnvick: name cut to 31 bytes: tex/long.m32\ntarnvick: animation name cut to 31 bytes: tex/long.m32\n");
  ASSERT_EQ(result.exit_code, 0);
  // Cut to 31 bytes and a zero.
  const WalContent wal{std::string(31, 'N'), std::string(31, 'x'), 8, 8, fields.flags, fields.contents, fields.value,
                       PixelsOf32(fields.pixels)};
  EXPECT_EQ(ReadBytes(dir / "tex/long.wal"), ExpectedWal(wal, palette));
}

TEST(Conversion, SourcesWhoseMipChainIsNotHalvedAreSkippedWithTheLevelThatIsWrong) {
  TempDir dir;
  const std::vector<std::uint8_t> palette = RandomPalette(3);
  WriteBytes(dir / "p.pal", palette);
  struct Case {
    const char* name;
    std::vector<std::uint32_t> width, height;
    const char* reason;  // empty: converted
  };
  const std::vector<Case> cases = {
      {"a_level1.m32", {64, 64, 32, 16}, {64, 64, 32, 16}, "mip level 1 is 64x64, expected 32x32"},
      {"b_wide.m32", {32, 32, 32, 32}, {16, 16, 16, 1}, "mip level 1 is 32x16, expected 16x8"},
      {"c_level3.m8", {64, 32, 16, 9}, {64, 32, 16, 8}, "mip level 3 is 9x8, expected 8x8"},
      {"d_level2.m8", {16, 8, 4, 2}, {8, 4, 1, 1}, "mip level 2 is 4x1, expected 4x2"},
      {"e_right.m32", {64, 32, 16, 8}, {16, 8, 4, 2}, ""},
      {"f_right.m8", {16, 8, 4, 2}, {32, 16, 8, 4}, ""},
  };
  std::string expected_err;
  for (const Case& c : cases) {
    std::uint64_t pixels = 0;
    for (std::size_t i = 0; i < c.width.size(); ++i) pixels += std::uint64_t{c.width[i]} * c.height[i];
    std::vector<std::uint8_t> source;
    if (std::string(c.name).ends_with(".m32")) {
      M32Fields fields;
      fields.width = c.width;
      fields.height = c.height;
      fields.pixels = NoiseBytes(4 * pixels, 6);
      source = BuildM32(fields);
    } else {
      M8Fields fields;
      fields.version = 2;
      fields.width = c.width;
      fields.height = c.height;
      fields.indices = NoiseBytes(pixels, 7);
      source = BuildM8(fields);
    }
    WriteBytes(dir / ("tex/" + std::string(c.name)), source);
    WriteText(dir / ("tex/" + WalPathFor(c.name)), "old");
    if (*c.reason != 0) expected_err += "tarnvick: skipped tex/" + std::string(c.name) + ": " + c.reason + "\n";
  }
  const ProgramResult result = RunTarnvick({"tex", "-pp.pal"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.err, expected_err);
  EXPECT_EQ(result.exit_code, 0);
  for (const Case& c : cases) {
    // A skipped source leaves its old WAL; a right chain is converted from its own levels.
    EXPECT_EQ(ReadText(dir / ("tex/" + WalPathFor(c.name))) == "old", *c.reason != 0) << c.name;
  }
  const auto m32 = ReadBytes(dir / "tex/e_right.m32");
  EXPECT_EQ(ReadBytes(dir / "tex/e_right.wal"),
            ExpectedWal({"m32name", "m32anim", 64, 16, M32Fields{}.flags, M32Fields{}.contents, M32Fields{}.value,
                         PixelsOf32(std::vector<std::uint8_t>(m32.begin() + 968, m32.end()))},
                        palette));
}

TEST(Conversion, SourcesWithoutAWalAreSkippedWithAReasonAndOldWalsStay) {
  TempDir dir;
  const std::vector<std::uint8_t> palette = RandomPalette(4);
  WriteBytes(dir / "p.pal", palette);
  // Heights 64, 32, 16, 0: no fourth level, even though width[3] is set.
  M32Fields three;
  three.width = {64, 32, 16, 8};
  three.height = {64, 32, 16};
  three.pixels = NoiseBytes(4 * (4096 + 1024 + 256), 1);
  WriteBytes(dir / "tex/a_three.m32", BuildM32(three));
  WriteText(dir / "tex/a_three.wal", "old wal");
  // Heights 64, 32, 16, 8: converted.
  M32Fields four = three;
  four.height = {64, 32, 16, 8};
  four.pixels = NoiseBytes(4 * (4096 + 1024 + 256 + 64), 2);
  WriteBytes(dir / "tex/b_four.m32", BuildM32(four));
  // Stored levels smaller than the halvings: fewer pixels than four WAL levels need.
  M32Fields few;
  few.width = {64, 16, 4, 1};
  few.height = {64, 16, 4, 1};
  few.pixels = NoiseBytes(4 * (4096 + 256 + 16 + 1), 3);
  WriteBytes(dir / "tex/c_few.m32", BuildM32(few));
  WriteText(dir / "tex/c_few.wal", "old few");
  // Refused version, truncated file, empty file, early M8 with 8 levels (converted).
  M8Fields v5;
  v5.version = 5;
  WriteBytes(dir / "tex/d_v5.m8", BuildM8(v5));
  std::vector<std::uint8_t> cut = BuildM32(four);
  cut.resize(2000);
  WriteBytes(dir / "tex/e_cut.m32", cut);
  WriteBytes(dir / "tex/f_empty.m8", {});
  WriteBytes(dir / "tex/g_v0.m8", M8WithWal(0, 16, 16, 5, palette).first);

  const ProgramResult result = RunTarnvick({"tex", "-pp.pal"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.out, kConvertOnly);
  EXPECT_EQ(result.err,
            "tarnvick: skipped tex/a_three.m32: no fourth mip level\n"
            "tarnvick: skipped tex/c_few.m32: mip level 1 is 16x16, expected 32x32\n"
            "tarnvick: skipped tex/d_v5.m8: unsupported M8 version 5\n"
            "tarnvick: skipped tex/e_cut.m32: file is truncated (2000 of 22728 bytes)\n"
            "tarnvick: skipped tex/f_empty.m8: file is truncated (0 of 4 bytes)\n");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(ReadText(dir / "tex/a_three.wal"), "old wal");
  EXPECT_EQ(ReadText(dir / "tex/c_few.wal"), "old few");
  EXPECT_EQ(ReadBytes(dir / "tex/g_v0.wal"), M8WithWal(0, 16, 16, 5, palette).second);
  EXPECT_EQ(ReadBytes(dir / "tex/b_four.wal"),
            ExpectedWal({"m32name", "m32anim", 64, 64, four.flags, four.contents, four.value, PixelsOf32(four.pixels)},
                        palette));
  EXPECT_FALSE(Exists(dir / "tex/d_v5.wal"));
  EXPECT_FALSE(Exists(dir / "tex/e_cut.wal"));
}

TEST(Conversion, ALongerExistingWalIsReplacedAndTheLaterSourceWins) {
  TempDir dir;
  const std::vector<std::uint8_t> palette = RandomPalette(5);
  WriteBytes(dir / "p.pal", palette);
  WriteBytes(dir / "tex/a.wal", std::vector<std::uint8_t>(100000, 0xAB));
  const auto m32 = M32WithWal(16, 16, 1, palette);
  const auto m8 = M8WithWal(2, 8, 8, 2, palette);
  WriteBytes(dir / "tex/a.m32", m32.first);
  WriteBytes(dir / "tex/a.m8", m8.first);
  ASSERT_EQ(RunTarnvick({"tex", "-pp.pal"}, {.working_directory = dir.path()}).exit_code, 0);
  // a.m32 comes before a.m8 in byte order, so a.m8 writes a.wal last.
  EXPECT_EQ(ReadBytes(dir / "tex/a.wal"), m8.second);
  std::filesystem::remove(dir / "tex/a.m8");
  ASSERT_EQ(RunTarnvick({"tex", "-pp.pal"}, {.working_directory = dir.path()}).exit_code, 0);
  EXPECT_EQ(ReadBytes(dir / "tex/a.wal"), m32.second);
  EXPECT_EQ(ListNames(dir / "tex"), (std::vector<std::string>{"a.m32", "a.wal"}));
}

TEST(Conversion, AShortPaletteFileLeavesTheMissingEntriesBlack) {
  TempDir dir;
  std::vector<std::uint8_t> palette = RandomPalette(8);
  palette.resize(700);
  WriteBytes(dir / "short.pal", palette);
  const auto pair = M32WithWal(16, 16, 3, [&] {
    std::vector<std::uint8_t> full = palette;
    full.resize(768, 0);
    return full;
  }());
  WriteBytes(dir / "tex/a.m32", pair.first);
  const ProgramResult result = RunTarnvick({"tex", "-pshort.pal"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.err, "tarnvick: short palette file (700 of 768 bytes), the missing entries are black: short.pal\n");
  EXPECT_EQ(ReadBytes(dir / "tex/a.wal"), pair.second);
}

TEST(Conversion, WalPathReplacesTheTextAfterTheLastDot) {
  EXPECT_EQ(WalPathFor("tex/wall.M32"), "tex/wall.wal");
  EXPECT_EQ(WalPathFor("skin.m8"), "skin.wal");
  EXPECT_EQ(WalPathFor("a.b/c.d.m32"), "a.b/c.d.wal");
  EXPECT_EQ(WalPathFor("noext"), "noext.wal");
}

}  // namespace
}  // namespace tarnvick::testing
