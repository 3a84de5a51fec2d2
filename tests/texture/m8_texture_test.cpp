// The M8 reader against files laid out byte by byte: every version's layout, the expansion
// through the file's own palette, and damaged files of every kind.
#include "texture/m8_texture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "support/temp_dir.h"
#include "texture/create_texture.h"
#include "support/reason.h"
#include "texture/file_builders.h"
#include "texture_encoder.h"

namespace tarnvick::testing {
namespace {

// A small file: level 0 of 4 x 2, level 1 of 2 x 1, level 2 of 1 x 1, then zeros.
M8Fields SmallM8(std::int32_t version) {
  M8Fields fields;
  fields.version = version;
  fields.width = {4, 2, 1};
  fields.height = {2, 1, 1};
  fields.offset = {1, 2, 3, 4};
  fields.indices = {0, 255, 1, 2, 3, 4, 5, 6, 254, 7, 0};  // 8 + 2 + 1
  return fields;
}

std::string Text(const std::vector<std::uint8_t>& field) {
  EXPECT_EQ(field.size(), 32u);
  return std::string(reinterpret_cast<const char*>(field.data()), strnlen(reinterpret_cast<const char*>(field.data()), 32));
}

TEST(M8Texture, ReadsEveryVersionAtItsOwnOffsets) {
  for (const std::int32_t version : {-1, 0, 1, 2, 3, 4}) {
    SCOPED_TRACE("version " + std::to_string(version));
    const M8Fields fields = SmallM8(version);
    const std::vector<std::uint8_t> bytes = BuildM8(fields);
    const std::size_t expected_levels = version >= 2 ? 16 : 8;
    EXPECT_EQ(bytes.size(), (version <= 1 ? 944u : version <= 3 ? 1040u : 1748u) + 11u);

    TempDir dir;
    WriteBytes(dir / "a.m8", bytes);
    const Result<std::unique_ptr<Texture>> loaded = CreateTexture({kWorkingDirectory, dir / "a.m8"});
    ASSERT_TRUE(loaded) << ReasonOf(loaded);
    const auto& m8 = static_cast<const M8Texture&>(**loaded);
    EXPECT_EQ(m8.version, version);
    EXPECT_EQ(Text(m8.name), "m8name");
    EXPECT_EQ(Text(m8.animation_name), "m8anim");
    ASSERT_EQ(m8.width.size(), expected_levels);
    ASSERT_EQ(m8.height.size(), expected_levels);
    ASSERT_EQ(m8.offset.size(), expected_levels);
    EXPECT_EQ(m8.width[0], 4u);
    EXPECT_EQ(m8.width[2], 1u);
    EXPECT_EQ(m8.height[1], 1u);
    EXPECT_EQ(m8.height[3], 0u);
    EXPECT_EQ(m8.offset[3], 4u);
    EXPECT_EQ(m8.offset[4], 0u);
    EXPECT_EQ(std::vector<std::uint8_t>(m8.palette.begin(), m8.palette.end()), DefaultM8Palette());
    EXPECT_EQ(m8.flags, 0x11223344u);
    EXPECT_EQ(m8.contents, 0x55667788u);
    EXPECT_EQ(m8.value, 0x99AABBCCu);
    EXPECT_EQ(m8.type, TextureType::kM8);
    EXPECT_EQ(m8.bits_per_pixel, 8);
    EXPECT_EQ(m8.height[0], 2u);
    EXPECT_EQ(m8.byte_extent, 4 * 2);
    // The indices are kept, and each is coloured by its three palette bytes: palette[i] = i % 251
    // here.
    EXPECT_EQ(m8.pixels, fields.indices);
    ASSERT_EQ(m8.IndexColours(), m8.palette.data());
    for (std::size_t j = 0; j < fields.indices.size(); ++j) {
      for (std::size_t c = 0; c < 3; ++c) {
        EXPECT_EQ(m8.IndexColours()[3 * m8.pixels[j] + c], (3 * fields.indices[j] + c) % 251) << j;
      }
    }
  }
}

TEST(M8Texture, IndexZeroAndIndex255TakeTheFirstAndLastPaletteEntries) {
  M8Fields fields = SmallM8(2);
  fields.palette.assign(768, 0x40);
  fields.palette[0] = 1;
  fields.palette[1] = 2;
  fields.palette[2] = 3;
  fields.palette[765] = 250;
  fields.palette[766] = 251;
  fields.palette[767] = 252;
  M8Texture m8;
  const std::vector<std::uint8_t> bytes = BuildM8(fields);
  ASSERT_TRUE(m8.Parse(bytes));
  std::vector<std::uint8_t> colours;
  for (std::size_t j = 0; j < 2; ++j) {
    colours.insert(colours.end(), m8.IndexColours() + 3 * m8.pixels[j], m8.IndexColours() + 3 * m8.pixels[j] + 3);
  }
  EXPECT_EQ(colours, (std::vector<std::uint8_t>{1, 2, 3, 250, 251, 252}));
}

TEST(M8Texture, SampleEncoderAgreesWithTheByteLayout) {
  for (const std::int32_t version : {0, 2, 4}) {
    const M8Fields fields = SmallM8(version);
    samples::M8File file;
    file.version = version;
    file.name = fields.name;
    file.animation_name = fields.animation_name;
    file.width = fields.width;
    file.height = fields.height;
    file.offset = fields.offset;
    const std::vector<std::uint8_t> palette = DefaultM8Palette();
    std::copy(palette.begin(), palette.end(), file.palette.begin());
    file.flags = fields.flags;
    file.contents = fields.contents;
    file.value = fields.value;
    file.filler = 0xEE;
    file.indices = fields.indices;
    EXPECT_EQ(samples::EncodeM8(file), BuildM8(fields)) << version;
  }
}

TEST(M8Texture, Version1ChainOf64HasLevel0ExtentOnly) {
  M8Fields fields;
  fields.version = 1;
  fields.width = Chain64();
  fields.height = Chain64();
  fields.indices = Ramp(5461);
  M8Texture m8;
  const std::vector<std::uint8_t> bytes = BuildM8(fields);
  ASSERT_TRUE(m8.Parse(bytes));
  EXPECT_EQ(m8.pixels.size(), 5461u);
  EXPECT_EQ(m8.byte_extent, 4096);
}

TEST(M8Texture, OffsetTableHasNoEffectAndTrailingBytesAreIgnored) {
  M8Fields fields = SmallM8(3);
  M8Texture plain;
  const std::vector<std::uint8_t> plain_bytes = BuildM8(fields);
  ASSERT_TRUE(plain.Parse(plain_bytes));
  fields.offset = {0xFFFFFFFF, 12, 0, 7, 99, 1u << 31};
  std::vector<std::uint8_t> odd_bytes = BuildM8(fields);
  odd_bytes.insert(odd_bytes.end(), 500, 0x77);
  M8Texture odd;
  ASSERT_TRUE(odd.Parse(odd_bytes));
  EXPECT_EQ(odd.pixels, plain.pixels);
  EXPECT_EQ(odd.offset[0], 0xFFFFFFFFu);
}

TEST(M8Texture, VersionsAbove4AreRefused) {
  for (const std::int32_t version : {5, 6, 100, std::numeric_limits<std::int32_t>::max()}) {
    M8Fields fields = SmallM8(4);
    std::vector<std::uint8_t> bytes = BuildM8(fields);
    Put32(bytes, 0, static_cast<std::uint32_t>(version));
    M8Texture m8;
    EXPECT_EQ(ReasonOf(m8.Parse(bytes)), "unsupported M8 version " + std::to_string(version));
    EXPECT_TRUE(m8.pixels.empty());
  }
  // The lowest negative version reads like version 0.
  M8Fields fields = SmallM8(std::numeric_limits<std::int32_t>::min());
  const std::vector<std::uint8_t> bytes = BuildM8(fields);
  M8Texture m8;
  EXPECT_TRUE(m8.Parse(bytes));
  EXPECT_EQ(m8.width.size(), 8u);
}

TEST(M8Texture, EveryTruncationIsRefused) {
  for (const std::int32_t version : {0, 2, 4}) {
    const std::vector<std::uint8_t> bytes = BuildM8(SmallM8(version));
    for (std::size_t size = 0; size < bytes.size(); ++size) {
      // A copy of exactly `size` bytes, so that the sanitizers see any read past it.
      const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
      M8Texture m8;
      const Result<void> parsed = m8.Parse(cut);
      ASSERT_FALSE(parsed) << "version " << version << ", size " << size;
      EXPECT_TRUE(m8.pixels.empty());
      EXPECT_NE(ReasonOf(parsed).find("truncated"), std::string::npos) << ReasonOf(parsed);
    }
    M8Texture whole;
    EXPECT_TRUE(whole.Parse(bytes));
  }
}

TEST(M8Texture, TruncatedFilesOnDiskAreRefusedWithTheirSizes) {
  TempDir dir;
  const std::vector<std::uint8_t> bytes = BuildM8(SmallM8(4));
  // Boundaries of the version-4 header fields, and a cut inside the indices.
  for (const std::size_t size : {0, 3, 4, 36, 516, 580, 644, 708, 740, 968, 1736, 1740, 1744, 1748, 1758}) {
    WriteBytes(dir / "cut.m8", std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size)));
    const std::size_t needed = size < 4 ? 4 : size < 1748 ? 1748 : 1759;
    EXPECT_EQ(ReasonOf(CreateTexture({kWorkingDirectory, dir / "cut.m8"})), "file is truncated (" + std::to_string(size) + " of " + std::to_string(needed) + " bytes)");
  }
}

