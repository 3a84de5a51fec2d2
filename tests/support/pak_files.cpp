#include "support/pak_files.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tarnvick::testing {
namespace {

std::int32_t GetI32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return static_cast<std::int32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                   static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

}  // namespace

std::size_t PakEntryField(const std::vector<std::uint8_t>& archive, std::size_t index) {
  return static_cast<std::size_t>(GetI32(archive, 4)) + 64 * index + 56;
}

std::vector<PakFileEntry> ReadPak(const std::vector<std::uint8_t>& archive) {
  std::vector<PakFileEntry> entries;
  if (archive.size() < 12 || !std::equal(archive.begin(), archive.begin() + 4, "PACK")) {
    ADD_FAILURE() << "not an archive";
    return entries;
  }
  const auto offset = static_cast<std::size_t>(GetI32(archive, 4)), length = static_cast<std::size_t>(GetI32(archive, 8));
  EXPECT_EQ(length % 64, 0u);
  EXPECT_EQ(offset + length, archive.size()) << "the directory ends the file";
  if (offset + length != archive.size() || length % 64 != 0) return entries;
  std::size_t data = 12;
  for (std::size_t at = offset; at < archive.size(); at += 64) {
    const auto name_end = std::find(archive.begin() + static_cast<std::ptrdiff_t>(at), archive.begin() + static_cast<std::ptrdiff_t>(at + 56), 0);
    EXPECT_NE(name_end, archive.begin() + static_cast<std::ptrdiff_t>(at + 56)) << "a name without its zero";
    const auto start = static_cast<std::size_t>(GetI32(archive, at + 56)), size = static_cast<std::size_t>(GetI32(archive, at + 60));
    EXPECT_EQ(start, data) << "entries back to back";
    if (start + size > offset) {
      ADD_FAILURE() << "data past the directory";
      return entries;
    }
    entries.push_back({std::string(archive.begin() + static_cast<std::ptrdiff_t>(at), name_end),
                       std::vector<std::uint8_t>(archive.begin() + static_cast<std::ptrdiff_t>(start),
                                                 archive.begin() + static_cast<std::ptrdiff_t>(start + size))});
    data = start + size;
  }
  EXPECT_EQ(data, offset) << "the directory right after the data";
  return entries;
}

}  // namespace tarnvick::testing
