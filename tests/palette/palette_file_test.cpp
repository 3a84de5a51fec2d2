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
  Palette palette{};
  ASSERT_TRUE(LoadPalette(dir / "short.pal", palette));
  // Entries 0 to 232 and the red byte of entry 233.
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), palette.begin()));
  EXPECT_EQ(std::count(palette.begin() + 700, palette.end(), 0), 68);
}

TEST(LoadPalette, LongFileGivesItsFirst768Bytes) {
  TempDir dir;
  const std::vector<std::uint8_t> bytes = NoiseBytes(1000, 4);
  WriteBytes(dir / "long.pal", bytes);
  Palette palette{};
  ASSERT_TRUE(LoadPalette(dir / "long.pal", palette));
  EXPECT_TRUE(std::equal(palette.begin(), palette.end(), bytes.begin()));
}

TEST(LoadPalette, FailsForWhatCannotBeRead) {
  TempDir dir;
  std::filesystem::create_directory(dir / "folder");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  Palette palette{};
  palette[0] = 42;
  for (const std::string& path : {dir / "missing.pal", std::string(), dir / "folder", dir / "fifo"}) {
    EXPECT_FALSE(LoadPalette(path, palette)) << path;
  }
  EXPECT_EQ(palette[0], 42);
}

TEST(SavePalette, WritesExactly768BytesAndReplacesAtomically) {
  TempDir dir;
  Palette palette{};
  const std::vector<std::uint8_t> bytes = NoiseBytes(768, 5);
  std::copy(bytes.begin(), bytes.end(), palette.begin());
  WriteBytes(dir / "p.lmp", std::vector<std::uint8_t>(2000, 1));
  std::string error;
  ASSERT_TRUE(SavePalette(dir / "p.lmp", palette, error)) << error;
  EXPECT_EQ(ReadBytes(dir / "p.lmp"), bytes);
  EXPECT_EQ(ListNames(dir.path()), std::vector<std::string>{"p.lmp"});
  // A directory in the way: nothing is written, no temporary file stays.
  std::filesystem::create_directory(dir / "d.lmp");
  EXPECT_FALSE(SavePalette(dir / "d.lmp", palette, error));
  EXPECT_EQ(error, "Is a directory");
  EXPECT_FALSE(SavePalette(dir / "nowhere/p.lmp", palette, error));
  EXPECT_FALSE(SavePalette("", palette, error));
  EXPECT_EQ(ListNames(dir.path()), (std::vector<std::string>{"d.lmp", "p.lmp"}));
}

}  // namespace
}  // namespace tarnvick::testing
