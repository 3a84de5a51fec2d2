// PAK archives made (by the sample tools' encoder) and read back in the tests by code of their
// own: a 12-byte header ("PACK", the directory's offset and length), the entries' data back to
// back, then 64 bytes an entry (a 56-byte name, the data's offset and length), integers
// little-endian.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pak_encoder.h"

namespace tarnvick::testing {

using samples::EncodePak;
using samples::PakFileEntry;
using samples::PutI32;

// The directory entry `index` of `archive`: where its offset and length are written.
std::size_t PakEntryField(const std::vector<std::uint8_t>& archive, std::size_t index);

// The entries of an archive the program wrote, checked as they are read: the header, every
// entry's data lying back to back from byte 12 in directory order, the directory right after
// them and ending the file, every name ending in a zero. A failure is a test failure.
std::vector<PakFileEntry> ReadPak(const std::vector<std::uint8_t>& archive);

}  // namespace tarnvick::testing
