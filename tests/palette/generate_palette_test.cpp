// Palette generation end to end: the real program's palette file compared byte for byte with a
// palette ranked here from the source pixels, and the messages of a generating run.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>

#include "convert/convert_texture.h"
#include "support/colour_tally.h"
#include "support/expected_wal.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "texture/file_builders.h"

namespace tarnvick::testing {
namespace {

const std::string kGenerating =
    "generating optimal palette...\n\tgathering palette data...";
const std::string kGenerated = "\n\tprocessing palette data...\n\twriting palette data...\n\n";
const std::string kConverted = "\nconverting M8/M32 files...\ndone.\n";

// An M32 file of one level of `pixels.size()` x 1 (heights 1, so the file has no fourth level).
std::vector<std::uint8_t> OneLevelM32(const std::vector<Rgb>& pixels, std::uint8_t fourth = 0) {
  M32Fields fields;
  fields.width = {static_cast<std::uint32_t>(pixels.size())};
  fields.height = {1};
  for (const Rgb& c : pixels) fields.pixels.insert(fields.pixels.end(), {c[0], c[1], c[2], fourth++});
  return BuildM32(fields);
}

std::vector<Rgb> Repeat(const Rgb& colour, int times) { return std::vector<Rgb>(static_cast<std::size_t>(times), colour); }

ProgramResult Generate(const TempDir& dir, const std::vector<std::string>& extra = {}) {
  std::vector<std::string> arguments = {"tex", "-opal.lmp"};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  return RunTarnvick(arguments, {.working_directory = dir.path()});
}

TEST(GeneratePalette, TenColoursMostFrequentFirstRestZero) {
  TempDir dir;
  ColourTally tally;
  for (int i = 0; i < 10; ++i) {
    const std::vector<Rgb> pixels = Repeat({static_cast<std::uint8_t>(20 * i), 7, static_cast<std::uint8_t>(255 - i)}, 10 + (i * 7) % 10);
    tally.Add(pixels);
    WriteBytes(dir / ("tex/c" + std::to_string(i) + ".m32"), OneLevelM32(pixels));
  }
  const ProgramResult result = Generate(dir);
  EXPECT_EQ(result.out, kBanner + kGenerating + kGenerated + kConverted);
  EXPECT_EQ(result.exit_code, 0);
  const std::vector<std::uint8_t> palette = ReadBytes(dir / "pal.lmp");
  EXPECT_EQ(palette, tally.Palette());
  EXPECT_EQ(std::count(palette.begin() + 30, palette.end(), 0), 768 - 30);
}

TEST(GeneratePalette, ThreeHundredColoursKeepTheGreaterKeysAtATiedCut) {
  TempDir dir;
  ColourTally tally;
  std::vector<Rgb> pixels;
  for (int i = 0; i < 300; ++i) {
    // Colours 200 to 299 all have 3 pixels: the cut at 256 falls among them.
    const int count = i < 200 ? 4 + i % 5 : 3;
    const Rgb colour = {static_cast<std::uint8_t>(i % 7 * 30), static_cast<std::uint8_t>(i % 256), static_cast<std::uint8_t>(i / 256 * 100 + i % 3)};
    for (int k = 0; k < count; ++k) pixels.push_back(colour);
  }
  std::shuffle(pixels.begin(), pixels.end(), std::mt19937(7));
  tally.Add(pixels);
  WriteBytes(dir / "tex/many.m32", OneLevelM32(pixels));
  ASSERT_EQ(Generate(dir).exit_code, 0);
  EXPECT_EQ(ReadBytes(dir / "pal.lmp"), tally.Palette());
}

TEST(GeneratePalette, EqualCountsPutTheGreaterColourKeyFirst) {
  TempDir dir;
  WriteBytes(dir / "tex/a.m32", OneLevelM32({{255, 0, 0}, {0, 0, 255}, {0, 1, 0}, {1, 0, 0}}));
  ASSERT_EQ(Generate(dir).exit_code, 0);
  std::vector<std::uint8_t> expected(768, 0);
  const std::vector<std::uint8_t> order = {0, 0, 255, 0, 1, 0, 255, 0, 0, 1, 0, 0};
  std::copy(order.begin(), order.end(), expected.begin());
  EXPECT_EQ(ReadBytes(dir / "pal.lmp"), expected);
}

TEST(GeneratePalette, CountsAddUpOverFilesAndIgnoreTheFourthByte) {
  TempDir dir;
  // 10, 20, 30 appears 2 + 2 times over two files (fourth bytes 0 to 3), 9, 9, 9 three times in
  // one: the spread colour wins.
  WriteBytes(dir / "tex/a.m32", OneLevelM32({{10, 20, 30}, {10, 20, 30}, {9, 9, 9}, {9, 9, 9}, {9, 9, 9}}));
  WriteBytes(dir / "tex/sub/b.m32", OneLevelM32({{10, 20, 30}, {10, 20, 30}}, 200));
  ASSERT_EQ(Generate(dir, {"-s"}).exit_code, 0);
  std::vector<std::uint8_t> expected(768, 0);
  const std::vector<std::uint8_t> order = {10, 20, 30, 9, 9, 9};
  std::copy(order.begin(), order.end(), expected.begin());
  EXPECT_EQ(ReadBytes(dir / "pal.lmp"), expected);
  // Without -s the subdirectory does not count.
  ASSERT_EQ(Generate(dir).exit_code, 0);
  std::copy(order.begin() + 3, order.end(), expected.begin());
  std::copy(order.begin(), order.begin() + 3, expected.begin() + 3);
  EXPECT_EQ(ReadBytes(dir / "pal.lmp"), expected);
}

TEST(GeneratePalette, M8CountsLevelZeroOnlyM32CountsEveryLevel) {
  TempDir dir;
  // An 8 x 8 M32 with levels 8, 4, 2, 1: 85 pixels of colour A.
  M32Fields m32;
  m32.width = {8, 4, 2, 1};
  m32.height = {8, 4, 2, 1};
  for (int i = 0; i < 85; ++i) m32.pixels.insert(m32.pixels.end(), {50, 60, 70, 0});
  WriteBytes(dir / "tex/a.m32", BuildM32(m32));
  // An 8 x 8 M8 whose 86 stored pixels are all index 1 (colour B): only its 64 level-0 pixels
  // count.
  M8Fields m8;
  m8.version = 2;
  m8.width = {8, 4, 2, 1, 1};
  m8.height = {8, 4, 2, 1, 1};
  m8.indices.assign(64 + 16 + 4 + 1 + 1, 1);
  m8.palette.assign(768, 0);
  m8.palette[3] = 80;
  m8.palette[4] = 90;
  m8.palette[5] = 100;
  WriteBytes(dir / "tex/b.m8", BuildM8(m8));
  // B gets 70 more pixels: 134 in all, below C's 150; counting every M8 level would give 156.
  // E has 75 pixels: below A's 85, above the 64 of A's level 0 alone.
  WriteBytes(dir / "tex/c.m32", OneLevelM32(Repeat({80, 90, 100}, 70)));
  WriteBytes(dir / "tex/d.m32", OneLevelM32(Repeat({1, 1, 1}, 150)));
  WriteBytes(dir / "tex/e.m32", OneLevelM32(Repeat({2, 2, 2}, 75)));
  ASSERT_EQ(Generate(dir).exit_code, 0);
  std::vector<std::uint8_t> expected(768, 0);
  const std::vector<std::uint8_t> order = {1, 1, 1, 80, 90, 100, 50, 60, 70, 2, 2, 2};
  std::copy(order.begin(), order.end(), expected.begin());
  EXPECT_EQ(ReadBytes(dir / "pal.lmp"), expected);
}

TEST(GeneratePalette, NoSourcesThatLoadLeaveThePaletteFileAsItWas) {
  TempDir dir;
  WriteText(dir / "tex/readme.txt", "");
  WriteBytes(dir / "tex/broken.m32", {1, 2, 3});
  WriteBytes(dir / "pal.lmp", NoiseBytes(768, 1));
  const ProgramResult result = Generate(dir);
  EXPECT_EQ(result.out, kBanner + kGenerating + kGenerated + kConverted);
  EXPECT_EQ(result.err, "tarnvick: no colours counted, the palette file is not written: pal.lmp\n"
                        "tarnvick: skipped tex/broken.m32: file is truncated (3 of 968 bytes)\n");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(ReadBytes(dir / "pal.lmp"), NoiseBytes(768, 1));
}

TEST(GeneratePalette, DefaultRunWritesThePaletteAndEveryWal) {
  TempDir dir;
  ColourTally tally;
  std::map<std::string, WalContent> wals;
  // M32 files with full chains of a few colours, M8 files of several versions.
  for (int f = 0; f < 3; ++f) {
    M32Fields fields;
    std::size_t total = 0;
    for (std::uint32_t l = 0; l < 6; ++l) {
      fields.width.push_back(32 >> l);
      fields.height.push_back(16 >> l);
      total += (32u >> l) * (16u >> l);
    }
    const std::vector<std::uint8_t> noise = NoiseBytes(total, static_cast<std::uint32_t>(f));
    for (const std::uint8_t n : noise) fields.pixels.insert(fields.pixels.end(), {static_cast<std::uint8_t>(n & 0xF0), static_cast<std::uint8_t>(f * 40), static_cast<std::uint8_t>(n << 4), n});
    const std::vector<Rgb> pixels = PixelsOf32(fields.pixels);
    tally.Add(pixels);
    const std::string path = "m32_" + std::to_string(f) + ".m32";
    WriteBytes(dir / ("tex/" + path), BuildM32(fields));
    wals[WalPathFor(path)] = {fields.name, fields.animation_name, 32, 16, fields.flags, fields.contents, fields.value, pixels};
  }
  for (const std::int32_t version : {0, 2, 4}) {
    M8Fields fields;
    fields.version = version;
    fields.width = {16, 8, 4, 2, 1};
    fields.height = {16, 8, 4, 2, 1};
    fields.palette = NoiseBytes(768, static_cast<std::uint32_t>(version + 50));
    fields.indices = NoiseBytes(16 * 16 + 64 + 16 + 4 + 1, static_cast<std::uint32_t>(version));
    for (std::uint8_t& index : fields.indices) index &= 0x3F;
    const std::vector<Rgb> pixels = PixelsOfIndices(fields.indices, fields.palette);
    tally.Add(std::vector<Rgb>(pixels.begin(), pixels.begin() + 256));
    const std::string path = "sub/m8_" + std::to_string(version) + ".m8";
    WriteBytes(dir / ("tex/" + path), BuildM8(fields));
    wals[WalPathFor(path)] = {fields.name, fields.animation_name, 16, 16, fields.flags, fields.contents, fields.value, pixels};
  }

  ProgramResult result = RunTarnvick({"tex", "-s"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.out, kBanner + kGenerating + kGenerated + kConverted);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
  const std::vector<std::uint8_t> palette = tally.Palette();
  EXPECT_EQ(ReadBytes(dir / "palette.lmp"), palette);
  for (const auto& [path, content] : wals) EXPECT_EQ(ReadBytes(dir / ("tex/" + path)), ExpectedWal(content, palette)) << path;

  // The same run with -v: directory lines in both walks.
  result = RunTarnvick({"tex", "-s", "-v"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.out, kBanner + kGenerating + "\n\ttex...\n\ttex/sub..." + kGenerated +
                            "\nconverting M8/M32 files...\n\ttex...\n\ttex/sub...\ndone.\n");
  EXPECT_EQ(ReadBytes(dir / "palette.lmp"), palette) << "the WAL files are not sources";
}

TEST(GeneratePalette, APaletteThatCannotBeWrittenStopsBeforeConverting) {
  TempDir dir;
  WriteBytes(dir / "tex/a.m32", OneLevelM32(Repeat({1, 2, 3}, 4)));
  M32Fields four;
  four.width = {8, 4, 2, 1};
  four.height = {8, 4, 2, 1};
  four.pixels = NoiseBytes(4 * 85, 1);
  WriteBytes(dir / "tex/b.m32", BuildM32(four));
  WriteText(dir / "tex/b.wal", "old wal");
  WriteText(dir / "locked/pal.lmp", "old palette");
  std::filesystem::create_directory(dir / "folder.lmp");
  ASSERT_EQ(::mkfifo((dir / "fifo.lmp").c_str(), 0600), 0);
  std::filesystem::create_symlink("folder.lmp", dir / "link.lmp");
  WriteText(dir / "file", "");
  // Paths that cannot be written are found before the library is read: only the banner shows.
  const std::pair<std::string, std::string> early[] = {
      {"folder.lmp", "not a regular file"},
      {"fifo.lmp", "not a regular file"},
      {"link.lmp", "not a regular file"},
      {"missing/pal.lmp", "No such file or directory"},
      {"file/pal.lmp", "Not a directory"},
      {"", "No such file or directory"},
  };
  for (const auto& [path, reason] : early) {
    const ProgramResult result = RunTarnvick({"tex", "-o" + path}, {.working_directory = dir.path()});
    EXPECT_EQ(result.out, kBanner);
    EXPECT_EQ(result.err, "tarnvick: cannot write palette file: " + path + ": " + reason + "\n");
    EXPECT_EQ(result.exit_code, 4);
  }
  // A full disk, simulated with a file-size limit below 768 bytes: found only while writing.
  const std::string stopped = kBanner + kGenerating + kGenerated;
  ProgramResult result =
      RunTarnvick({"tex", "-olocked/pal.lmp"}, {.working_directory = dir.path(), .file_size_limit = 500});
  EXPECT_EQ(result.out, stopped);
  EXPECT_EQ(result.err, "tarnvick: cannot write palette file: locked/pal.lmp: File too large\n");
  EXPECT_EQ(result.exit_code, 4);
  // A read-only folder (root writes anyway, so the program runs as an ordinary user).
  OpenToEveryone(dir.path());
  std::filesystem::permissions(dir / "locked", std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
  result = RunTarnvick({"tex", "-olocked/pal.lmp"}, {.working_directory = dir.path(), .unprivileged = true});
  EXPECT_EQ(result.out, kBanner);
  EXPECT_EQ(result.err, "tarnvick: cannot write palette file: locked/pal.lmp: Permission denied\n");
  EXPECT_EQ(result.exit_code, 4);

  EXPECT_EQ(ReadText(dir / "locked/pal.lmp"), "old palette");
  EXPECT_EQ(ListNames(dir / "locked"), std::vector<std::string>{"pal.lmp"});
  EXPECT_EQ(ReadText(dir / "tex/b.wal"), "old wal");
  EXPECT_EQ(ListNames(dir / "tex"), (std::vector<std::string>{"a.m32", "b.m32", "b.wal"}));
}

}  // namespace
}  // namespace tarnvick::testing
