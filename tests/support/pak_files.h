// PAK archives made and read back in the tests by code of their own: a 12-byte header ("PACK",
// the directory's offset and length), the entries' data back to back, then 64 bytes an entry (a
// 56-byte name, the data's offset and length), integers little-endian.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnvick::testing {

struct PakFileEntry {
  std::string name;  // the name field's bytes: a name of 56 bytes fills it with no zero
  std::vector<std::uint8_t> data;
};

std::vector<std::uint8_t> BuildPak(const std::vector<PakFileEntry>& entries);

// The directory entry `index` of `archive`: where its offset and length are written.
std::size_t PakEntryField(const std::vector<std::uint8_t>& archive, std::size_t index);

// Sets the little-endian 32-bit integer at `at`.
void PutI32(std::vector<std::uint8_t>& bytes, std::size_t at, std::int32_t value);

// The entries of an archive the program wrote, checked as they are read: the header, every
// entry's data lying back to back from byte 12 in directory order, the directory right after
// them and ending the file, every name ending in a zero. A failure is a test failure.
std::vector<PakFileEntry> ReadPak(const std::vector<std::uint8_t>& archive);

}  // namespace tarnvick::testing
