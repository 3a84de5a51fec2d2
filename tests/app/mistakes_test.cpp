// Slips a new user makes, through the real program: each is told on standard error, and none
// destroys a file or changes what a correct run does.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/texture_pairs.h"

namespace tarnvick::testing {
namespace {

namespace fs = std::filesystem;

const std::string kConverted = std::string(kBanner) + "\nconverting M8/M32 files...\ndone.\n";

TEST(Mistakes, IgnoredArgumentsAreNamedAndTheRunIsUnchanged) {
  TempDir dir;
  const std::vector<std::uint8_t> palette = RandomPalette(11);
  WriteBytes(dir / "p.pal", palette);
  const auto [source, wal] = M32WithWal(16, 16, 11, palette);
  WriteBytes(dir / "tex/a.m32", source);
  const struct {
    std::vector<std::string> extra;
    std::string err;
  } cases[] = {
      {{"-r"}, "tarnvick: unknown option ignored: -r\n"},
      {{"-x", "-j2", "-jobs=1"},
       "tarnvick: unknown option ignored: -x\ntarnvick: unknown option ignored: -j2\n"
       "tarnvick: unknown option ignored: -jobs=1\n"},
      {{"other", "-v"}, "tarnvick: extra argument ignored: other\ntarnvick: 1 converted, 0 skipped\n"
                        "tarnvick: palette PSNR "},
      // A value taken by the option before it is not an extra argument; the one after it is.
      {{"--report", "r.csv", "x.csv"}, "tarnvick: extra argument ignored: x.csv\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.extra[0]);
    fs::remove(dir / "tex/a.wal");
    std::vector<std::string> arguments = {"tex", "-pp.pal"};
    arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
    const ProgramResult result = RunTarnvick(arguments, {.working_directory = dir.path()});
    EXPECT_EQ(result.err.substr(0, c.err.size()), c.err);
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(ReadBytes(dir / "tex/a.wal"), wal);
  }
}

struct timespec ModificationTime(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mtim;
}

TEST(Mistakes, NoColourCountedKeepsThePaletteFileAndSaysWhy) {
  TempDir dir;
  const std::vector<std::uint8_t> kept = RandomPalette(12);
  WriteBytes(dir / "palette.lmp", kept);
  const timespec old_time{1000000000, 0};
  const timespec times[2] = {old_time, old_time};
  ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "palette.lmp").c_str(), times, 0), 0);
  fs::create_directories(dir / "empty");
  WriteBytes(dir / "nested/sub/a.m32", M32WithWal(8, 8, 12, kept).first);
  WriteBytes(dir / "broken/a.m32", {1, 2, 3});
  fs::create_directories(dir / "linked");
  fs::create_directory_symlink("../nested/sub", dir / "linked/sub");
  const std::string none = "tarnvick: no colours counted, the palette file is not written: palette.lmp\n";
  const struct {
    std::vector<std::string> arguments;
    std::string err;
  } cases[] = {
      {{"empty"}, none + "tarnvick: no M8 or M32 textures found in empty\n"},
      {{"empty", "--palette-method=median-cut", "-s"}, none + "tarnvick: no M8 or M32 textures found in empty\n"},
      {{"nested"}, none + "tarnvick: no M8 or M32 textures found in nested (subfolders are searched with -s)\n"},
      {{"nested/"}, none + "tarnvick: no M8 or M32 textures found in nested/ (subfolders are searched with -s)\n"},
      {{"linked"}, none + "tarnvick: no M8 or M32 textures found in linked\n"},  // links are never entered
      {{"broken", "-opalette.lmp"}, none + "tarnvick: skipped broken/a.m32: file is truncated (3 of 968 bytes)\n"},
      {{"nested", "-ppalette.lmp"}, "tarnvick: no M8 or M32 textures found in nested (subfolders are searched with -s)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments[0] + " " + c.arguments.back());
    const ProgramResult result = RunTarnvick(c.arguments, {.working_directory = dir.path()});
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(ReadBytes(dir / "palette.lmp"), kept);
    const timespec now = ModificationTime(dir / "palette.lmp");
    EXPECT_EQ(now.tv_sec, old_time.tv_sec);
    EXPECT_EQ(now.tv_nsec, old_time.tv_nsec);
  }
  EXPECT_EQ(ListNames(dir.path()), (std::vector<std::string>{"broken", "empty", "linked", "nested", "palette.lmp"}));
}

TEST(Mistakes, StandardOutputThatCannotBeWrittenIsToldOnce) {
  TempDir dir;
  WriteBytes(dir / "p.pal", RandomPalette(13));
  for (int i = 0; i < 3; ++i) WriteBytes(dir / ("tex/t" + std::to_string(i) + ".m32"), M32WithWal(8, 8, 13, RandomPalette(13)).first);
  const struct {
    ProgramSettings settings;
    std::string reason;
  } cases[] = {{{.working_directory = dir.path(), .stdout_path = "/dev/full"}, "No space left on device"},
               {{.working_directory = dir.path(), .stdout_closed_pipe = true}, "Broken pipe"}};
  for (const auto& c : cases) {
    const ProgramResult result = RunTarnvick({"tex", "-pp.pal", "-v"}, c.settings);
    EXPECT_EQ(result.err.substr(0, result.err.find('\n') + 1), "tarnvick: cannot write standard output: " + c.reason + "\n");
    EXPECT_EQ(result.err.find("standard output", result.err.find('\n')), std::string::npos) << result.err;
    EXPECT_EQ(result.exit_code, 5);
    EXPECT_EQ(ListNames(dir / "tex").size(), 6u);
  }
}

TEST(Mistakes, ALaterSourceThatReplacesAWalOfThisRunIsTold) {
  TempDir dir;
  const std::vector<std::uint8_t> palette = RandomPalette(14);
  WriteBytes(dir / "p.pal", palette);
  const auto m8 = M8WithWal(2, 16, 16, 14, palette);
  WriteBytes(dir / "tex/a.M32", M32WithWal(16, 16, 14, palette).first);
  WriteBytes(dir / "tex/a.m32", M32WithWal(8, 8, 15, palette).first);
  WriteBytes(dir / "tex/a.m8", m8.first);
  WriteBytes(dir / "tex/b.m32", {1, 2, 3});  // skipped: b.m8 replaces nothing of this run
  WriteBytes(dir / "tex/b.m8", m8.first);
  WriteBytes(dir / "tex/sub/a.m8", m8.first);  // another folder, another WAL
  for (const char* jobs : {"--jobs=1", "--jobs=4"}) {
    const ProgramResult result = RunTarnvick({"tex", "-s", "-pp.pal", jobs}, {.working_directory = dir.path()});
    EXPECT_EQ(result.out, kConverted);
    EXPECT_EQ(result.err,
              "tarnvick: two sources make tex/a.wal; kept the one from tex/a.m32\n"
              "tarnvick: two sources make tex/a.wal; kept the one from tex/a.m8\n"
              "tarnvick: skipped tex/b.m32: file is truncated (3 of 968 bytes)\n");
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(ReadBytes(dir / "tex/a.wal"), m8.second);
  }
}

TEST(Mistakes, PreviewAndReportPathsAreCheckedBeforeAnythingIsRead) {
  TempDir dir;
  const std::vector<std::uint8_t> palette = RandomPalette(16);
  WriteBytes(dir / "p.pal", palette);
  WriteBytes(dir / "tex/a.m32", M32WithWal(64, 64, 16, palette).first);
  fs::create_directories(dir / "folder.csv");
  const std::string preview = "tarnvick: cannot write preview: missing/p.png: No such file or directory\n";
  const std::string report = "tarnvick: cannot write report: folder.csv: not a regular file\n";
  const struct {
    std::vector<std::string> arguments;
    std::string err;
  } cases[] = {
      {{"tex", "--preview=missing/p.png"}, preview},
      {{"tex", "-pp.pal", "--preview=missing/p.png"}, preview},
      {{"tex", "--report=folder.csv", "--preview=ok.png"}, report},
      {{"tex", "-pp.pal", "--preview=ok.png", "--report", "folder.csv"}, report},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.back());
    const ProgramResult result = RunTarnvick(c.arguments, {.working_directory = dir.path()});
    EXPECT_EQ(result.out, kBanner);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.exit_code, 4);
    EXPECT_EQ(ListNames(dir.path()), (std::vector<std::string>{"folder.csv", "p.pal", "tex"}));
    EXPECT_EQ(ListNames(dir / "tex"), std::vector<std::string>{"a.m32"});
  }
  // Writable at the start but too large at the end: the WAL and the report are written, exit 5.
  const ProgramResult result =
      RunTarnvick({"tex", "-pp.pal", "--preview=big.png", "--report=r.csv"}, {.working_directory = dir.path(), .file_size_limit = 8000});
  EXPECT_EQ(result.err, "tarnvick: cannot write preview: big.png: File too large\n");
  EXPECT_EQ(result.exit_code, 5);
  EXPECT_FALSE(Exists(dir / "big.png"));
  EXPECT_TRUE(Exists(dir / "r.csv"));
  EXPECT_TRUE(Exists(dir / "tex/a.wal"));
}

