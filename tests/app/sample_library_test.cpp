// The bundled sample library through a default run: the palette and every WAL checked against
// values decoded here from the sample files' bytes, and the two damaged samples skipped.
#include "sample_library.h"

#include <gtest/gtest.h>

#include "support/colour_tally.h"
#include "support/expected_wal.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "texture/file_builders.h"

namespace tarnvick::testing {
namespace {

std::string Text(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  std::string text(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin() + static_cast<std::ptrdiff_t>(at + 32));
  return text.substr(0, text.find('\0'));
}

// A sample decoded by hand: what its WAL must carry, and the pixels the palette counts.
struct Decoded {
  WalContent wal;
  std::vector<Rgb> counted;
};

Decoded DecodeM32(const std::vector<std::uint8_t>& b) {
  Decoded d;
  d.wal = {Text(b, 4), Text(b, 260), Get32(b, 516), Get32(b, 580), Get32(b, 708), Get32(b, 712), Get32(b, 716),
           PixelsOf32(std::vector<std::uint8_t>(b.begin() + 968, b.end()))};
  d.counted = d.wal.pixels;
  return d;
}

Decoded DecodeM8(const std::vector<std::uint8_t>& b) {
  const M8Offsets at = M8OffsetsFor(static_cast<std::int32_t>(Get32(b, 0)));
  const std::vector<std::uint8_t> palette(b.begin() + static_cast<std::ptrdiff_t>(at.palette),
                                          b.begin() + static_cast<std::ptrdiff_t>(at.palette + 768));
  Decoded d;
  const std::uint32_t w = Get32(b, at.width);
  const std::uint32_t h = Get32(b, at.height);
  d.wal = {Text(b, 4), Text(b, at.animation_name), w, h, Get32(b, at.flags), Get32(b, at.flags + 4), Get32(b, at.flags + 8),
           PixelsOfIndices(std::vector<std::uint8_t>(b.begin() + static_cast<std::ptrdiff_t>(at.data), b.end()), palette)};
  d.counted.assign(d.wal.pixels.begin(), d.wal.pixels.begin() + static_cast<std::ptrdiff_t>(w) * h);
  return d;
}

TEST(SampleLibrary, DefaultRunConvertsEverySampleExactly) {
  TempDir dir;
  ASSERT_TRUE(samples::WriteSampleLibrary(dir / "textures"));
  ColourTally tally;
  std::map<std::string, WalContent> expected;
  for (const std::string& path : samples::SampleLibraryFiles()) {
    const std::vector<std::uint8_t> bytes = ReadBytes(dir / ("textures/" + path));
    const std::string lower = [&] {
      std::string s = path;
      for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      return s;
    }();
    if (lower.ends_with(".txt") || lower.ends_with("cut.m32")) continue;
    const Decoded decoded = lower.ends_with(".m8") ? DecodeM8(bytes) : DecodeM32(bytes);
    tally.Add(decoded.counted);
    if (!lower.ends_with("tiny.m32")) expected[path.substr(0, path.rfind('.')) + ".wal"] = decoded.wal;
  }
  ASSERT_GE(expected.size(), 10u);

  const ProgramResult result = RunTarnvick({"textures", "-s"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.out, std::string(kBanner) +
                            "generating optimal palette...\n\tgathering palette data...\n\tprocessing palette data..."
                            "\n\twriting palette data...\n\n\nconverting M8/M32 files...\ndone.\n");
  EXPECT_EQ(result.err,
            "tarnvick: skipped textures/misc/cut.m32: file is truncated (3214 of 6428 bytes)\n"
            "tarnvick: skipped textures/misc/tiny.m32: no fourth mip level\n");
  EXPECT_EQ(result.exit_code, 0);
  const std::vector<std::uint8_t> palette = ReadBytes(dir / "palette.lmp");
  EXPECT_EQ(palette, tally.Palette());
  for (const auto& [path, content] : expected) {
    EXPECT_EQ(ReadBytes(dir / ("textures/" + path)), ExpectedWal(content, palette)) << path;
  }
}

}  // namespace
}  // namespace tarnvick::testing
