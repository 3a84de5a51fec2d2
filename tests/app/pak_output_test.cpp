// The archive a run writes, at its limits: entries that give way free their room, and the file is
// moved down when it would pass the largest offset, whatever was given way before.
#include "app/pak_output.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/pak_files.h"
#include "support/temp_dir.h"

namespace tarnvick::testing {
namespace {

TEST(PakOutput, TheLimitCountsTheArchiveAsWrittenNotWhatGaveWay) {
  struct Add {
    std::string name;
    std::size_t size;
    std::uint8_t fill;
  };
  const struct {
    const char* what;
    std::uint64_t most;
    std::vector<Add> adds;
    std::vector<std::pair<std::string, std::uint8_t>> kept;  // in order; none when refused
  } cases[] = {
      // 12 + 400 + 100 + 2 x 64 = 640 bytes once written, though 912 bytes of data came.
      {"a name given way", 1000, {{"a.wal", 400, 1}, {"A.WAL", 400, 2}, {"b.wal", 100, 3}}, {{"A.WAL", 2}, {"b.wal", 3}}},
      // The data that came passes the limit three times over: moved down on the way.
      {"many given way", 700, {{"a.wal", 300, 1}, {"a.wal", 300, 2}, {"a.wal", 300, 3}, {"b.wal", 200, 4},
                               {"a.wal", 300, 5}, {"b.wal", 200, 6}}, {{"a.wal", 5}, {"b.wal", 6}}},
      {"larger than the limit", 700, {{"a.wal", 300, 1}, {"b.wal", 300, 2}, {"c.wal", 100, 3}}, {}},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string path = dir / "out.pak";
    Result<std::unique_ptr<PakOutput>> pak = PakOutput::Begin(path, c.most);
    ASSERT_TRUE(pak) << c.what;
    for (const Add& add : c.adds) {
      const std::vector<std::uint8_t> data(add.size, add.fill);
      (*pak)->Add(add.name, {data});
    }
    const Result<void> finished = (*pak)->Finish();
    EXPECT_EQ(static_cast<bool>(finished), !c.kept.empty()) << c.what;
    if (!finished) {
      EXPECT_EQ(finished.error().detail, "larger than 2 GiB") << c.what;
      continue;
    }
    std::vector<std::pair<std::string, std::uint8_t>> kept;
    for (const PakFileEntry& entry : ReadPak(ReadBytes(dir / "out.pak"))) {
      ASSERT_FALSE(entry.data.empty()) << c.what;
      EXPECT_EQ(entry.data, std::vector<std::uint8_t>(entry.data.size(), entry.data[0])) << c.what;
      kept.emplace_back(entry.name, entry.data[0]);
    }
    EXPECT_EQ(kept, c.kept) << c.what;
  }
}

}  // namespace
}  // namespace tarnvick::testing
