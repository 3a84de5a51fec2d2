// The fast, threaded program against the reference design: the same palette and the same WAL
// files, byte for byte, for any number of threads, and the messages of a one-thread run.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench_library.h"
#include "sample_library.h"
#include "support/reference_run.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/texture_pairs.h"

namespace tarnvick::testing {
namespace {

namespace fs = std::filesystem;

// Every file below `root` (but the sources) by its path below it.
std::map<std::string, std::vector<std::uint8_t>> Outputs(const std::string& root) {
  std::map<std::string, std::vector<std::uint8_t>> outputs;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string extension = entry.path().extension().string();
    if (entry.is_regular_file() && extension != ".m32" && extension != ".m8" && extension != ".M8") {
      outputs[fs::relative(entry.path(), root).string()] = ReadBytes(entry.path().string());
    }
  }
  return outputs;
}

// A library whose popularity cut falls among colours of equal count spread over many files, so
// that the threads' counts must add up exactly; with sources that share a WAL name.
void WriteTiedLibrary(const std::string& root) {
  for (int file = 0; file < 12; ++file) {
    M32Fields fields;
    fields.width = {32, 16, 8, 4};
    fields.height = {32, 16, 8, 4};
    for (int p = 0; p < 32 * 32 + 16 * 16 + 8 * 8 + 4 * 4; ++p) {
      // Colours 0 to 399, each met equally often in each file, the first 100 three times as often.
      const int colour = p % 500 < 300 ? (p % 500) / 3 : 100 + (p % 500 - 300);
      const int c = (colour + 37 * file) % 400;
      fields.pixels.insert(fields.pixels.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                                                 static_cast<std::uint8_t>(7 * c), 255});
    }
    WriteBytes(root + "/dir" + std::to_string(file % 3) + "/t" + std::to_string(file) + ".m32", BuildM32(fields));
  }
  // a.m32 and a.m8 both make a.wal: the later in walk order, a.m8, wins.
  WriteBytes(root + "/dir0/a.m32", M32WithWal(16, 16, 1, RandomPalette(1)).first);
  WriteBytes(root + "/dir0/a.m8", M8WithWal(2, 16, 16, 2, RandomPalette(1)).first);
}

struct Library {
  const char* name;
  void (*write)(const std::string& root);
};

TEST(Parallel, PaletteAndWalsEqualOneThreadAndTheReferenceDesign) {
  const Library libraries[] = {
      {"benchmark mix", [](const std::string& root) {
         ASSERT_TRUE(samples::WriteBenchLibrary(root + "/bench", 2));
         ASSERT_TRUE(samples::WriteSampleLibrary(root + "/samples"));
         WriteBytes(root + "/samples/walls/pair.m32", M32WithWal(32, 32, 3, RandomPalette(3)).first);
         WriteBytes(root + "/samples/walls/pair.M8", M8WithWal(4, 32, 16, 4, RandomPalette(3)).first);
       }},
      {"tied counts", WriteTiedLibrary},
  };
  for (const Library& library : libraries) {
    TempDir dir;
    library.write(dir / "source");
    ASSERT_FALSE(::testing::Test::HasFatalFailure());
    WriteBytes(dir / "given.pal", RandomPalette(9));
    for (const std::string mode : {"-o", "-p"}) {
      std::map<std::string, std::map<std::string, std::vector<std::uint8_t>>> results;
      for (const std::string run : {"reference", "--jobs=1", "--jobs=8"}) {
        const std::string root = dir / (run.substr(run.find_first_not_of('-')) + mode);
        fs::copy(dir / "source", root, fs::copy_options::recursive);
        const std::string palette = mode == "-o" ? root + "/palette.lmp" : dir / "given.pal";
        if (run == "reference") {
          ASSERT_TRUE(ReferenceRun({root, true, mode == "-o", palette}));
        } else {
          const ProgramResult result = RunTarnvick({root, "-s", mode + palette, run});
          ASSERT_LE(result.exit_code, 0) << result.err;
        }
        results[run] = Outputs(root);
      }
      EXPECT_GT(results["reference"].size(), 10u) << library.name;
      EXPECT_TRUE(results["reference"] == results["--jobs=1"]) << library.name << " " << mode;
      EXPECT_TRUE(results["--jobs=1"] == results["--jobs=8"]) << library.name << " " << mode;
    }
  }
}

// A source's WAL, and its pixels' colours for the plain search, and which are transparent (fourth
// byte below 128).
struct SourceColours {
  std::string path;
  std::size_t wal_pixels;  // in levels 0 to 3
  std::vector<Rgb> colours;
  std::vector<bool> clear;
};

