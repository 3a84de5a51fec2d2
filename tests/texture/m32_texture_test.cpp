// The M32 reader against files laid out byte by byte: the header fields, the pixels of all
// levels, and damaged files of every kind.
#include "texture/m32_texture.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "texture/create_texture.h"
#include "support/reason.h"
#include "texture/file_builders.h"
#include "texture_encoder.h"

namespace tarnvick::testing {
namespace {

M32Fields Chain64M32() {
  M32Fields fields;
  fields.width = Chain64();
  fields.height = Chain64();
  fields.offset = {968, 17352};
  fields.pixels = Ramp(4 * 5461, 5);
  return fields;
}

TEST(M32Texture, ReadsTheHeaderAndThePixelsOfAllLevels) {
  const M32Fields fields = Chain64M32();
  const std::vector<std::uint8_t> bytes = BuildM32(fields);
  TempDir dir;
  WriteBytes(dir / "a.M32", bytes);
  const Result<std::unique_ptr<Texture>> loaded = CreateTexture({kWorkingDirectory, dir / "a.M32"});
  ASSERT_TRUE(loaded) << ReasonOf(loaded);
  const auto& m32 = static_cast<const M32Texture&>(**loaded);
  EXPECT_EQ(m32.version, 7u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(m32.name.data())), "m32name");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(m32.animation_name.data())), "m32anim");
  EXPECT_EQ(m32.width[0], 64u);
  EXPECT_EQ(m32.height[6], 1u);
  EXPECT_EQ(m32.height[7], 0u);
  EXPECT_EQ(m32.offset[1], 17352u);
  EXPECT_EQ(m32.flags, 0x01020304u);
  EXPECT_EQ(m32.contents, 0x05060708u);
  EXPECT_EQ(m32.value, 0x090A0B0Cu);
  // The uninterpreted blocks are kept as read (byte i of the header holds i * 7 here).
  EXPECT_EQ(m32.unknown_132[0], static_cast<std::uint8_t>(132 * 7));
  EXPECT_EQ(m32.unknown_388[127], static_cast<std::uint8_t>(515 * 7));
  EXPECT_EQ(m32.unknown_720[11], static_cast<std::uint8_t>(731 * 7));
  EXPECT_EQ(m32.unknown_732[0], static_cast<std::uint8_t>(732 * 7));
  EXPECT_EQ(m32.unknown_860[31], static_cast<std::uint8_t>(891 * 7));
  EXPECT_EQ(m32.unknown_892[75], static_cast<std::uint8_t>(967 * 7));
  EXPECT_EQ(m32.type, TextureType::kM32);
  EXPECT_EQ(m32.bits_per_pixel, 32);
  EXPECT_EQ(m32.width.size(), 16u);
  EXPECT_EQ(m32.name.size(), 128u);
  EXPECT_EQ(m32.height[0], 64u);
  EXPECT_EQ(m32.byte_extent, 21844);
  EXPECT_EQ(m32.pixels, std::vector<std::uint8_t>(bytes.begin() + 968, bytes.end()));
}

TEST(M32Texture, SampleEncoderAgreesWithTheByteLayout) {
  const M32Fields fields = Chain64M32();
  std::vector<std::uint8_t> built = BuildM32(fields);
  samples::M32File file;
  file.version = fields.version;
  file.name = fields.name;
  file.animation_name = fields.animation_name;
  std::copy(fields.width.begin(), fields.width.end(), file.width.begin());
  std::copy(fields.height.begin(), fields.height.end(), file.height.begin());
  std::copy(fields.offset.begin(), fields.offset.end(), file.offset.begin());
  file.flags = fields.flags;
  file.contents = fields.contents;
  file.value = fields.value;
  file.pixels = fields.pixels;
  std::vector<std::uint8_t> encoded = samples::EncodeM32(file);
  // The uninterpreted blocks differ by design; compare everything else.
  for (const auto& [from, to] : {std::pair{132, 260}, {388, 516}, {720, 968}}) {
    std::fill(built.begin() + from, built.begin() + to, 0);
    std::fill(encoded.begin() + from, encoded.begin() + to, 0);
  }
  EXPECT_EQ(encoded, built);
}