TEST(Mistakes, NameFieldsAlwaysEndInAZeroByte) {
  TempDir dir;
  const std::vector<std::uint8_t> palette = RandomPalette(17);
  WriteBytes(dir / "p.pal", palette);
  const struct {
    std::string file, name, animation_name;
    std::string err;
  } cases[] = {
      {"a.m8", std::string(31, 'a'), std::string(32, 'b'), "tarnvick: animation name cut to 31 bytes: tex/a.m8\n"},
      {"b.m8", std::string(32, 'c'), "", "tarnvick: name cut to 31 bytes: tex/b.m8\n"},
      {"c.m32", std::string(32, 'd'), std::string(127, 'e'),
       "tarnvick: name cut to 31 bytes: tex/c.m32\ntarnvick: animation name cut to 31 bytes: tex/c.m32\n"},
      {"d.m32", std::string(31, 'f'), "g", ""},
  };
  std::string err;
  for (const auto& c : cases) {
    if (c.file.ends_with(".m8")) {
      M8Fields fields;
      fields.version = 1;
      fields.width = {8, 4, 2, 1};
      fields.height = {8, 4, 2, 1};
      fields.indices = NoiseBytes(85, 17);
      fields.name = c.name, fields.animation_name = c.animation_name;
      WriteBytes(dir / ("tex/" + c.file), BuildM8(fields));
    } else {
      M32Fields fields;
      fields.width = {8, 4, 2, 1};
      fields.height = {8, 4, 2, 1};
      fields.pixels = NoiseBytes(4 * 85, 17);
      fields.name = c.name, fields.animation_name = c.animation_name;
      WriteBytes(dir / ("tex/" + c.file), BuildM32(fields));
    }
    err += c.err;
  }
  const ProgramResult result = RunTarnvick({"tex", "-pp.pal"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.err, err);
  EXPECT_EQ(result.exit_code, 0);
  // The name field is bytes 0 to 31 of the WAL, the animation name bytes 56 to 87.
  const auto field = [](const std::string& text) {
    std::vector<std::uint8_t> bytes(32, 0);
    for (std::size_t i = 0; i < std::min<std::size_t>(text.size(), 31); ++i) bytes[i] = static_cast<std::uint8_t>(text[i]);
    return bytes;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::vector<std::uint8_t> wal = ReadBytes(dir / ("tex/" + c.file.substr(0, c.file.find('.')) + ".wal"));
    ASSERT_EQ(wal.size(), 100u + 64 + 16 + 4 + 1);
    EXPECT_EQ(std::vector<std::uint8_t>(wal.begin(), wal.begin() + 32), field(c.name));
    EXPECT_EQ(std::vector<std::uint8_t>(wal.begin() + 56, wal.begin() + 88), field(c.animation_name));
  }
}

TEST(Mistakes, TheSampleGeneratorKnowsItsOptionsAndMakesNoFolderNamedLikeOne) {
  TempDir dir;
  const std::string program = TARNVICK_SAMPLES_BINARY;
  const std::string usage =
      "usage: tarnvick-samples DIRECTORY\n       tarnvick-samples --pak DIRECTORY\n"
      "       tarnvick-samples --pictures DIRECTORY\n       tarnvick-samples --seeds DIRECTORY\n"
      "       tarnvick-samples --bench MEGABYTES DIRECTORY\n";
  const struct {
    std::vector<std::string> arguments;
    std::string out, err;
    int code;
  } cases[] = {
      {{"--help"}, usage, "", 0},
      {{"lib", "-h"}, usage, "", 0},
      {{"--recursive"}, "", "tarnvick-samples: unknown option: --recursive\n" + usage, 2},
      {{"--seeds", "-x"}, "", "tarnvick-samples: unknown option: -x\n" + usage, 2},
      {{"--seeds"}, "", usage, 1},
      {{"--pictures", "a", "b"}, "", usage, 1},
      {{"--pictures", "--pak"}, "", "tarnvick-samples: unknown option: --pak\n" + usage, 2},
      {{"--pak", "--seeds"}, "", "tarnvick-samples: unknown option: --seeds\n" + usage, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.back());
    const ProgramResult result = RunTarnvick(c.arguments, {.program = program, .working_directory = dir.path()});
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.exit_code, c.code);
  }
  EXPECT_TRUE(ListNames(dir.path()).empty());
}

}  // namespace
}  // namespace tarnvick::testing
