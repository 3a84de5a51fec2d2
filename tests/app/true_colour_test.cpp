// The true-colour pictures beside the WALs, decoded here (PNG with libpng, TGA by its header and
// rows) and compared with the sources' level 0; and the flags of --flags=quake2.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "support/png_reader.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/texture_pairs.h"

namespace tarnvick::testing {
namespace {

namespace fs = std::filesystem;

// A picture's size, whether it holds alpha, and its pixels as RGBA from the top row.
using Picture = std::tuple<std::uint32_t, std::uint32_t, bool, std::vector<std::uint8_t>>;

Picture ReadPicture(const std::string& path) {
  const std::vector<std::uint8_t> bytes = ReadBytes(path);
  if (path.ends_with(".png")) {
    // Colour type 2 or 6, not interlaced.
    if (bytes.size() < 29 || (bytes[25] != 2 && bytes[25] != 6) || bytes[28] != 0) return {};
    const RgbImage image = ReadPng(path, true);
    return {image.width, image.height, bytes[25] == 6, image.rgb};
  }
  // Uncompressed true colour without ID or colour map, rows from the bottom up.
  if (bytes.size() < 18 || bytes[0] != 0 || bytes[1] != 0 || bytes[2] != 2) return {};
  const std::uint32_t w = bytes[12] | bytes[13] << 8, h = bytes[14] | bytes[15] << 8, step = bytes[16] / 8u;
  if ((bytes[16] != 24 || bytes[17] != 0) && (bytes[16] != 32 || bytes[17] != 8)) return {};
  if (bytes.size() != 18 + std::size_t{step} * w * h) return {};
  std::vector<std::uint8_t> rgba;
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      const std::uint8_t* p = &bytes[18 + step * ((h - 1 - y) * w + x)];
      rgba.insert(rgba.end(), {p[2], p[1], p[0], step == 4 ? p[3] : std::uint8_t{255}});
    }
  }
  return {w, h, step == 4, rgba};
}

struct Sources {
  M32Fields m32;  // 32 x 16, its fourth bytes noise: transparent, half-transparent and opaque pixels
  M8Fields m8;    // 16 x 8
};

Sources WriteSources(const TempDir& dir) {
  Sources s;
  s.m32.width = {32, 16, 8, 4, 2, 1};
  s.m32.height = s.m8.width = {16, 8, 4, 2, 1};
  s.m8.height = {8, 4, 2, 1};
  s.m32.pixels = NoiseBytes(4 * 32 * 16 * 2, 41);
  s.m8.version = 2;
  s.m8.palette = NoiseBytes(768, 42);
  s.m8.indices = NoiseBytes(16 * 8 * 2, 43);
  WriteBytes(dir / "p.pal", RandomPalette(44));
  WriteBytes(dir / "tex/a.m32", BuildM32(s.m32));
  WriteBytes(dir / "tex/e1/b.m8", BuildM8(s.m8));
  return s;
}

TEST(TrueColour, PicturesBesideTheWalsHoldEachSourcesLevel0) {
  const Sources s = WriteSources(TempDir());
  const std::pair<std::string, std::string> cases[] = {{"png", ""}, {"png", "--transparent"}, {"tga", ""}, {"tga", "--transparent"}};
  for (const auto& [form, transparent] : cases) {
    Picture m32{32, 16, !transparent.empty(), {}}, m8{16, 8, !transparent.empty(), {}};
    for (std::size_t i = 0; i < 32 * 16; ++i) {
      const std::uint8_t* p = &s.m32.pixels[4 * i];
      std::get<3>(m32).insert(std::get<3>(m32).end(), {p[0], p[1], p[2], transparent.empty() ? std::uint8_t{255} : p[3]});
    }
    for (std::size_t i = 0; i < 16 * 8; ++i) {
      const std::uint8_t* p = &s.m8.palette[3 * s.m8.indices[i]];
      std::get<3>(m8).insert(std::get<3>(m8).end(), {p[0], p[1], p[2], 255});
    }
    for (const std::string root : {"tex/", "mod/"}) {
      TempDir dir;
      WriteSources(dir);
      const std::string a = dir / (root + "a." + form), b = dir / (root + "e1/b." + form);
      std::vector<std::vector<std::uint8_t>> first;
      for (const char* jobs : {"--jobs=1", "--jobs=8"}) {
        std::vector<std::string> arguments = {"tex", "-s", "-pp.pal", "--true-colour=" + form, jobs};
        if (!transparent.empty()) arguments.push_back(transparent);
        if (root == "mod/") arguments.push_back("--output-dir=mod");
        const ProgramResult result = RunTarnvick(arguments, {.working_directory = dir.path()});
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.exit_code, 0);
        EXPECT_EQ(ReadPicture(a), m32) << form << transparent << root;
        EXPECT_EQ(ReadPicture(b), m8) << form << transparent << root;
        EXPECT_TRUE(Exists(dir / (root + "a.wal")));
        EXPECT_EQ(Exists(dir / ("tex/a." + form)), root == "tex/");
        if (first.empty()) {
          first = {ReadBytes(a), ReadBytes(b)};
          fs::last_write_time(a, fs::file_time_type());  // to tell whether it is written again
        }
        EXPECT_EQ(first, std::vector({ReadBytes(a), ReadBytes(b)})) << jobs;
      }
      // A picture that holds its bytes is left as it is.
      EXPECT_EQ(fs::last_write_time(a), fs::file_time_type()) << form;
    }
  }
}

