// The palette file on Linux: a FIFO is never read, and the PNG palette's pixels read back by
// libpng (which Debian has for Linux only) show each entry once.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "palette/palette_file.h"
#include "support/png_reader.h"
#include "support/temp_dir.h"
#include "support/texture_pairs.h"

namespace tarnvick::testing {
namespace {

TEST(LoadPalette, FailsForAFifo) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(LoadPalette({kWorkingDirectory, dir / "fifo"}));
}

TEST(SavePalette, ThePngShowsEntry16YPlusXAtEachPixel) {
  TempDir dir;
  const std::vector<std::uint8_t> colours = RandomPalette(11);
  Palette palette{};
  std::copy(colours.begin(), colours.end(), palette.begin());
  ASSERT_TRUE(SavePalette({kWorkingDirectory, dir / "e.Png"}, palette));
  const RgbImage image = ReadPng(dir / "e.Png");
  ASSERT_EQ(image.width, 16u);
  ASSERT_EQ(image.height, 16u);
  EXPECT_EQ(image.rgb, colours);
}

}  // namespace
}  // namespace tarnvick::testing
