// The WAL writer: header layout, computed offsets, four levels, replacing existing files.
#include "texture/wal_texture.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "io/atomic_file.h"
#include "support/expected_wal.h"
#include "support/little_endian.h"
#include "support/temp_dir.h"

namespace tarnvick::testing {
namespace {

// Writes `wal` to `path` as the program does: its header and its four levels, atomically.
Result<void> Save(WalTexture& wal, const std::string& path) {
  const auto header = wal.EncodeHeader();
  if (!header) return Failure{header.error()};
  return WriteFileAtomically({AT_FDCWD, path}, {*header, wal.LevelData()}, LinkPolicy::kReplaceLink);
}

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
    ASSERT_TRUE(Save(wal, dir / "t.wal"));
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

TEST(WalTexture, ReplacesALongerFileKeepingItsPermissions) {
  TempDir dir;
  WriteBytes(dir / "t.wal", std::vector<std::uint8_t>(9000, 0xFF));
  ASSERT_EQ(::chmod((dir / "t.wal").c_str(), 0640), 0);
  WalTexture wal;
  wal.width = 4;
  wal.height = 2;
  wal.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  ASSERT_TRUE(Save(wal, dir / "t.wal"));
  EXPECT_EQ(ReadBytes(dir / "t.wal").size(), 110u);
  struct stat info {};
  ASSERT_EQ(::stat((dir / "t.wal").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(ListNames(dir.path()), std::vector<std::string>{"t.wal"});
}

TEST(WalTexture, NewFileGetsThePermissionsOfAPlainCreate) {
  TempDir dir;
  const mode_t old_mask = ::umask(027);
  WalTexture wal;
  wal.width = 2;
  wal.height = 2;
  wal.pixels = {1, 2, 3, 4, 5};
  const Result<void> saved = Save(wal, dir / "n.wal");
  ::umask(old_mask);
  ASSERT_TRUE(saved);
  struct stat info {};
  ASSERT_EQ(::stat((dir / "n.wal").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST(WalTexture, TooFewPixelsWriteNothing) {
  TempDir dir;
  WalTexture wal;
  wal.width = 64;
  wal.height = 64;
  wal.pixels.assign(5439, 0);
  const Result<void> saved = Save(wal, dir / "t.wal");
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error().kind, ErrorKind::kTooFewPixels);
  EXPECT_TRUE(ListNames(dir.path()).empty());
}

}  // namespace
}  // namespace tarnvick::testing
