// The WAL writer's files on Linux: the permission bits of a file it replaces are kept, a new file
// gets those of a plain create (Windows keeps no such bits).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_dir.h"
#include "texture/save_wal.h"

namespace tarnvick::testing {
namespace {

TEST(WalTexture, ReplacesALongerFileKeepingItsPermissions) {
  TempDir dir;
  WriteBytes(dir / "t.wal", std::vector<std::uint8_t>(9000, 0xFF));
  ASSERT_EQ(::chmod((dir / "t.wal").c_str(), 0640), 0);
  WalTexture wal;
  wal.width = 4;
  wal.height = 2;
  wal.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  ASSERT_TRUE(SaveWal(wal, dir / "t.wal"));
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
  const Result<void> saved = SaveWal(wal, dir / "n.wal");
  ::umask(old_mask);
  ASSERT_TRUE(saved);
  struct stat info {};
  ASSERT_EQ(::stat((dir / "n.wal").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

}  // namespace
}  // namespace tarnvick::testing
