// The directory walker on real directory trees: selection by extension, order, recursion,
// links, verbose lines and unreadable directories.
#include "walk/walk_directory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace tarnvick::testing {
namespace {

struct WalkOptions {
  bool recurse = false;
  bool verbose = false;  // record the directories entered
};

// Walks `directory`; every file and (when verbose) every directory entered lands in one
// transcript, in order; directories that cannot be read land in `errors`.
std::string Walk(const std::string& directory, WalkOptions options, std::string* errors = nullptr) {
  std::string transcript;
  std::string unreadable;
  WalkDirectory(directory, options.recurse,
                {.entered = [&](const std::string& entered) {
                   if (options.verbose) transcript += "\n\t" + entered + "...";
                 },
                 .unreadable = [&](const std::string& path, const Error& error) {
                   EXPECT_EQ(error.kind, ErrorKind::kCannotList);
                   unreadable += "tarnvick: cannot read directory: " + path + ": " + error.detail + "\n";
                 },
                 .file = [&](const SourceFile& file) { transcript += "\n[" + file.path + "]"; }});
  if (errors != nullptr) *errors = unreadable;
  return transcript;
}

TEST(WalkDirectory, SelectsM8AndM32ByExtensionInAnyCase) {
  TempDir dir;
  for (const char* name : {"skin.M8", "skin.m32", "wall.M32", "a.m8", "odd.mM32", "skin.m32.bak", "readme",
                           "wall.m32x", "wall.M 8", "wall.pcx", "wall.wal", "m32", ".m8"}) {
    WriteText(dir / name, "");
  }
  std::string errors;
  EXPECT_EQ(Walk(dir.path(), {}, &errors),
            "\n[" + dir.path() + "/.m8]\n[" + dir.path() + "/a.m8]\n[" + dir.path() + "/skin.M8]\n[" +
                dir.path() + "/skin.m32]\n[" + dir.path() + "/wall.M32]");
  EXPECT_EQ(errors, "");
}

TEST(WalkDirectory, TakesEntriesInByteOrderFilesBeforeSubdirectories) {
  TempDir dir;
  for (const char* name : {"b/z.m8", "b/a.m8", "a/x.m8", "_.m8", "Z.m32", "B.m8", "a.m8", "\xc3\xa9.m8"}) {
    WriteText(dir / name, "");
  }
  const std::string& d = dir.path();
  EXPECT_EQ(Walk(d, {.recurse = true, .verbose = true}),
            "\n\t" + d + "...\n[" + d + "/B.m8]\n[" + d + "/Z.m32]\n[" + d + "/_.m8]\n[" + d + "/a.m8]\n[" + d +
                "/\xc3\xa9.m8]\n\t" + d + "/a...\n[" + d + "/a/x.m8]\n\t" + d + "/b...\n[" + d + "/b/a.m8]\n[" + d +
                "/b/z.m8]");
}

TEST(WalkDirectory, WithoutRecursionSubdirectoriesAreNeverVisited) {
  TempDir dir;
  WriteText(dir / "top.m8", "");
  WriteText(dir / "sub/inner.m8", "");
  EXPECT_EQ(Walk(dir.path(), {.recurse = false, .verbose = true}),
            "\n\t" + dir.path() + "...\n[" + dir.path() + "/top.m8]");
}

TEST(WalkDirectory, DirectoryNamedLikeATextureIsEnteredButNeverHandedOver) {
  TempDir dir;
  WriteText(dir / "old.m32/inner.m8", "");
  EXPECT_EQ(Walk(dir.path(), {}), "");
  EXPECT_EQ(Walk(dir.path(), {.recurse = true}), "\n[" + dir.path() + "/old.m32/inner.m8]");
}

TEST(WalkDirectory, FollowsLinksToFilesButNeverEntersLinksToDirectories) {
  TempDir dir;
  WriteText(dir / "real/file.m8", "");
  std::filesystem::create_symlink("real/file.m8", dir / "link.m8");
  std::filesystem::create_symlink("missing.m8", dir / "dangling.m32");
  std::filesystem::create_directory_symlink("real", dir / "linkdir.m8");
  std::filesystem::create_directory_symlink(".", dir / "real/loop");
  const std::string& d = dir.path();
  EXPECT_EQ(Walk(d, {.recurse = true}),
            "\n[" + d + "/dangling.m32]\n[" + d + "/link.m8]\n[" + d + "/real/file.m8]");
}

TEST(WalkDirectory, TrailingSeparatorIsKept) {
  TempDir dir;
  WriteText(dir / "sub/a.m8", "");
  EXPECT_EQ(Walk(dir.path() + "/", {.recurse = true, .verbose = true}),
            "\n\t" + dir.path() + "/...\n\t" + dir.path() + "//sub...\n[" + dir.path() + "//sub/a.m8]");
}

TEST(WalkDirectory, MissingDirectoryIsReportedAndContributesNothing) {
  TempDir dir;
  std::string errors;
  EXPECT_EQ(Walk(dir / "gone", {.recurse = true, .verbose = true}, &errors), "\n\t" + dir.path() + "/gone...");
  EXPECT_EQ(errors, "tarnvick: cannot read directory: " + dir.path() + "/gone: No such file or directory\n");
}

TEST(WalkDirectory, UnreadableDirectoryIsReportedAndTheWalkGoesOn) {
  TempDir dir;
  WriteText(dir / "tex/a/locked.m8", "");
  WriteText(dir / "tex/b/open.m8", "x");
  WriteBytes(dir / "zero.pal", std::vector<std::uint8_t>(768, 0));
  OpenToEveryone(dir.path());
  std::filesystem::permissions(dir / "tex/a", std::filesystem::perms::none);
  // Root may read any directory, so the program runs as an ordinary user.
  const ProgramResult result =
      RunTarnvick({"tex", "-s", "-v", "-pzero.pal"}, {.working_directory = dir.path(), .unprivileged = true});
  EXPECT_EQ(result.out, std::string(kBanner) + "\nconverting M8/M32 files...\n\ttex...\n\ttex/a...\n\ttex/b...\ndone.\n");
  EXPECT_EQ(result.err,
            "tarnvick: cannot read directory: tex/a: Permission denied\n"
            "tarnvick: skipped tex/b/open.m8: file is truncated (1 of 4 bytes)\n"
            "tarnvick: 0 converted, 1 skipped\n");
  EXPECT_EQ(result.exit_code, 0);
}

}  // namespace
}  // namespace tarnvick::testing
