// Runs that must not destroy or hide anything: special files and links at output paths, output
// that cannot be written, signals during a write, hostile names, deep trees, memory limits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "io/temporary_files.h"
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
// directory descriptors, one open at a time, with a file at its bottom.
class DeepTree {
 public:
  DeepTree(const std::string& root, int depth, const std::vector<std::uint8_t>& bottom_file) : root_(root) {
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < depth && fd >= 0; ++i, ++depth_) {
      ::mkdirat(fd, "d", 0755);
      const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
      ::close(fd);
      fd = next;
    }
    const int file = fd < 0 ? -1 : ::openat(fd, "deep.m32", O_WRONLY | O_CREAT, 0644);
    complete_ = file >= 0 && ::write(file, bottom_file.data(), bottom_file.size()) ==
                                 static_cast<ssize_t>(bottom_file.size());
    if (file >= 0) ::close(file);
    if (fd >= 0) ::close(fd);
  }
  ~DeepTree() {
    int fd = Bottom();
    for (int i = depth_; i > 0 && fd >= 0; --i) {
      for (const char* name : {"deep.m32", "deep.wal"}) ::unlinkat(fd, name, 0);
      const int parent = ::openat(fd, "..", O_RDONLY | O_DIRECTORY);
      ::close(fd);
      ::unlinkat(parent, "d", AT_REMOVEDIR);
      fd = parent;
    }
    if (fd >= 0) ::close(fd);
  }
  bool complete() const { return complete_; }
  // The bottom folder, opened (the caller closes it).
  int Bottom() const {
    int fd = ::open(root_.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < depth_ && fd >= 0; ++i) {
      const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
      ::close(fd);
      fd = next;
    }
    return fd;
  }
  // Up to `most` bytes of the file `name` in the bottom folder; empty when it cannot be read.
  std::vector<std::uint8_t> BottomFile(const char* name, std::size_t most) const {
    std::vector<std::uint8_t> bytes(most);
    const int bottom = Bottom();
    const int file = bottom < 0 ? -1 : ::openat(bottom, name, O_RDONLY);
    const ssize_t got = file < 0 ? 0 : ::read(file, bytes.data(), bytes.size());
    bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    if (file >= 0) ::close(file);
    if (bottom >= 0) ::close(bottom);
    return bytes;
  }

 private:
  std::string root_;
  int depth_ = 0;
  bool complete_ = false;
};