TEST(TrueColour, APictureInTheWayOrNamingAnotherFileOfTheRunIsToldAndTheWalWritten) {
  struct Case {
    std::function<void(const TempDir&)> before;
    std::vector<std::string> options;
    std::string err;
    int exit_code;
    std::uint32_t width_there;  // of the PNG at the picture's path afterwards, 0 for none
  };
  const std::string kOther = "tarnvick: cannot write tex/a.png: it is an input or another output of this run\n";
  const Case cases[] = {
      {[](const TempDir& dir) { fs::create_directories(dir / "tex/a.png"); }, {"-pp.pal"},
       "tarnvick: cannot write tex/a.png: not a regular file\n", 5, 0},
      {[](const TempDir& dir) { fs::copy_file(dir / "p.pal", dir / "tex/a.png"); }, {"-ptex/a.png"}, kOther, 5, 0},
      {[](const TempDir&) {}, {"-pp.pal", "--preview=tex/a.png"}, kOther, 5, 1024},
      {[](const TempDir&) {}, {"-otex/a.png"}, kOther, 5, 16},
      // A link at the picture's path is replaced; the file it names is untouched.
      {[](const TempDir& dir) {
         WriteText(dir / "elsewhere.png", "kept");
         fs::create_symlink("../elsewhere.png", dir / "tex/a.png");
       },
       {"-pp.pal", "--report=r.csv"}, "", 0, 32},
  };
  for (const Case& c : cases) {
    TempDir dir;
    WriteSources(dir);
    c.before(dir);
    const std::vector<std::uint8_t> palette = ReadBytes(dir / "p.pal");
    std::vector<std::string> arguments = {"tex", "--true-colour=png"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const ProgramResult result = RunTarnvick(arguments, {.working_directory = dir.path()});
    EXPECT_EQ(result.err, c.err) << c.options.back();
    EXPECT_EQ(result.exit_code, c.exit_code) << c.options.back();
    EXPECT_TRUE(Exists(dir / "tex/a.wal")) << c.options.back();
    EXPECT_EQ(ReadBytes(dir / "p.pal"), palette);
    const std::string there = dir / "tex/a.png";
    EXPECT_EQ(fs::is_regular_file(there) ? ReadPng(there).width : 0u, c.width_there) << c.options.back();
    EXPECT_TRUE(c.exit_code != 0 || ReadText(dir / "elsewhere.png") == "kept");
  }
}

TEST(TrueColour, Quake2FlagsKeepOnlyTheBitsQuake2DefinesAndTellAlphaTest) {
  struct Case {
    std::uint32_t flags, contents;
    std::vector<std::string> options;
    bool transparent_pixel;  // one pixel of every level has a fourth byte of 0
    std::uint32_t expected_flags, expected_contents;
  };
  const Case cases[] = {
      {0xFFFFFFFF, 0xFFFFFFFF, {}, true, 0xFFFFFFFF, 0xFFFFFFFF},
      {0xFFFFFFFF, 0xFFFFFFFF, {"--flags=keep", "--transparent"}, true, 0xFFFFFFFF, 0xFFFFFFFF},
      {0xFFFFFFFF, 0xFFFFFFFF, {"--flags=quake2"}, true, 0x3FF, 0x3FFF807F},
      {0x12345678, 0x9ABCDEF0, {"--flags=quake2"}, false, 0x278, 0x1ABC8070},
      {0x020003FF, 0x00000001, {"--flags=quake2", "--transparent"}, false, 0x3FF, 1},
      {0x00000010, 0x00007F80, {"--flags=quake2", "--transparent"}, true, 0x02000010, 0},
      {0x00000000, 0xC0000000, {"--flags=quake2", "--transparent", "--true-colour=tga"}, true, 0x02000000, 0},
  };
  for (const Case& c : cases) {
    TempDir dir;
    M32Fields fields{.width = {8, 4, 2, 1}, .height = {8, 4, 2, 1}, .offset = {},
                     .pixels = std::vector<std::uint8_t>(4 * 85, 255), .flags = c.flags, .contents = c.contents,
                     .value = 0xDEADBEEF};
    for (const std::size_t at : {0, 64, 80, 84}) fields.pixels[4 * at + 3] = c.transparent_pixel ? 0 : 255;
    WriteBytes(dir / "tex/a.m32", BuildM32(fields));
    WriteBytes(dir / "p.pal", RandomPalette(45));
    std::vector<std::string> arguments = {"tex", "-pp.pal"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const ProgramResult result = RunTarnvick(arguments, {.working_directory = dir.path()});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    const std::vector<std::uint8_t> wal = ReadBytes(dir / "tex/a.wal");
    ASSERT_EQ(wal.size(), 185u);
    EXPECT_EQ(Get32(wal, 88), c.expected_flags) << c.flags;
    EXPECT_EQ(Get32(wal, 92), c.expected_contents) << c.flags;
    EXPECT_EQ(Get32(wal, 96), 0xDEADBEEF);
  }
}

}  // namespace
}  // namespace tarnvick::testing
