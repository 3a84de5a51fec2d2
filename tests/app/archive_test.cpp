// Textures inside PAK archives, as the games ship them, and the archive a run writes: archives
// built here, the WALs and archives the program makes read back by code of the test's own.
#include <gtest/gtest.h>

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
using Files = std::map<std::string, Bytes>;

std::vector<std::string> With(std::vector<std::string> arguments, const std::vector<std::string>& more) {
  arguments.insert(arguments.end(), more.begin(), more.end());
  return arguments;
}

TEST(Archive, EntriesMakeTheWalsTheSameFilesMakeLooseIntoTheArchivesFolder) {
  const Bytes palette = RandomPalette(40);
  const auto a = M32WithWal(16, 16, 41, palette), b = M8WithWal(3, 32, 8, 42, palette), c = M32WithWal(8, 16, 43, palette);
  for (const bool generated : {false, true}) {
    for (const bool output_folder : {false, true}) {
      TempDir dir;
      WriteBytes(dir / "p.pal", palette);
      WriteBytes(dir / "lib/a.m32", a.first);
      WriteBytes(dir / "lib/e1/b.m8", b.first);
      WriteBytes(dir / "lib/e1/deep/c.m32", c.first);
      // The same files in an archive, one named with '\' between its folders.
      WriteBytes(dir / "pk/pak0.pak", EncodePak({{"a.m32", a.first}, {"e1/b.m8", b.first}, {"e1\\deep\\c.m32", c.first}}));
      const std::string what = std::string(generated ? "generated" : "-p") + (output_folder ? ", output folder" : "");
      const auto run = [&](const std::string& library) {
        std::vector<std::string> arguments = {library, "-s", generated ? "-o" + library + ".lmp" : "-pp.pal"};
        if (output_folder) arguments.push_back("--output-dir=" + library + "-out");
        const ProgramResult result = RunTarnvick(arguments, {.working_directory = dir.path()});
        EXPECT_EQ(result.err, "") << what;
        EXPECT_EQ(result.exit_code, 0) << what;
        return WalsBelow(dir / (output_folder ? library + "-out" : library));
      };
      const Files loose = run("lib"), archived = run("pk");
      EXPECT_EQ(archived, loose) << what;
      EXPECT_EQ(loose.size(), 3u) << what;
      if (generated) {
        EXPECT_EQ(ReadBytes(dir / "pk.lmp"), ReadBytes(dir / "lib.lmp")) << what;
      } else {
        EXPECT_EQ(archived, (Files{{"a.wal", a.second}, {"e1/b.wal", b.second}, {"e1/deep/c.wal", c.second}})) << what;
      }
    }
  }
}

TEST(Archive, TheLaterSourceWinsAsTheGameSearchesItsFolder) {
  const Bytes palette = RandomPalette(44);
  std::vector<std::pair<Bytes, Bytes>> pairs;
  for (std::uint32_t seed = 0; seed < 5; ++seed) pairs.push_back(M32WithWal(8, 8, 50 + seed, palette));
  const auto& [loose_a, loose_b, early_a, late_a, late_b] = std::tie(pairs[0], pairs[1], pairs[2], pairs[3], pairs[4]);
  TempDir dir;
  WriteBytes(dir / "p.pal", palette);
  WriteBytes(dir / "lib/a.m32", loose_a.first);
  WriteBytes(dir / "lib/sub/b.m32", loose_b.first);
  WriteBytes(dir / "lib/pak0.pak", EncodePak({{"a.m32", early_a.first}}));
  WriteBytes(dir / "lib/pak1.pak", EncodePak({{"A.M32", late_a.first}, {"sub/b.m32", late_b.first}}));
  for (const std::string jobs : {"--jobs=1", "--jobs=8"}) {
    ProgramResult result = RunTarnvick({"lib", "-s", "-pp.pal", jobs}, {.working_directory = dir.path()});
    EXPECT_EQ(result.err,
              "tarnvick: two sources make lib/a.wal; kept the one from lib/pak0.pak/a.m32\n"
              "tarnvick: two sources make lib/sub/b.wal; kept the one from lib/pak1.pak/sub/b.m32\n") << jobs;
    // A.M32 makes A.wal, another file here; in an archive the two are one entry, as Quake 2 reads it.
    EXPECT_EQ(WalsBelow(dir / "lib"), (Files{{"A.wal", late_a.second}, {"a.wal", early_a.second}, {"sub/b.wal", late_b.second}}));
    result = RunTarnvick({"lib", "-s", "-pp.pal", jobs, "--output-pak=mod/pak0.pak"}, {.working_directory = dir.path()});
    EXPECT_EQ(result.err,
              "tarnvick: two sources make mod/pak0.pak/a.wal; kept the one from lib/pak0.pak/a.m32\n"
              "tarnvick: two sources make mod/pak0.pak/A.wal; kept the one from lib/pak1.pak/A.M32\n"
              "tarnvick: two sources make mod/pak0.pak/sub/b.wal; kept the one from lib/pak1.pak/sub/b.m32\n") << jobs;
    const std::vector<PakFileEntry> entries = ReadPak(ReadBytes(dir / "mod/pak0.pak"));
    ASSERT_EQ(entries.size(), 2u) << jobs;
    EXPECT_EQ(entries[0].name, "A.wal");
    EXPECT_EQ(entries[0].data, late_a.second);
    EXPECT_EQ(entries[1].name, "sub/b.wal");
    EXPECT_EQ(entries[1].data, late_b.second);
    for (const std::string wal : {"lib/a.wal", "lib/A.wal", "lib/sub/b.wal"}) fs::remove(dir / wal);
  }
}

