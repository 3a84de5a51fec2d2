// The palette file: short and long files, files that cannot be read, and atomic writing.
#include "palette/palette_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/expected_wal.h"
#include "support/temp_dir.h"

namespace tarnvick::testing {
namespace {

TEST(LoadPalette, ShortFileFillsWhatItHoldsTheRestStaysZero) {
  TempDir dir;
  const std::vector<std::uint8_t> bytes = NoiseBytes(700, 3);
  WriteBytes(dir / "short.pal", bytes);
  const Result<LoadedPalette> loaded = LoadPalette({AT_FDCWD, dir / "short.pal"});
  ASSERT_TRUE(loaded);
  const Palette& palette = loaded->palette;
  // Entries 0 to 232 and the red byte of entry 233.
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), palette.begin()));
  EXPECT_EQ(std::count(palette.begin() + 700, palette.end(), 0), 68);
}

TEST(LoadPalette, LongFileGivesItsFirst768Bytes) {
  TempDir dir;
  const std::vector<std::uint8_t> bytes = NoiseBytes(1000, 4);
  WriteBytes(dir / "long.pal", bytes);
  const Result<LoadedPalette> loaded = LoadPalette({AT_FDCWD, dir / "long.pal"});
  ASSERT_TRUE(loaded);
  const Palette& palette = loaded->palette;
  EXPECT_TRUE(std::equal(palette.begin(), palette.end(), bytes.begin()));
}

TEST(LoadPalette, FailsForWhatCannotBeRead) {
  TempDir dir;
  std::filesystem::create_directory(dir / "folder");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  for (const std::string& path : {dir / "missing.pal", std::string(), dir / "folder", dir / "fifo"}) {
    EXPECT_FALSE(LoadPalette({AT_FDCWD, path})) << path;
  }
}

TEST(SavePalette, WritesExactly768BytesAndReplacesAtomically) {
  TempDir dir;
  Palette palette{};
  const std::vector<std::uint8_t> bytes = NoiseBytes(768, 5);
  std::copy(bytes.begin(), bytes.end(), palette.begin());
  WriteBytes(dir / "p.lmp", std::vector<std::uint8_t>(2000, 1));
  ASSERT_TRUE(SavePalette({AT_FDCWD, dir / "p.lmp"}, palette));
  EXPECT_EQ(ReadBytes(dir / "p.lmp"), bytes);
  EXPECT_EQ(ListNames(dir.path()), std::vector<std::string>{"p.lmp"});
  // A directory in the way: nothing is written, no temporary file stays.
  std::filesystem::create_directory(dir / "d.lmp");
  const Result<void> saved = SavePalette({AT_FDCWD, dir / "d.lmp"}, palette);
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error().detail, "not a regular file");
  EXPECT_FALSE(SavePalette({AT_FDCWD, dir / "nowhere/p.lmp"}, palette));
  EXPECT_FALSE(SavePalette({AT_FDCWD, ""}, palette));
  EXPECT_EQ(ListNames(dir.path()), (std::vector<std::string>{"d.lmp", "p.lmp"}));
}

}  // namespace
}  // namespace tarnvick::testing
