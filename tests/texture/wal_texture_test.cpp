// The WAL writer: header layout, computed offsets, four levels, replacing existing files.
#include "texture/wal_texture.h"

#include <gtest/gtest.h>

#include "support/expected_wal.h"
#include "support/little_endian.h"
#include "support/temp_dir.h"
#include "texture/save_wal.h"

namespace tarnvick::testing {
namespace {

struct SizeCase {
  std::uint32_t width, height;
  std::array<std::uint32_t, 4> offsets;
  std::size_t file_size;
};

TEST(WalTexture, LevelSizesOffsetsAndFileLength) {
  const SizeCase cases[] = {
      {64, 64, {100, 4196, 5220, 5476}, 5540},
      {100, 30, {100, 3100, 3850, 4025}, 4061},
      {4, 2, {100, 108, 110, 110}, 110},
  };
  TempDir dir;
  for (const SizeCase& c : cases) {
    WalTexture wal;
    wal.width = c.width;
    wal.height = c.height;
    wal.offset = {9, 9, 9, 9};  // whatever it held is replaced
    wal.pixels = NoiseBytes(c.file_size - 100 + 50, c.width);  // more than needed: the rest is not written
    for (std::size_t i = 0; i < 32; ++i) {
      wal.name[i] = static_cast<std::uint8_t>('A' + i % 26);  // 32 non-zero bytes
      wal.animation_name[i] = static_cast<std::uint8_t>(i == 5 ? 0 : 'a' + i % 26);
    }
    wal.flags = 0xDEADBEEF;
    wal.contents = 2;
    wal.value = 0x80000000;
    ASSERT_TRUE(SaveWal(wal, dir / "t.wal"));
    const std::vector<std::uint8_t> bytes = ReadBytes(dir / "t.wal");
    ASSERT_EQ(bytes.size(), c.file_size) << c.width << "x" << c.height;
    EXPECT_TRUE(std::equal(wal.name.begin(), wal.name.end(), bytes.begin()));
    EXPECT_EQ(Get32(bytes, 32), c.width);
    EXPECT_EQ(Get32(bytes, 36), c.height);
    for (std::size_t l = 0; l < 4; ++l) {
      EXPECT_EQ(Get32(bytes, 40 + 4 * l), c.offsets[l]);
      EXPECT_EQ(wal.offset[l], c.offsets[l]);
    }
    EXPECT_TRUE(std::equal(wal.animation_name.begin(), wal.animation_name.end(), bytes.begin() + 56));
    EXPECT_EQ(Get32(bytes, 88), 0xDEADBEEFu);
    EXPECT_EQ(Get32(bytes, 92), 2u);
    EXPECT_EQ(Get32(bytes, 96), 0x80000000u);
    EXPECT_TRUE(std::equal(bytes.begin() + 100, bytes.end(), wal.pixels.begin()));
  }
}

TEST(WalTexture, TooFewPixelsWriteNothing) {
  TempDir dir;
  WalTexture wal;
  wal.width = 64;
  wal.height = 64;
  wal.pixels.assign(5439, 0);
  const Result<void> saved = SaveWal(wal, dir / "t.wal");
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error().kind, ErrorKind::kTooFewPixels);
  EXPECT_TRUE(ListNames(dir.path()).empty());
}

}  // namespace
}  // namespace tarnvick::testing
