// Encoding PAK archives byte by byte, for the sample library, the tests and the fuzz seeds: a
// 12-byte header ("PACK", the directory's offset and length), the entries' data back to back, then
// 64 bytes an entry (a 56-byte name, the data's offset and length), integers little-endian.
// Written from the layout, independently of the program's own reader and writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnvick::samples {

struct PakFileEntry {
  std::string name;  // the name field's bytes: a name of 56 bytes fills it with no zero
  std::vector<std::uint8_t> data;
};

std::vector<std::uint8_t> EncodePak(const std::vector<PakFileEntry>& entries);

// Sets the little-endian 32-bit integer at `at`.
void PutI32(std::vector<std::uint8_t>& bytes, std::size_t at, std::int32_t value);

}  // namespace tarnvick::samples