// Every pixel of a library of many colours (noise, and grain around a colour) takes the plain
// search's entry of the palette the run used, generated or given, at 1 and 8 threads, with and
// without index 255 transparent.
TEST(Parallel, EveryPixelTakesThePlainSearchsEntryInALibraryOfManyColours) {
  TempDir dir;
  std::vector<SourceColours> sources;
  for (std::uint32_t file = 0; file < 10; ++file) {
    const std::uint32_t side = file % 2 == 0 ? 128 : 64;
    M32Fields fields;
    for (std::uint32_t l = 0; (side >> l) > 0; ++l) {
      fields.width.push_back(side >> l);
      fields.height.push_back(side >> l);
    }
    const std::size_t pixels = (side * side * 4 - 1) / 3;
    fields.pixels = NoiseBytes(4 * pixels, 300 + file);
    if (file >= 5) {
      for (std::size_t i = 0; i < 4 * pixels; ++i) {
        if (i % 4 != 3) fields.pixels[i] = static_cast<std::uint8_t>(40 * (file + i % 4) + fields.pixels[i] % 25);
      }
    }
    const std::string path = "many/d" + std::to_string(file % 3) + "/t" + std::to_string(file);
    WriteBytes(dir / ("source/" + path + ".m32"), BuildM32(fields));
    SourceColours source{path + ".wal", side * side * 85 / 64, PixelsOf32(fields.pixels), {}};
    for (std::size_t i = 3; i < fields.pixels.size(); i += 4) source.clear.push_back(fields.pixels[i] < 128);
    sources.push_back(std::move(source));
  }
  M8Fields m8;
  m8.version = 4;
  for (std::uint32_t l = 0; l < 16; ++l) {
    m8.width.push_back(64 >> l);
    m8.height.push_back(32 >> l);
  }
  m8.palette = NoiseBytes(768, 401);
  m8.indices = NoiseBytes(64 * 32 * 2, 402);
  WriteBytes(dir / "source/many/m.m8", BuildM8(m8));
  sources.push_back({"many/m.wal", 64 * 32 * 85 / 64, PixelsOfIndices(m8.indices, m8.palette), std::vector<bool>(m8.indices.size())});
  WriteBytes(dir / "given.pal", RandomPalette(19));
  // The indices of every WAL, by the palette and transparency they were made with.
  std::map<std::pair<std::vector<std::uint8_t>, bool>, std::vector<std::vector<std::uint8_t>>> expected;
  for (const std::string mode : {"-o", "-p"}) {
    for (const std::string transparent : {"", "--transparent"}) {
      for (const std::string jobs : {"--jobs=1", "--jobs=8"}) {
        const std::string root = dir / ("run" + mode + transparent + jobs);
        fs::copy(dir / "source", root, fs::copy_options::recursive);
        const std::string palette_path = mode == "-o" ? root + "/palette.lmp" : dir / "given.pal";
        std::vector<std::string> arguments = {root, "-s", mode + palette_path, jobs};
        if (!transparent.empty()) arguments.push_back(transparent);
        const ProgramResult result = RunTarnvick(arguments);
        ASSERT_EQ(result.exit_code, 0) << result.err;
        const std::vector<std::uint8_t> palette = ReadBytes(palette_path);
        ASSERT_EQ(palette.size(), 768u);
        std::vector<std::vector<std::uint8_t>>& wanted = expected[{palette, !transparent.empty()}];
        for (std::size_t s = 0; wanted.size() < sources.size(); ++s) {
          std::vector<std::uint8_t>& indices = wanted.emplace_back();
          for (std::size_t i = 0; i < sources[s].wal_pixels; ++i) {
            indices.push_back(!transparent.empty() && sources[s].clear[i]
                                  ? 255
                                  : BruteForceNearest(palette, sources[s].colours[i], transparent.empty() ? 256 : 255));
          }
        }
        for (std::size_t s = 0; s < sources.size(); ++s) {
          const std::vector<std::uint8_t> wal = ReadBytes(root + "/" + sources[s].path);
          ASSERT_GT(wal.size(), 100u) << sources[s].path;
          EXPECT_TRUE(std::vector<std::uint8_t>(wal.begin() + 100, wal.end()) == wanted[s]) << root << " " << sources[s].path;
        }
      }
    }
  }
  EXPECT_EQ(expected.size(), 4u);  // one generated palette for 1 and 8 threads
}

TEST(Parallel, MessagesComeInWalkOrderWithEightThreads) {
  TempDir dir;
  WriteBytes(dir / "p.pal", RandomPalette(5));
  for (int folder = 0; folder < 6; ++folder) {
    for (int file = 0; file < 8; ++file) {
      const std::string base = dir / ("tex/f" + std::to_string(folder) + "/t" + std::to_string(file));
      if (file % 3 == 0) {
        WriteText(base + ".m32", "cut short");
      } else if (file % 3 == 1) {
        WriteBytes(base + ".m8", M8WithWal(file % 5, 64, 64, static_cast<std::uint32_t>(file), RandomPalette(5)).first);
      } else {
        WriteBytes(base + ".m32", M32WithWal(4, 64, static_cast<std::uint32_t>(file), RandomPalette(5)).first);
      }
    }
  }
  const auto transcript = [&](const std::string& jobs, const std::string& mode) {
    const ProgramResult result = RunTarnvick({"tex", "-s", "-v", mode, jobs}, {.working_directory = dir.path(), .merge_stderr = true});
    EXPECT_EQ(result.exit_code, 0);
    return result.out;
  };
  for (const std::string mode : {"-pp.pal", "-opal.lmp"}) {
    const std::string one = transcript("--jobs=1", mode);
    EXPECT_NE(one.find("\n\ttex/f5...tarnvick: skipped tex/f5/t0.m32: file is truncated (9 of 968 bytes)\n"
                       "tarnvick: skipped tex/f5/t2.m32: no fourth mip level\n"),
              std::string::npos)
        << one;
    for (int attempt = 0; attempt < 3; ++attempt) EXPECT_EQ(transcript("--jobs=8", mode), one) << mode;
  }
}

}  // namespace
}  // namespace tarnvick::testing
