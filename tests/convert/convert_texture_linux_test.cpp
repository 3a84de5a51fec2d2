// The conversion run on Linux, with what only Linux makes: file identities (inodes) and links, a
// full disk (a file-size limit), a read-only folder for an ordinary user, a FIFO, /proc, and a
// limit on the address space.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/texture_pairs.h"
#include "texture/file_builders.h"

namespace tarnvick::testing {
namespace {

const std::string kConvertOnly = std::string(kBanner) + "\nconverting M8/M32 files...\ndone.\n";

TEST(Conversion, AWalThatAlreadyHoldsItsBytesIsLeftUntouched) {
  TempDir dir;
  WriteBytes(dir / "p.pal", RandomPalette(11));
  const auto pair = M32WithWal(16, 16, 11, RandomPalette(11));
  WriteBytes(dir / "tex/a.m32", pair.first);
  const auto inode = [&] {
    struct stat info {};
    ::stat((dir / "tex/a.wal").c_str(), &info);
    return info.st_ino;
  };
  ASSERT_EQ(RunTarnvick({"tex", "-pp.pal"}, {.working_directory = dir.path()}).exit_code, 0);
  const auto first = inode();
  ASSERT_EQ(RunTarnvick({"tex", "-pp.pal"}, {.working_directory = dir.path()}).exit_code, 0);
  EXPECT_EQ(inode(), first) << "the same bytes are not written again";
  EXPECT_EQ(ReadBytes(dir / "tex/a.wal"), pair.second);
  // Another palette gives other bytes: the file is replaced.
  WriteBytes(dir / "p.pal", RandomPalette(12));
  ASSERT_EQ(RunTarnvick({"tex", "-pp.pal"}, {.working_directory = dir.path()}).exit_code, 0);
  EXPECT_NE(inode(), first);
  EXPECT_EQ(ReadBytes(dir / "tex/a.wal"), M32WithWal(16, 16, 11, RandomPalette(12)).second);
  // A link holding the same bytes is still replaced by a file of its own.
  WriteBytes(dir / "elsewhere.wal", ReadBytes(dir / "tex/a.wal"));
  std::filesystem::remove(dir / "tex/a.wal");
  std::filesystem::create_symlink("../elsewhere.wal", dir / "tex/a.wal");
  ASSERT_EQ(RunTarnvick({"tex", "-pp.pal"}, {.working_directory = dir.path()}).exit_code, 0);
  EXPECT_FALSE(std::filesystem::is_symlink(dir / "tex/a.wal"));
}

TEST(Conversion, AWalThatCannotBeWrittenLeavesTheOldFileIntact) {
  TempDir dir;
  const std::vector<std::uint8_t> palette = RandomPalette(6);
  WriteBytes(dir / "p.pal", palette);
  WriteBytes(dir / "tex/big.m32", M32WithWal(64, 64, 1, palette).first);
  WriteText(dir / "tex/big.wal", "old");
  WriteBytes(dir / "tex/small.m32", M32WithWal(8, 8, 2, palette).first);

  // A full disk, simulated with a file-size limit: the 5540-byte WAL cannot be written.
  ProgramResult result =
      RunTarnvick({"tex", "-pp.pal"}, {.working_directory = dir.path(), .file_size_limit = 1000});
  EXPECT_EQ(result.out, kConvertOnly);
  EXPECT_EQ(result.err, "tarnvick: skipped tex/big.m32: cannot write tex/big.wal: File too large\n");
  EXPECT_EQ(result.exit_code, 5);
  EXPECT_EQ(ReadText(dir / "tex/big.wal"), "old");
  EXPECT_EQ(ListNames(dir / "tex"), (std::vector<std::string>{"big.m32", "big.wal", "small.m32", "small.wal"}));

  // A read-only directory (root writes anyway, so the program runs as an ordinary user).
  OpenToEveryone(dir.path());
  std::filesystem::permissions(dir / "tex", std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
  result = RunTarnvick({"tex", "-pp.pal"}, {.working_directory = dir.path(), .unprivileged = true});
  // small.wal already holds what it would get, so it needs no write.
  EXPECT_EQ(result.err, "tarnvick: skipped tex/big.m32: cannot write tex/big.wal: Permission denied\n");
  EXPECT_EQ(result.exit_code, 5);
  EXPECT_EQ(ReadText(dir / "tex/big.wal"), "old");
  EXPECT_EQ(ListNames(dir / "tex"), (std::vector<std::string>{"big.m32", "big.wal", "small.m32", "small.wal"}));
}

TEST(Conversion, APaletteThatCannotBeReadStopsTheRun) {
  TempDir dir;
  WriteBytes(dir / "tex/a.m32", M32WithWal(8, 8, 1, RandomPalette(1)).first);
  WriteText(dir / "empty.pal", "");
  ASSERT_EQ(::mkfifo((dir / "fifo.pal").c_str(), 0600), 0);
  // Reading a process's own memory at address 0 fails with an I/O error.
  const std::pair<std::string, std::string> cases[] = {
      {"-pmissing.pal", "No such file or directory"},
      {"-p", "No such file or directory"},
      {"-Ptex", "not a regular file"},
      {"-pfifo.pal", "not a regular file"},
      {"-pempty.pal", "empty file"},
      {"-p/proc/self/mem", "read error: Input/output error"},
  };
  for (const auto& [option, reason] : cases) {
    const ProgramResult result = RunTarnvick({"tex", option}, {.working_directory = dir.path()});
    EXPECT_EQ(result.out, kBanner);
    EXPECT_EQ(result.err, "tarnvick: cannot read palette file: " + option.substr(2) + ": " + reason + "\n");
    EXPECT_EQ(result.exit_code, 4);
  }
  EXPECT_EQ(ListNames(dir / "tex"), std::vector<std::string>{"a.m32"});
  EXPECT_EQ(ListNames(dir.path()), (std::vector<std::string>{"empty.pal", "fifo.pal", "tex"}));
}

TEST(Conversion, HugeDeclaredSizesInSmallFilesFailWithoutAllocating) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers map far more memory than the limit this test sets";
#else
  TempDir dir;
  WriteBytes(dir / "p.pal", RandomPalette(9));
  // 2 GiB of pixels declared in files of about 2 KiB, run within 256 MiB of address space: a
  // reader that allocated before checking the file's length would die.
  M32Fields m32;
  m32.width = {536870911};
  m32.height = {1};
  m32.pixels = NoiseBytes(1000, 1);
  WriteBytes(dir / "tex/huge.m32", BuildM32(m32));
  M8Fields m8;
  m8.version = 4;
  m8.width = {715827882};
  m8.height = {1};
  m8.indices = NoiseBytes(300, 2);
  WriteBytes(dir / "tex/huge.m8", BuildM8(m8));
  const ProgramResult result =
      RunTarnvick({"tex", "-pp.pal"}, {.working_directory = dir.path(), .address_space_limit = 256L << 20});
  EXPECT_EQ(result.out, kConvertOnly);
  EXPECT_EQ(result.err,
            "tarnvick: skipped tex/huge.m32: file is truncated (1968 of 2147484612 bytes)\n"
            "tarnvick: skipped tex/huge.m8: file is truncated (2048 of 715829630 bytes)\n");
  EXPECT_EQ(result.exit_code, 0);
#endif
}

}  // namespace
}  // namespace tarnvick::testing