TEST(Archive, DamagedArchivesAndHostileEntriesAreToldAndNothingIsWrittenOutsideTheirFolder) {
  const Bytes palette = RandomPalette(45);
  const Bytes source = M32WithWal(8, 8, 46, palette).first;
  TempDir dir;
  WriteBytes(dir / "lib/bad1.pak", {'P', 'A', 'C', 'X', 12, 0, 0, 0, 0, 0, 0, 0});
  WriteBytes(dir / "lib/bad2.pak", {'P', 'A', 'C', 'K', 12, 0, 0, 0});
  Bytes beyond = EncodePak({{"a.m32", source}}), negative = beyond, uneven = beyond;
  PutI32(beyond, 4, static_cast<std::int32_t>(beyond.size()));
  PutI32(negative, 8, -64);
  PutI32(uneven, 8, 63);
  WriteBytes(dir / "lib/bad3.pak", beyond);
  WriteBytes(dir / "lib/bad4.pak", uneven);
  WriteBytes(dir / "lib/bad5.pak", negative);
  const std::string full(52, 'n');  // with ".m32", a name field without its zero
  WriteBytes(dir / "lib/names.pak",
             EncodePak({{"../evil.m32", source}, {"/abs.m32", source}, {"a//b.m32", source}, {"./c.m32", source},
                       {"d/../e.m32", source}, {"c:x.m32", source}, {"ctl\x01.m32", source}, {"del\x7f.m32", source},
                       {full + ".m32", source}, {"sub\\ok.m32", source}, {"readme.txt", {1, 2}}, {"inner.pak", {3}},
                       {"Dup.m32", source}, {"dup.M32", source}}));
  Bytes outside = EncodePak({{"in.m32", source}, {"neg.m32", source}, {"past.m32", source}});
  PutI32(outside, PakEntryField(outside, 1), -1);
  PutI32(outside, PakEntryField(outside, 2) + 4, static_cast<std::int32_t>(outside.size()));
  WriteBytes(dir / "lib/outside.pak", outside);
  WriteBytes(dir / "lib/x.pak/y.m32", source);  // a folder with an archive's name is a folder
  // Generating the palette: both walks meet each archive, which is told once.
  const ProgramResult result = RunTarnvick({"lib", "-s", "-op.lmp"}, {.working_directory = dir.path()});
  const std::string unsafe = ": unsafe name in the archive\n";
  EXPECT_EQ(result.err,
            "tarnvick: cannot read archive lib/bad1.pak: not a PAK archive\n"
            "tarnvick: cannot read archive lib/bad2.pak: not a PAK archive\n"
            "tarnvick: cannot read archive lib/bad3.pak: directory outside the file\n"
            "tarnvick: cannot read archive lib/bad4.pak: directory length not a multiple of 64\n"
            "tarnvick: cannot read archive lib/bad5.pak: directory outside the file\n"
            "tarnvick: skipped lib/names.pak/../evil.m32" + unsafe + "tarnvick: skipped lib/names.pak//abs.m32" + unsafe +
            "tarnvick: skipped lib/names.pak/a//b.m32" + unsafe + "tarnvick: skipped lib/names.pak/./c.m32" + unsafe +
            "tarnvick: skipped lib/names.pak/d/../e.m32" + unsafe + "tarnvick: skipped lib/names.pak/c:x.m32" + unsafe +
            "tarnvick: skipped lib/names.pak/ctl\\x01.m32" + unsafe + "tarnvick: skipped lib/names.pak/del\\x7f.m32" + unsafe +
            "tarnvick: skipped lib/names.pak/" + full + ".m32" + unsafe +
            "tarnvick: skipped lib/names.pak/dup.M32: duplicate name in the archive\n"
            "tarnvick: skipped lib/outside.pak/neg.m32: outside the archive\n"
            "tarnvick: skipped lib/outside.pak/past.m32: outside the archive\n");
  EXPECT_EQ(result.exit_code, 0);
  const Files wals = WalsBelow(dir.path());
  std::vector<std::string> names;
  for (const auto& [name, bytes] : wals) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"lib/Dup.wal", "lib/in.wal", "lib/sub/ok.wal", "lib/x.pak/y.wal"}));
}