TEST(M32Texture, VersionAndOffsetTableChangeNothingTrailingBytesAreIgnored) {
  M32Texture reference;
  const std::vector<std::uint8_t> reference_bytes = BuildM32(Chain64M32());
  ASSERT_TRUE(reference.Parse(reference_bytes));
  for (const std::uint32_t version : {0u, 4u, 0xFFFFFFFFu}) {
    M32Fields fields = Chain64M32();
    fields.version = version;
    fields.offset = version == 0 ? std::vector<std::uint32_t>(16, 0) : std::vector<std::uint32_t>(16, 0xFFFFFFF0);
    std::vector<std::uint8_t> bytes = BuildM32(fields);
    bytes.insert(bytes.end(), 100, 0xAB);
    M32Texture m32;
    ASSERT_TRUE(m32.Parse(bytes)) << version;
    EXPECT_EQ(m32.pixels, reference.pixels);
    EXPECT_EQ(m32.byte_extent, reference.byte_extent);
  }
}

TEST(M32Texture, MissingPathFails) {
  TempDir dir;
  EXPECT_EQ(ReasonOf(CreateTexture({kWorkingDirectory, dir / "nothing.m32"})), "cannot open file: No such file or directory");
}

TEST(M32Texture, EveryTruncationIsRefused) {
  M32Fields fields;
  fields.width = {2, 1};
  fields.height = {3, 1};
  fields.pixels = Ramp(4 * 7);
  const std::vector<std::uint8_t> bytes = BuildM32(fields);
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
    M32Texture m32;
    const Result<void> parsed = m32.Parse(cut);
    ASSERT_FALSE(parsed) << size;
    EXPECT_TRUE(m32.pixels.empty());
    const std::size_t needed = size < 968 ? 968 : 996;
    EXPECT_EQ(ReasonOf(parsed), "file is truncated (" + std::to_string(size) + " of " + std::to_string(needed) + " bytes)");
  }
  M32Texture whole;
  EXPECT_TRUE(whole.Parse(bytes));
  EXPECT_EQ(whole.byte_extent, 28);
}

TEST(M32Texture, EmptyAndHeaderOnlyFilesOnDisk) {
  TempDir dir;
  WriteBytes(dir / "empty.m32", {});
  EXPECT_EQ(ReasonOf(CreateTexture({kWorkingDirectory, dir / "empty.m32"})), "file is truncated (0 of 968 bytes)");
  // A header that declares no pixels at all is a valid, empty texture.
  WriteBytes(dir / "bare.m32", BuildM32(M32Fields{}));
  const Result<std::unique_ptr<Texture>> bare = CreateTexture({kWorkingDirectory, dir / "bare.m32"});
  ASSERT_TRUE(bare);
  EXPECT_EQ((*bare)->byte_extent, 0);
  EXPECT_TRUE((*bare)->pixels.empty());
}

TEST(M32Texture, SizesThatOverflowAreRefusedWithoutAllocating) {
  struct Case {
    std::vector<std::uint32_t> width, height;
    const char* reason;
  };
  const Case cases[] = {
      {{65536}, {65536}, "pixel data too large"},
      {std::vector<std::uint32_t>(16, 0xFFFFFFFF), std::vector<std::uint32_t>(16, 0xFFFFFFFF), "pixel data too large"},
      {std::vector<std::uint32_t>(16, 8192), std::vector<std::uint32_t>(16, 8192), "pixel data too large"},
      // Width without height declares no pixels: it loads, empty.
      {{0xFFFFFFFF}, {0}, nullptr},
      // 1 GiB of declared pixels in a file of a few bytes.
      {{16384}, {16384}, "file is truncated (968 of 1073742792 bytes)"},
      {{536870911}, {1}, "file is truncated (968 of 2147484612 bytes)"},
      {{536870912}, {1}, "pixel data too large"},
  };
  for (const Case& c : cases) {
    M32Fields fields;
    fields.width = c.width;
    fields.height = c.height;
    const std::vector<std::uint8_t> bytes = BuildM32(fields);
    M32Texture m32;
    const Result<void> loaded = m32.Parse(bytes);
    EXPECT_EQ(static_cast<bool>(loaded), c.reason == nullptr);
    EXPECT_EQ(ReasonOf(loaded), c.reason == nullptr ? "" : c.reason);
    EXPECT_TRUE(m32.pixels.empty());
  }
}

}  // namespace
}  // namespace tarnvick::testing
