// Runs that must not destroy or hide anything: special files and links at output paths, output
// that cannot be written, signals during a write, hostile names, deep trees, memory limits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/texture_pairs.h"

namespace tarnvick::testing {
namespace {

namespace fs = std::filesystem;

const std::string kConverted = std::string(kBanner) + "\nconverting M8/M32 files...\ndone.\n";

bool IsFifo(const std::string& path) { return fs::is_fifo(fs::symlink_status(path)); }

TEST(Trust, SpecialFilesAndLinksAtWalPathsAreNeverReplacedOrFollowed) {
  TempDir dir;
  const std::vector<std::uint8_t> palette = RandomPalette(1);
  WriteBytes(dir / "p.pal", palette);
  std::vector<std::vector<std::uint8_t>> wals;
  for (const char* name : {"a", "b", "c", "d", "e"}) {
    const auto pair = M32WithWal(16, 16, static_cast<std::uint32_t>(name[0]), palette);
    WriteBytes(dir / ("tex/" + std::string(name) + ".m32"), pair.first);
    wals.push_back(pair.second);
  }
  ASSERT_EQ(::mkfifo((dir / "tex/a.wal").c_str(), 0600), 0);
  WriteText(dir / "victim.wal", "victim");
  fs::create_symlink("../victim.wal", dir / "tex/b.wal");
  fs::create_directory(dir / "sub");
  fs::create_directory_symlink("../sub", dir / "tex/c.wal");
  fs::create_symlink("nowhere.wal", dir / "tex/d.wal");
  const bool root = RunningAsRoot();
  if (root) {
    ASSERT_EQ(::mknod((dir / "tex/e.wal").c_str(), S_IFCHR | 0666, ::makedev(1, 3)), 0);
  }

  const ProgramResult result = RunTarnvick({"tex", "-pp.pal"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.out, kConverted);
  EXPECT_EQ(result.err, std::string("tarnvick: skipped tex/a.m32: cannot write tex/a.wal: not a regular file\n") +
                            "tarnvick: skipped tex/c.m32: cannot write tex/c.wal: not a regular file\n" +
                            (root ? "tarnvick: skipped tex/e.m32: cannot write tex/e.wal: not a regular file\n" : ""));
  EXPECT_EQ(result.exit_code, 5);
  EXPECT_TRUE(IsFifo(dir / "tex/a.wal"));
  // The planted link is replaced by the WAL; the file it named is untouched.
  EXPECT_FALSE(fs::is_symlink(dir / "tex/b.wal"));
  EXPECT_EQ(ReadBytes(dir / "tex/b.wal"), wals[1]);
  EXPECT_EQ(ReadText(dir / "victim.wal"), "victim");
  EXPECT_TRUE(fs::is_symlink(dir / "tex/c.wal"));
  EXPECT_TRUE(fs::is_empty(dir / "sub"));
  EXPECT_FALSE(fs::is_symlink(dir / "tex/d.wal"));
  EXPECT_EQ(ReadBytes(dir / "tex/d.wal"), wals[3]);
  EXPECT_FALSE(Exists(dir / "nowhere.wal"));
  if (root) {
    EXPECT_TRUE(fs::is_character_file(fs::symlink_status(dir / "tex/e.wal")));
  }
}

TEST(Trust, PalettePathsThatAreLinksAreWrittenThroughDevicesNever) {
  TempDir dir;
  WriteBytes(dir / "tex/a.m32", M32WithWal(16, 16, 2, RandomPalette(2)).first);
  WriteText(dir / "real/target.lmp", "old");
  fs::create_symlink("real/target.lmp", dir / "pal.lmp");
  fs::create_symlink("made.lmp", dir / "dangling.lmp");
  for (const char* path : {"pal.lmp", "dangling.lmp"}) {
    const ProgramResult result = RunTarnvick({"tex", std::string("-o") + path}, {.working_directory = dir.path()});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_TRUE(fs::is_symlink(dir / path)) << path;
  }
  EXPECT_EQ(ReadBytes(dir / "real/target.lmp").size(), 768u);
  EXPECT_EQ(ReadBytes(dir / "made.lmp"), ReadBytes(dir / "real/target.lmp"));
  EXPECT_EQ(ListNames(dir / "real"), std::vector<std::string>{"target.lmp"});

  const ProgramResult result = RunTarnvick({"tex", "-o/dev/null"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.out, kBanner);
  EXPECT_EQ(result.err, "tarnvick: cannot write palette file: /dev/null: not a regular file\n");
  EXPECT_EQ(result.exit_code, 4);
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST(Trust, OutputThatCannotBeWrittenEndsWithExitFiveAfterEveryWal) {
  TempDir dir;
  WriteBytes(dir / "p.pal", RandomPalette(3));
  for (int i = 0; i < 10; ++i) WriteBytes(dir / ("tex/t" + std::to_string(i) + ".m32"), M32WithWal(8, 8, 3, RandomPalette(3)).first);
  const auto wal_count = [&] {
    int count = 0;
    for (const std::string& name : ListNames(dir / "tex")) count += name.ends_with(".wal") ? 1 : 0;
    return count;
  };
  ProgramResult result = RunTarnvick({"tex", "-pp.pal", "-v"}, {.working_directory = dir.path(), .stdout_path = "/dev/full"});
  EXPECT_EQ(result.exit_code, 5);
  EXPECT_EQ(wal_count(), 10);
  fs::remove_all(dir / "tex");
  for (int i = 0; i < 10; ++i) WriteBytes(dir / ("tex/t" + std::to_string(i) + ".m32"), M32WithWal(8, 8, 3, RandomPalette(3)).first);
  result = RunTarnvick({"tex", "-pp.pal", "-v"}, {.working_directory = dir.path(), .stdout_closed_pipe = true});
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.exit_code, 5);
  EXPECT_EQ(wal_count(), 10);
}

TEST(Trust, ASignalDuringAWriteLeavesNoTemporaryFile) {
  TempDir dir;
  WriteBytes(dir / "p.pal", RandomPalette(4));
  M32Fields fields;
  fields.width = {512, 256, 128, 64};
  fields.height = {512, 256, 128, 64};
  fields.pixels = NoiseBytes(4 * (512 * 512 + 256 * 256 + 128 * 128 + 64 * 64), 4);
  const std::vector<std::uint8_t> source = BuildM32(fields);
  for (int i = 0; i < 40; ++i) WriteBytes(dir / ("tex/t" + std::to_string(i) + ".m32"), source);
  const int watch = ::inotify_init1(IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, (dir / "tex").c_str(), IN_CREATE), 0);
  for (const auto& [signal, jobs] : {std::pair{SIGINT, "--jobs=1"}, {SIGTERM, "--jobs=1"}, {SIGHUP, "--jobs=1"},
                                     {SIGINT, "--jobs=4"}, {SIGTERM, "--jobs=4"}, {SIGHUP, "--jobs=4"}}) {
    bool caught_mid_write = false;
    const ProgramResult result = RunTarnvick(
        {"tex", "-pp.pal", jobs}, {.working_directory = dir.path(), .while_running = [&](pid_t child) {
                               // Stop the child as soon as it creates a temporary file; if the file
                               // is still there, the signal lands in the middle of its write.
                               alignas(inotify_event) char events[4096];
                               while (!caught_mid_write && ::read(watch, events, sizeof events) > 0) {
                                 ::kill(child, SIGSTOP);
                                 for (const std::string& name : ListNames(dir / "tex")) {
                                   caught_mid_write = caught_mid_write || name.starts_with(".tarnvick-");
                                 }
                                 if (caught_mid_write) ::kill(child, signal);
                                 ::kill(child, SIGCONT);
                               }
                             }});
    EXPECT_TRUE(caught_mid_write) << signal << " " << jobs;
    EXPECT_EQ(result.signal, signal);
    for (const std::string& name : ListNames(dir / "tex")) EXPECT_FALSE(name.starts_with(".tarnvick-")) << name;
  }
  ::close(watch);
}

TEST(Trust, ControlCharactersInNamesPrintEscapedOnStandardError) {
  TempDir dir;
  WriteBytes(dir / "p.pal", RandomPalette(5));
  WriteText(dir / "tex/new\nline.m32", "short");
  WriteText(dir / "tex/tab\tdel\x7f\xc3\xa9\\.m8", "");
  const ProgramResult result = RunTarnvick({"tex", "-pp.pal", "-v"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.err,
            "tarnvick: skipped tex/new\\x0aline.m32: file is truncated (5 of 968 bytes)\n"
            "tarnvick: skipped tex/tab\\x09del\\x7f\xc3\xa9\\.m8: file is truncated (0 of 4 bytes)\n"
            "tarnvick: 0 converted, 2 skipped\n");
  EXPECT_EQ(result.out, std::string(kBanner) + "\nconverting M8/M32 files...\n\ttex...\ndone.\n");
}

// A tree of one-letter folders deeper than any path the system accepts, built and removed through
// directory descriptors.
class DeepTree {
 public:
  DeepTree(const std::string& root, int depth) : depth_(depth) {
    fds_.push_back(::open(root.c_str(), O_RDONLY | O_DIRECTORY));
    for (int i = 0; i < depth; ++i) {
      ::mkdirat(fds_.back(), "d", 0755);
      fds_.push_back(::openat(fds_.back(), "d", O_RDONLY | O_DIRECTORY));
    }
  }
  ~DeepTree() {
    for (int i = depth_; i > 0; --i) {
      for (const char* name : {"deep.m32", "deep.wal"}) ::unlinkat(fds_[static_cast<std::size_t>(i)], name, 0);
      ::close(fds_[static_cast<std::size_t>(i)]);
      ::unlinkat(fds_[static_cast<std::size_t>(i) - 1], "d", AT_REMOVEDIR);
    }
    ::close(fds_[0]);
  }
  int bottom() const { return fds_.back(); }
  bool complete() const { return fds_.back() >= 0; }

 private:
  int depth_;
  std::vector<int> fds_;
};

TEST(Trust, TreesDeeperThanThePathLimitAreWalkedWhole) {
  TempDir dir;
  const std::vector<std::uint8_t> palette = RandomPalette(6);
  WriteBytes(dir / "p.pal", palette);
  const auto pair = M32WithWal(16, 16, 6, palette);
  WriteBytes(dir / "tex/top.m32", pair.first);
  const int depth = 2200;  // paths of 4,400 bytes and more below "tex"
  DeepTree tree(dir / "tex", depth);
  ASSERT_TRUE(tree.complete());
  const int source = ::openat(tree.bottom(), "deep.m32", O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(source, 0);
  ASSERT_EQ(::write(source, pair.first.data(), pair.first.size()), static_cast<ssize_t>(pair.first.size()));
  ::close(source);

  const ProgramResult result = RunTarnvick({"tex", "-pp.pal", "-s"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.out, kConverted);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(ReadBytes(dir / "tex/top.wal"), pair.second);
  std::vector<std::uint8_t> deep(pair.second.size() + 1);
  const int wal = ::openat(tree.bottom(), "deep.wal", O_RDONLY);
  ASSERT_GE(wal, 0);
  deep.resize(static_cast<std::size_t>(::read(wal, deep.data(), deep.size())));
  ::close(wal);
  EXPECT_EQ(deep, pair.second);
}

TEST(Trust, RunningOutOfMemorySkipsOneTextureAndConvertsTheRest) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers map far more memory than the limit this test sets";
#else
  TempDir dir;
  const std::vector<std::uint8_t> palette = RandomPalette(7);
  WriteBytes(dir / "p.pal", palette);
  const auto a = M32WithWal(64, 64, 7, palette);
  const auto c = M8WithWal(2, 64, 64, 8, palette);
  WriteBytes(dir / "tex/a.m32", a.first);
  WriteBytes(dir / "tex/c.m8", c.first);
  // A legal 100 MiB texture, run within 96 MiB of address space.
  M32Fields huge;
  huge.width = {5120};
  huge.height = {5120};
  huge.pixels.assign(4u * 5120 * 5120, 0x55);
  WriteBytes(dir / "tex/b.m32", BuildM32(huge));
  huge.pixels.clear();
  // One thread: with more, thread stacks and allocator arenas take address space too, at moments
  // that vary from run to run, so which texture runs out first would not be fixed.
  const long limit = 96L << 20;
  ProgramResult result =
      RunTarnvick({"tex", "-pp.pal", "--jobs=1"}, {.working_directory = dir.path(), .address_space_limit = limit});
  EXPECT_EQ(result.out, kConverted);
  EXPECT_EQ(result.err, "tarnvick: skipped tex/b.m32: out of memory\n");
  // The run's own want of memory is no fault of the library: the run is incomplete.
  EXPECT_EQ(result.exit_code, 5);
  EXPECT_EQ(ReadBytes(dir / "tex/a.wal"), a.second);
  EXPECT_EQ(ReadBytes(dir / "tex/c.wal"), c.second);
  // Generating, the palette cannot be made without that texture's colours.
  result = RunTarnvick({"tex", "-opal.lmp", "--jobs=1"}, {.working_directory = dir.path(), .address_space_limit = limit});
  EXPECT_EQ(result.err, "tarnvick: out of memory while counting colours: tex/b.m32\n");
  EXPECT_EQ(result.exit_code, 4);
  EXPECT_FALSE(Exists(dir / "pal.lmp"));
#endif
}

}  // namespace
}  // namespace tarnvick::testing