TEST(Archive, TheStartAndThePaletteMayBeInArchives) {
  const Bytes palette = RandomPalette(47), other = RandomPalette(48);
  const auto a = M32WithWal(16, 8, 49, palette);
  const auto a_other = M32WithWal(16, 8, 49, other);
  TempDir dir;
  WriteBytes(dir / "p.pal", palette);
  WriteBytes(dir / "base/pak0.pak", EncodePak({{"textures/a.m32", a.first}}));
  WriteBytes(dir / "base/pak1.pak", EncodePak({{"readme.txt", {1}}, {"pics/Palette.LMP", other}}));
  WriteBytes(dir / "other/bad.pak", {'n', 'o'});
  const struct {
    std::vector<std::string> arguments;
    std::string err;
    int exit_code;
    Files wals;
  } cases[] = {
      {{"base/pak0.pak", "-pp.pal"}, "", 0, {{"base/textures/a.wal", a.second}}},
      {{"base/pak0.pak", "-pp.pal", "-s", "--output-dir=mod"}, "", 0, {{"mod/textures/a.wal", a.second}}},
      {{"base", "-pbase/pak1.pak/PICS/palette.lmp"}, "", 0, {{"base/textures/a.wal", a_other.second}}},
      {{"base", "-pbase/pak1.pak/pics/missing.lmp"},
       "tarnvick: cannot read palette file: base/pak1.pak/pics/missing.lmp: no such entry in the archive\n", 4, {}},
      {{"base", "-pother/bad.pak/x.lmp"}, "tarnvick: cannot read palette file: other/bad.pak/x.lmp: not a PAK archive\n", 4, {}},
      // Outputs never replace an archive the run reads.
      {{"base/pak0.pak", "-pp.pal", "--preview=base/pak0.pak"},
       "tarnvick: cannot write preview: base/pak0.pak: it is an input or another output of this run\n", 4, {}},
      {{"base", "-pbase/pak1.pak/pics/palette.lmp", "--output-pak=base/pak1.pak"},
       "tarnvick: cannot write archive: base/pak1.pak: it is an input or another output of this run\n", 4, {}},
  };
  for (const auto& c : cases) {
    const ProgramResult result = RunTarnvick(c.arguments, {.working_directory = dir.path()});
    EXPECT_EQ(result.err, c.err) << c.arguments[1];
    EXPECT_EQ(result.exit_code, c.exit_code) << c.arguments[1];
    EXPECT_EQ(WalsBelow(dir.path()), c.wals) << c.arguments[1];
    for (const auto& [name, bytes] : c.wals) fs::remove(dir / name);
  }
}

