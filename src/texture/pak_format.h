// The PAK archive ("PACK") as pure code: a 12-byte header (the magic, then the directory's offset
// and length), the entries' data, and a directory of 64-byte entries (a 56-byte name, then the
// data's offset and length), every integer signed 32-bit little-endian. Bytes in, entries out;
// entries in, header and directory bytes out.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "io/error.h"

namespace tarnvick {

inline constexpr std::size_t kPakHeaderSize = 12;
inline constexpr std::size_t kPakEntrySize = 64;
inline constexpr std::size_t kPakNameField = 56;

// Where an archive's directory lies.
struct PakDirectory {
  std::uint64_t offset = 0;
  std::uint64_t count = 0;  // entries
};

// The directory of an archive of `file_size` bytes that begins with `head` (its first bytes, 12
// or fewer when the file is shorter). Fails with kBadArchive and the reason: `not a PAK archive`
// (no `PACK`, or a header cut short), `directory outside the file` (also for a negative offset or
// length), `directory length not a multiple of 64`.
Result<PakDirectory> ParsePakHeader(std::span<const std::uint8_t> head, std::uint64_t file_size);

// One entry of a directory as it is written.
struct PakEntry {
  std::string name;         // the name field's bytes before its first zero (all 56 without one), each '\' read as '/'
  bool terminated = false;  // the field holds a zero byte
  std::int64_t offset = 0;  // of its data
  std::int64_t size = 0;
};
PakEntry ParsePakEntry(std::span<const std::uint8_t, kPakEntrySize> bytes);

// Whether `entry` may name a file below its archive's folder: its field ends in a zero byte, and
// its name is not empty, does not begin with '/', has no empty, "." or ".." part, and holds no
// ':' and no byte below 32 nor 127.
bool IsSafeEntryName(const PakEntry& entry);

// Whether the data of `entry` lies within an archive of `file_size` bytes.
bool LiesWithin(const PakEntry& entry, std::uint64_t file_size);

// Whether `name` is an archive's: its extension is PAK, in any case.
bool IsPakName(std::string_view name);

// Whether two entry names are one for the original engine: equal but for ASCII case ('\' and '/'
// are told apart: compare names already read, or keys).
bool SameEntryName(std::string_view a, std::string_view b);

// `name` as the original engine tells entry names apart: its ASCII letters in lower case, and '\'
// read as '/'. Two names are one when their keys are equal.
std::string EntryNameKey(std::string name);

// The header of an archive whose directory of `count` entries starts at `directory_offset`.
std::array<std::uint8_t, kPakHeaderSize> EncodePakHeader(std::uint32_t directory_offset, std::size_t count);

// The directory entry of the data `size` bytes long at `offset`, named `name` (its first 55
// bytes, zero-padded).
std::array<std::uint8_t, kPakEntrySize> EncodePakEntry(std::string_view name, std::uint32_t offset, std::uint32_t size);

}  // namespace tarnvick