TEST(M8Texture, SizesThatOverflowAreRefusedWithoutAllocating) {
  struct Case {
    std::vector<std::uint32_t> width, height;
    const char* reason;
  };
  const Case cases[] = {
      // Products that overflow 32 bits.
      {{65536}, {65536}, "pixel data too large"},
      // Products near 2^64, and sums of them that would overflow 64 bits.
      {std::vector<std::uint32_t>(16, 0xFFFFFFFF), std::vector<std::uint32_t>(16, 0xFFFFFFFF), "pixel data too large"},
      // Each level fits, their sum times three does not.
      {std::vector<std::uint32_t>(16, 16384), std::vector<std::uint32_t>(16, 16384), "pixel data too large"},
      // Just fits a signed 32-bit byte count: refused only because the file is short.
      {{715827882}, {1}, "file is truncated (1040 of 715828922 bytes)"},
      // One more index would not fit.
      {{715827883}, {1}, "pixel data too large"},
  };
  for (const Case& c : cases) {
    M8Fields fields;
    fields.version = 2;
    fields.width = c.width;
    fields.height = c.height;
    const std::vector<std::uint8_t> bytes = BuildM8(fields);
    M8Texture m8;
    EXPECT_EQ(ReasonOf(m8.Parse(bytes)), c.reason);
    EXPECT_TRUE(m8.pixels.empty());
  }
}

}  // namespace
}  // namespace tarnvick::testing