TEST(Archive, OutputPakHoldsWhatAnOutputFolderWouldInWalkOrder) {
  const Bytes palette = RandomPalette(60);
  const auto a = M32WithWal(16, 16, 61, palette), b = M8WithWal(2, 16, 8, 62, palette), c = M32WithWal(8, 8, 63, palette);
  TempDir dir;
  WriteBytes(dir / "p.pal", palette);
  WriteBytes(dir / "lib/a.m32", a.first);
  WriteBytes(dir / "lib/e1/b.m8", b.first);
  WriteBytes(dir / "lib/pak0.pak", EncodePak({{"textures/c.m32", c.first}}));
  ProgramResult result = RunTarnvick({"lib", "-s", "-pp.pal", "--output-dir=out"}, {.working_directory = dir.path()});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const Files folder = WalsBelow(dir / "out");
  // An earlier run's archive at the output's path inside the library is replaced, never read.
  WriteBytes(dir / "lib/mod.pak", EncodePak({{"z.wal", c.second}, {"z.tga", c.first}}));
  Bytes first;
  for (const std::string jobs : {"--jobs=1", "--jobs=8"}) {
    result = RunTarnvick({"lib", "-s", "-pp.pal", jobs, "--output-pak", "lib/mod.pak"}, {.working_directory = dir.path()});
    EXPECT_EQ(result.err, "") << jobs;
    EXPECT_EQ(result.exit_code, 0) << jobs;
    const Bytes archive = ReadBytes(dir / "lib/mod.pak");
    std::vector<std::string> names;
    Files stored;
    for (const PakFileEntry& entry : ReadPak(archive)) {
      names.push_back(entry.name);
      stored[entry.name] = entry.data;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a.wal", "e1/b.wal", "textures/c.wal"})) << jobs;
    EXPECT_EQ(stored, folder) << jobs;
    EXPECT_EQ(stored.at("a.wal"), a.second);
    if (first.empty()) first = archive;
    EXPECT_EQ(archive, first) << jobs;
  }
  EXPECT_EQ(WalsBelow(dir / "lib"), Files{}) << "no WAL file is written";
  // Each picture an entry right after its WAL's, with the bytes it has as a file.
  result = RunTarnvick({"lib", "-s", "-pp.pal", "--true-colour=tga", "--output-dir=tc"}, {.working_directory = dir.path()});
  result = RunTarnvick({"lib", "-s", "-pp.pal", "--true-colour=tga", "--output-pak=tc.pak"}, {.working_directory = dir.path()});
  std::vector<std::string> names;
  for (const PakFileEntry& entry : ReadPak(ReadBytes(dir / "tc.pak"))) {
    names.push_back(entry.name);
    EXPECT_EQ(entry.data, ReadBytes(dir / ("tc/" + entry.name))) << entry.name;
  }
  EXPECT_EQ(names, (std::vector<std::string>{"a.wal", "a.tga", "e1/b.wal", "e1/b.tga", "textures/c.wal", "textures/c.tga"}));

  // What is refused, and a name too long for an entry.
  fs::remove(dir / "lib/mod.pak");
  WriteBytes(dir / ("lib/e1/" + std::string(49, 'x') + ".m32"), c.first);
  const struct {
    std::vector<std::string> options;
    std::string err;
    int exit_code;
  } cases[] = {
      {{"--output-dir=out", "--output-pak=x.pak"}, "tarnvick: invalid parameter: --output-pak=x.pak; tarnvick --help lists the options\n", 2},
      {{"--output-pak=x.pak", "--output-dir", "out"}, "tarnvick: invalid parameter: --output-dir; tarnvick --help lists the options\n", 2},
      {{"--output-pak=p.pal"}, "tarnvick: cannot write archive: p.pal: it is an input or another output of this run\n", 4},
      {{"--output-pak=r.csv", "--report=r.csv"}, "tarnvick: cannot write archive: r.csv: it is an input or another output of this run\n", 4},
      {{"--output-pak=lib/a.wal"}, "tarnvick: cannot write archive: lib/a.wal: it is an input or another output of this run\n", 4},
      {{"--output-pak=long.pak"},
       "tarnvick: skipped lib/e1/" + std::string(49, 'x') + ".m32: its name is too long for an archive entry (over 55 bytes)\n", 5},
  };
  for (const auto& c : cases) {
    result = RunTarnvick(With({"lib", "-s", "-pp.pal"}, c.options), {.working_directory = dir.path()});
    EXPECT_EQ(result.err, c.err) << c.options[0];
    EXPECT_EQ(result.exit_code, c.exit_code) << c.options[0];
  }
  EXPECT_EQ(ReadPak(ReadBytes(dir / "long.pak")).size(), 3u);
}

TEST(Archive, AnOutputPakOfMoreEntriesThanQuake2ReadsSaysSo) {
  const Bytes palette = RandomPalette(64);
  TempDir dir;
  WriteBytes(dir / "p.pal", palette);
  const Bytes source = M32WithWal(8, 8, 65, palette).first;
  std::vector<PakFileEntry> entries;
  for (int i = 0; i < 4097; ++i) entries.push_back({"t" + std::to_string(i) + ".m32", source});
  WriteBytes(dir / "lib/pak0.pak", EncodePak(entries));
  const ProgramResult result = RunTarnvick({"lib", "-pp.pal", "--output-pak=mod.pak"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.err, "tarnvick: mod.pak holds 4097 entries, more than the 4096 Quake 2 reads from one archive\n");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(ReadPak(ReadBytes(dir / "mod.pak")).size(), 4097u);
}

}  // namespace
}  // namespace tarnvick::testing