TEST(Trust, TreesDeeperThanThePathLimitAreWalkedWholeInLittleMemoryAndFewDescriptors) {
  TempDir dir;
  const std::vector<std::uint8_t> palette = RandomPalette(6);
  WriteBytes(dir / "p.pal", palette);
  const auto pair = M32WithWal(16, 16, 6, palette);
  WriteBytes(dir / "tex/top.m32", pair.first);
  // Paths of 60,000 bytes below "tex"; each level's path kept would take gigabytes, each level's
  // call the whole stack, each level's directory open more descriptors than a process has.
  const int depth = 30000;
  DeepTree tree(dir / "tex", depth, pair.first);
  ASSERT_TRUE(tree.complete());
  for (const long open_files : {-1L, 64L}) {
    const ProgramResult result =
        RunTarnvick({"tex", "-pp.pal", "-s"}, {.working_directory = dir.path(), .open_files_limit = open_files});
    EXPECT_EQ(result.out, kConverted) << open_files;
    EXPECT_EQ(result.err, "") << open_files;
    EXPECT_EQ(result.exit_code, 0) << open_files;
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    EXPECT_LT(result.peak_memory_kib, 100 * 1024) << open_files;
#endif
    EXPECT_EQ(ReadBytes(dir / "tex/top.wal"), pair.second);
    EXPECT_EQ(tree.BottomFile("deep.wal", pair.second.size() + 1), pair.second) << open_files;
    // The next run must make both again.
    const int bottom = tree.Bottom();
    ::unlinkat(bottom, "deep.wal", 0);
    ::close(bottom);
    fs::remove(dir / "tex/top.wal");
  }
  // Below an output folder, the same tree is made one folder at a time.
  const ProgramResult result = RunTarnvick({"tex", "-pp.pal", "-s", "--output-dir=mod"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(ReadBytes(dir / "mod/top.wal"), pair.second);
  const DeepTree made(dir / "mod", depth, {});  // the folders are there: only opened, removed at the end
  EXPECT_EQ(made.BottomFile("deep.wal", pair.second.size() + 1), pair.second);
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

// A small M32 source made from `seed`, and its WAL against `palette`.
std::pair<std::vector<std::uint8_t>, std::vector<std::uint8_t>> SmallPair(int seed, const std::vector<std::uint8_t>& palette) {
  return M32WithWal(16, 8, static_cast<std::uint32_t>(seed), palette);
}

TEST(Trust, ThreadsTheSystemDoesNotGrantAreWorkedWithout) {
  TempDir dir;
  const std::vector<std::uint8_t> palette = RandomPalette(11);
  WriteBytes(dir / "p.pal", palette);
  std::vector<std::vector<std::uint8_t>> wals;
  for (int i = 0; i < 12; ++i) {
    const auto pair = SmallPair(i, palette);
    WriteBytes(dir / ("tex/t" + std::to_string(i) + ".m32"), pair.first);
    wals.push_back(pair.second);
  }
  const auto check_wals = [&](const std::string& label) {
    for (int i = 0; i < 12; ++i) {
      EXPECT_EQ(ReadBytes(dir / ("tex/t" + std::to_string(i) + ".wal")), wals[static_cast<std::size_t>(i)]) << label << i;
      fs::remove(dir / ("tex/t" + std::to_string(i) + ".wal"));
    }
  };
  // Far more threads asked for than there are files: no more start than there is work for.
  ProgramResult result = RunTarnvick({"tex", "-pp.pal", "--jobs=100000"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
  check_wals("jobs=100000 ");
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the thread sanitizer needs threads of its own";
#else
  if (!RunningAsRoot()) GTEST_SKIP() << "a user with a thread limit of its own needs root";
  OpenToEveryone(dir.path());
  fs::permissions(dir / "tex", fs::perms::all);
  // A user who may have two threads: the program and one worker at most.
  result = RunTarnvick({"tex", "-pp.pal", "--jobs=8"}, {.working_directory = dir.path(), .process_limit = 2});
  EXPECT_EQ(result.signal, 0);
  const std::string started = "tarnvick: started ", of = " of 8 threads\n";
  EXPECT_TRUE(result.err.size() == started.size() + 1 + of.size() && result.err.starts_with(started) &&
              result.err.ends_with(of) && result.err[started.size()] >= '1' && result.err[started.size()] <= '7')
      << result.err;
  EXPECT_EQ(result.exit_code, 0);
  check_wals("thread limit ");
#endif
}

TEST(Trust, NewWalsTakeOnlyThePermissionBitsOfTheRegularFileTheyReplace) {
  TempDir dir;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  const mode_t plain = 0666 & ~mask;
  const std::vector<std::uint8_t> palette = RandomPalette(12);
  WriteBytes(dir / "p.pal", palette);
  for (const char* name : {"a", "b", "c", "d"}) WriteBytes(dir / ("tex/" + std::string(name) + ".m32"), SmallPair(name[0], palette).first);
  // A planted link to a set-user-id file, a set-user-id WAL, an ordinary one, and none.
  WriteText(dir / "victim", "set-id");
  ASSERT_EQ(::chmod((dir / "victim").c_str(), 04755), 0);
  fs::create_symlink("../victim", dir / "tex/a.wal");
  WriteText(dir / "tex/b.wal", "old");
  ASSERT_EQ(::chmod((dir / "tex/b.wal").c_str(), 04750), 0);
  WriteText(dir / "tex/c.wal", "old");
  ASSERT_EQ(::chmod((dir / "tex/c.wal").c_str(), 0640), 0);
  const ProgramResult result = RunTarnvick({"tex", "-pp.pal"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  const auto mode = [&](const std::string& path) {
    struct stat info {};
    return ::lstat((dir / path).c_str(), &info) == 0 && S_ISREG(info.st_mode) ? info.st_mode & 07777 : 0xFFFFu;
  };
  for (const auto& [path, expected] : {std::pair<std::string, mode_t>{"tex/a.wal", plain}, {"tex/b.wal", 0750},
                                       {"tex/c.wal", 0640}, {"tex/d.wal", plain}, {"victim", 04755}}) {
    EXPECT_EQ(mode(path), expected) << path;
  }
  EXPECT_EQ(ReadBytes(dir / "tex/a.wal"), SmallPair('a', palette).second);
  EXPECT_EQ(ReadText(dir / "victim"), "set-id");
}

TEST(Trust, EveryTemporaryFileBeingWrittenIsRemovedOnASignalHoweverManyThereAre) {
  TempDir dir;
  // In a child of its own: the removal is the last thing a process does.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::vector<TemporaryFile> files;
    for (int i = 0; i < 200; ++i) {
      Result<TemporaryFile> file = CreateTemporaryFile({AT_FDCWD, dir / ("t" + std::to_string(i) + ".wal")});
      if (!file) ::_exit(1);
      files.push_back(std::move(*file));
    }
    ::_exit(ListNames(dir.path()).size() == 200 ? (RemoveTemporaryFiles(), 0) : 2);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(ListNames(dir.path()), std::vector<std::string>{});
}

TEST(Trust, AFifoAtAWalPathIsNeverOpened) {
  TempDir dir;
  const std::vector<std::uint8_t> palette = RandomPalette(13);
  WriteBytes(dir / "p.pal", palette);
  WriteBytes(dir / "tex/a.m32", SmallPair(1, palette).first);
  const std::string fifo = dir / "tex/a.wal";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // A writer waits for a reader: opening the FIFO for reading, even without blocking, lets it go.
  const pid_t writer = ::fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) ::_exit(::open(fifo.c_str(), O_WRONLY) >= 0 ? 0 : 1);
  ::usleep(200000);
  const ProgramResult result = RunTarnvick({"tex", "-pp.pal"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.err, "tarnvick: skipped tex/a.m32: cannot write tex/a.wal: not a regular file\n");
  EXPECT_EQ(result.exit_code, 5);
  EXPECT_EQ(::waitpid(writer, nullptr, WNOHANG), 0) << "the writer was let go";
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_EQ(::waitpid(writer, nullptr, 0), writer);
  ::close(reader);
}

TEST(Trust, ALowDescriptorLimitGivesTheRunItGivesWithoutOne) {
  TempDir dir;
  std::vector<std::string> sources;
  for (const char* folder : {"", "a/", "a/b/", "a/b/c/", "a/d/", "e/"}) {
    for (int i = 0; i < 4; ++i) {
      sources.push_back(std::string(folder) + "t" + std::to_string(i));
      WriteBytes(dir / ("tex/" + sources.back() + ".m32"),
                 M32WithWal(16, 16, static_cast<std::uint32_t>(sources.size()), RandomPalette(14)).first);
    }
  }
  const auto outputs = [&](const std::string& palette) {
    std::vector<std::vector<std::uint8_t>> bytes = {ReadBytes(dir / palette)};
    for (const std::string& source : sources) {
      bytes.push_back(ReadBytes(dir / ("tex/" + source + ".wal")));
      fs::remove(dir / ("tex/" + source + ".wal"));
    }
    return bytes;
  };
  ProgramResult result = RunTarnvick({"tex", "-s", "-oone.lmp", "--jobs=8"}, {.working_directory = dir.path()});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const auto expected = outputs("one.lmp");
  for (const long limit : {12L, 24L}) {
    result = RunTarnvick({"tex", "-s", "-otwo.lmp", "--jobs=8"},
                         {.working_directory = dir.path(), .open_files_limit = limit});
    EXPECT_EQ(result.err, "") << limit;
    EXPECT_EQ(result.exit_code, 0) << limit;
    EXPECT_EQ(outputs("two.lmp"), expected) << limit;
  }
}

TEST(Trust, MemoryDoesNotGrowWithTheNumberOfThreads) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers' own memory would be measured";
#else
  TempDir dir;
  WriteBytes(dir / "p.pal", RandomPalette(15));
  M8Fields fields;
  fields.version = 2;
  fields.width = {4096, 2048, 1024, 512};
  fields.height = fields.width;
  fields.indices.assign(4096 * 4096 + 2048 * 2048 + 1024 * 1024 + 512 * 512, 7);
  const std::vector<std::uint8_t> source = BuildM8(fields);
  fields.indices.clear();
  for (int i = 0; i < 12; ++i) WriteBytes(dir / ("tex/t" + std::to_string(i) + ".m8"), source);
  const ProgramResult result = RunTarnvick({"tex", "-pp.pal", "--jobs=12"}, {.working_directory = dir.path()});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_LT(result.peak_memory_kib * 1024, 2 * static_cast<long>(source.size()) + (200L << 20));
#endif
}

TEST(Trust, OutputsThatNameAnInputOrAnotherOutputAreRefusedBeforeAnythingIsRead) {
  TempDir dir;
  const std::vector<std::uint8_t> palette = RandomPalette(16);
  WriteBytes(dir / "p.pal", palette);
  fs::create_symlink("p.pal", dir / "link.pal");
  // Links to a file not made yet, one through the other: what they name once written counts.
  fs::create_symlink("target.lmp", dir / "l2");
  fs::create_symlink("l2", dir / "l3");
  WriteBytes(dir / "tex/a.m32", SmallPair(1, palette).first);
  const std::string kInUse = ": it is an input or another output of this run\n";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"-pp.pal", "--preview=p.pal"}, "preview: p.pal"},
      {{"-plink.pal", "--preview=./p.pal"}, "preview: ./p.pal"},
      {{"-pp.pal", "--preview=tex/a.m32"}, "preview: tex/a.m32"},
      {{"-pp.pal", "--preview=tex/A.WAL"}, "preview: tex/A.WAL"},
      {{"-otex/a.M32"}, "palette file: tex/a.M32"},
      {{"-onew.m8"}, "palette file: new.m8"},
      {{"-oout.lmp", "--preview=./out.lmp"}, "preview: ./out.lmp"},
      {{"--preview=palette.lmp"}, "preview: palette.lmp"},
      {{"-pp.pal", "--preview=out.png", "--report=./out.png"}, "report: ./out.png"},
      {{"-pp.pal", "--report=p.pal"}, "report: p.pal"},
      {{"-ol2", "--preview=target.lmp"}, "preview: target.lmp"},
      {{"-pp.pal", "--preview=l3", "--report=./target.lmp"}, "report: ./target.lmp"},
      {{"-otarget.lmp", "--report=l3"}, "report: l3"},
  };
  for (const auto& [options, named] : cases) {
    std::vector<std::string> arguments = {"tex"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const ProgramResult result = RunTarnvick(arguments, {.working_directory = dir.path()});
    EXPECT_EQ(result.out, kBanner) << named;
    EXPECT_EQ(result.err, "tarnvick: cannot write " + named + kInUse);
    EXPECT_EQ(result.exit_code, 4) << named;
    EXPECT_EQ(ListNames(dir.path()), (std::vector<std::string>{"l2", "l3", "link.pal", "p.pal", "tex"})) << named;
    EXPECT_EQ(ListNames(dir / "tex"), std::vector<std::string>{"a.m32"}) << named;
    EXPECT_EQ(ReadBytes(dir / "p.pal"), palette);
  }
}

TEST(Trust, ADirectoryThatCannotBeReadIsToldOncePerRun) {
  TempDir dir;
  WriteBytes(dir / "tex/a.m32", SmallPair(1, RandomPalette(17)).first);
  WriteBytes(dir / "tex/locked/b.m32", SmallPair(2, RandomPalette(17)).first);
  OpenToEveryone(dir.path());
  fs::permissions(dir.path(), fs::perms::all);
  fs::permissions(dir / "tex", fs::perms::all);
  fs::permissions(dir / "tex/locked", fs::perms::none);
  const ProgramResult result = RunTarnvick({"tex", "-s"}, {.working_directory = dir.path(), .unprivileged = true});
  fs::permissions(dir / "tex/locked", fs::perms::owner_all);
  EXPECT_EQ(result.err, "tarnvick: cannot read directory: tex/locked: Permission denied\n");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_TRUE(Exists(dir / "tex/a.wal"));
}

}  // namespace
}  // namespace tarnvick::testing
