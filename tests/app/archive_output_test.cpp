// The archive a run writes, against hostile libraries and mistaken paths: what it may replace,
// the names it may store, whose picture goes with a WAL, and its memory.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/pak_files.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/texture_pairs.h"

namespace tarnvick::testing {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

std::vector<std::string> EntryNames(const Bytes& archive) {
  std::vector<std::string> names;
  for (const PakFileEntry& entry : ReadPak(archive)) names.push_back(entry.name);
  return names;
}

TEST(ArchiveOutput, FileIsReplacedOnlyWhenItHoldsNothingButAnEarlierRunsOutput) {
  const Bytes palette = RandomPalette(70);
  const auto a = M32WithWal(8, 8, 71, palette);
  const Bytes game = EncodePak({{"maps/base1.bsp", Bytes(100, 1)}, {"textures/a.wal", a.second}});
  const Bytes sources = EncodePak({{"textures/b.m8", M8WithWal(2, 8, 8, 72, palette).first}});
  const Bytes earlier = EncodePak({{"a.wal", a.second}, {"a.TGA", Bytes(30, 2)}, {"b.png", Bytes(30, 3)}});
  const std::string other = "tarnvick: cannot write archive: out.pak: it holds files other than WALs and their pictures\n";
  const struct {
    std::string what;
    std::string start;
    std::vector<std::string> options;
    std::string file;  // the archive's path
    Bytes before;      // its bytes before the run
    std::string err;
    int exit_code;
    bool replaced;
  } cases[] = {
      {"a game's archive", "lib", {}, "out.pak", game, other, 4, false},
      {"not an archive", "lib", {}, "out.pak", Bytes{'n', 'o', 't', 'e', 's'}, other, 4, false},
      {"an archive of sources outside the library", "lib", {}, "out.pak", sources,
       "tarnvick: cannot write archive: out.pak: it is an input or another output of this run\n", 4, false},
      {"an archive of sources inside the library", "lib", {"-s"}, "lib/pak0.pak", sources,
       "tarnvick: cannot write archive: lib/pak0.pak: it is an input or another output of this run\n", 4, false},
      {"an earlier run's archive", "lib", {}, "out.pak", earlier, "", 0, true},
      {"an empty file", "lib", {}, "out.pak", Bytes{}, "", 0, true},
      {"a wrong start folder", "nothing", {}, "out.pak", earlier,
       "tarnvick: no WAL was made; out.pak is left as it was\ntarnvick: no M8 or M32 textures found in nothing\n", 0, false},
      {"a path ending in a separator", "lib", {}, "new/", {}, "tarnvick: cannot write archive: new/: it names a folder\n", 4,
       false},
      {"a folder", "lib", {}, "lib", {}, "tarnvick: cannot write archive: lib: it names a folder\n", 4, false},
      {"a start archive that is not one", "notes.pak", {}, "out.pak", {},
       "tarnvick: cannot read archive notes.pak: not a PAK archive\n", 4, false},
      {"a start archive that is a FIFO", "fifo.pak", {}, "out.pak", {},
       "tarnvick: cannot read archive fifo.pak: not a regular file\n", 4, false},
  };
  for (const auto& c : cases) {
    TempDir dir;
    WriteBytes(dir / "p.pal", palette);
    WriteBytes(dir / "lib/a.m32", a.first);
    fs::create_directories(dir / "nothing");
    WriteBytes(dir / "notes.pak", Bytes(40, 'x'));
    ASSERT_EQ(::mkfifo((dir / "fifo.pak").c_str(), 0600), 0);
    const bool file = c.file.back() != '/' && c.file != "lib";
    if (file) WriteBytes(dir / c.file, c.before);
    std::vector<std::string> arguments = {c.start, "-pp.pal", "--output-pak=" + c.file};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const ProgramResult result = RunTarnvick(arguments, {.working_directory = dir.path()});
    EXPECT_EQ(result.err, c.err) << c.what;
    EXPECT_EQ(result.exit_code, c.exit_code) << c.what;
    if (file && c.replaced) {
      EXPECT_EQ(EntryNames(ReadBytes(dir / c.file)), std::vector<std::string>{"a.wal"}) << c.what;
    } else if (file) {
      EXPECT_EQ(ReadBytes(dir / c.file), c.before) << c.what;
    }
    EXPECT_FALSE(fs::exists(dir / "new")) << c.what;
    EXPECT_FALSE(fs::exists(dir / "lib/a.wal")) << c.what;
  }
}

TEST(ArchiveOutput, NamesTheArchivesReadersRefuseAreNeverStored) {
  const Bytes palette = RandomPalette(73);
  const auto a = M32WithWal(8, 8, 74, palette), b = M32WithWal(8, 8, 75, palette), c = M32WithWal(8, 8, 76, palette);
  TempDir dir;
  WriteBytes(dir / "p.pal", palette);
  WriteBytes(dir / "lib/..\\..\\evil.m32", a.first);
  WriteBytes(dir / "lib/c:x.m32", a.first);
  WriteBytes(dir / "lib/ctl\x01.m32", a.first);
  WriteBytes(dir / "lib/sub/b.m32", b.first);
  WriteBytes(dir / "lib/sub\\b.m32", c.first);
  WriteBytes(dir / "lib/t.m32", a.first);
  WriteBytes(dir / "lib/T.WAL/a.m32", b.first);  // a folder named as the WAL before, case aside
  // A folder before the file named as it; an unsafe name whose WAL's would be too long besides.
  const std::string unsafe = "../" + std::string(45, 'y') + ".m32";
  WriteBytes(dir / "lib/deep/z.pak",
             EncodePak({{"q.wal/a.m32", a.first}, {"Q.m32", b.first}, {unsafe, a.first}, {"ok.m32", c.first}}));
  const ProgramResult result =
      RunTarnvick({"lib", "-s", "-pp.pal", "--output-pak=mod.pak", "--jobs=3"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.err,
            "tarnvick: skipped lib/..\\..\\evil.m32: its name cannot be an archive entry\n"
            "tarnvick: skipped lib/c:x.m32: its name cannot be an archive entry\n"
            "tarnvick: skipped lib/ctl\\x01.m32: its name cannot be an archive entry\n"
            "tarnvick: skipped lib/T.WAL/a.m32: a file and a folder of one name in the archive\n"
            "tarnvick: skipped lib/deep/z.pak/Q.m32: a file and a folder of one name in the archive\n"
            "tarnvick: skipped lib/deep/z.pak/" + unsafe + ": unsafe name in the archive\n"
            "tarnvick: two sources make mod.pak/sub/b.wal; kept the one from lib/sub/b.m32\n");
  EXPECT_EQ(result.exit_code, 5);
  const std::vector<PakFileEntry> entries = ReadPak(ReadBytes(dir / "mod.pak"));
  std::map<std::string, Bytes> stored;
  for (const PakFileEntry& entry : entries) stored[entry.name] = entry.data;
  EXPECT_EQ(stored, (std::map<std::string, Bytes>{{"deep/ok.wal", c.second},
                                                  {"deep/q.wal/a.wal", a.second},
                                                  {"sub/b.wal", b.second},
                                                  {"t.wal", a.second}}));
}

TEST(ArchiveOutput, AWalAndItsPictureComeFromOneSourceAndNoWalReplacesAnInput) {
  const Bytes palette = RandomPalette(77);
  const auto a = M32WithWal(8, 8, 78, palette);
  // Too wide for a TGA picture: its WAL is made, its picture cannot be.
  const auto wide = M8WithWal(2, 65536, 8, 79, palette);
  TempDir dir;
  WriteBytes(dir / "p.pal", palette);
  WriteBytes(dir / "lib/a.m32", a.first);
  WriteBytes(dir / "lib/a.m8", wide.first);
  const std::string tga_failure = "a.tga: a TGA picture holds at most 65535 x 65535 pixels\n";
  ProgramResult result = RunTarnvick({"lib", "-pp.pal", "--true-colour=tga"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.err, "tarnvick: two sources make lib/a.wal; kept the one from lib/a.m8\ntarnvick: cannot write lib/" +
                            tga_failure);
  EXPECT_EQ(result.exit_code, 5);
  EXPECT_EQ(ReadBytes(dir / "lib/a.wal"), wide.second);
  EXPECT_FALSE(fs::exists(dir / "lib/a.tga"));
  result = RunTarnvick({"lib", "-pp.pal", "--true-colour=tga", "--output-pak=mod.pak"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.exit_code, 5);
  EXPECT_EQ(EntryNames(ReadBytes(dir / "mod.pak")), std::vector<std::string>{"a.wal"});

  // A palette at a WAL's path is read, never replaced.
  WriteBytes(dir / "lib/a.wal", palette);
  fs::remove(dir / "lib/a.m32");
  result = RunTarnvick({"lib", "-plib/a.wal"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.err, "tarnvick: skipped lib/a.m8: cannot write lib/a.wal: it is an input or another output of this run\n");
  EXPECT_EQ(result.exit_code, 5);
  EXPECT_EQ(ReadBytes(dir / "lib/a.wal"), palette);
}

TEST(ArchiveOutput, MemoryDoesNotGrowWithTheEntriesOfAnArchiveNorWithWaitingOutputs) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers' own memory would be measured";
#else
  const Bytes palette = RandomPalette(80);
  TempDir dir;
  WriteBytes(dir / "p.pal", palette);
  // 200,000 entries whose data lies outside the archive: each is refused, none read.
  constexpr std::size_t kEntries = 200000;
  Bytes archive = EncodePak({{"d/x.m8", Bytes{}}});
  const std::size_t directory = archive.size() - 64;
  archive.resize(directory);
  for (std::size_t i = 0; i < kEntries; ++i) {
    Bytes entry(64, 0);
    const std::string name = "d/" + std::to_string(i) + ".m8";
    std::copy(name.begin(), name.end(), entry.begin());
    PutI32(entry, 56, 1 << 30);
    PutI32(entry, 60, 100);
    archive.insert(archive.end(), entry.begin(), entry.end());
  }
  PutI32(archive, 8, static_cast<std::int32_t>(kEntries * 64));
  WriteBytes(dir / "big/pak0.pak", archive);
  WriteBytes(dir / "small/a.m32", M32WithWal(8, 8, 81, palette).first);
  const auto peak = [&](const std::vector<std::string>& arguments) {
    const ProgramResult result = RunTarnvick(arguments, {.working_directory = dir.path(), .stdout_path = "/dev/null"});
    EXPECT_EQ(result.exit_code, 0) << arguments[0];
    return result.peak_memory_kib * 1024L;
  };
  const long base = peak({"small", "-pp.pal"});
  for (const std::string output : {"--output-dir=out", "--output-pak=out.pak"}) {
    EXPECT_LT(peak({"big", "-pp.pal", output}), base + 64L * kEntries) << output;
  }
  // Finished outputs waiting for a slow first source count against the work in flight.
  M8Fields slow;
  slow.version = 2;
  slow.width = {4096, 2048, 1024, 512};
  slow.height = slow.width;
  slow.indices = NoiseBytes(4096 * 4096 + 2048 * 2048 + 1024 * 1024 + 512 * 512, 82);
  const Bytes first = BuildM8(slow);
  WriteBytes(dir / "wait/a.m8", first);
  M32Fields quick;
  quick.width = {1024, 512, 256, 128};
  quick.height = quick.width;
  quick.pixels = NoiseBytes(4 * (1024 * 1024 + 512 * 512 + 256 * 256 + 128 * 128), 83);
  const Bytes later = BuildM32(quick);
  for (int i = 0; i < 48; ++i) WriteBytes(dir / ("wait/b" + std::to_string(i) + ".m32"), later);
  for (const std::string jobs : {"--jobs=2", "--jobs=8"}) {
    EXPECT_LT(peak({"wait", "-pp.pal", "--true-colour=tga", "--transparent", "--dither", jobs, "--output-pak=wait.pak"}),
              2 * static_cast<long>(first.size()) + (200L << 20)) << jobs;
  }
#endif
}

}  // namespace
}  // namespace tarnvick::testing
