// M8 and M32 files laid out byte by byte at the offsets of the file formats, for the reader
// tests. Deliberately independent of the readers and of the sample encoder.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/little_endian.h"

namespace tarnvick::testing {

inline void PutText(std::vector<std::uint8_t>& bytes, std::size_t at, const std::string& text) {
  std::memcpy(bytes.data() + at, text.data(), text.size());
}

// Where the fields of an M8 file of a version stand.
struct M8Offsets {
  int levels;
  std::size_t width, height, offset, animation_name, palette, flags, data;
};

inline M8Offsets M8OffsetsFor(std::int32_t version) {
  if (version <= 1) return {8, 36, 68, 100, 132, 164, 932, 944};
  if (version <= 3) return {16, 36, 100, 164, 228, 260, 1028, 1040};
  return {16, 516, 580, 644, 708, 968, 1736, 1748};
}

struct M8Fields {
  std::int32_t version = 0;
  std::vector<std::uint32_t> width, height, offset;  // missing entries stay zero
  std::vector<std::uint8_t> palette;                  // 768 bytes, or empty for palette[i] = i % 251
  std::vector<std::uint8_t> indices;
  std::string name = "m8name", animation_name = "m8anim";
  std::uint32_t flags = 0x11223344, contents = 0x55667788, value = 0x99AABBCC;
};

inline std::vector<std::uint8_t> DefaultM8Palette() {
  std::vector<std::uint8_t> palette(768);
  for (std::size_t i = 0; i < palette.size(); ++i) palette[i] = static_cast<std::uint8_t>(i % 251);
  return palette;
}

inline std::vector<std::uint8_t> BuildM8(const M8Fields& fields) {
  const M8Offsets at = M8OffsetsFor(fields.version);
  std::vector<std::uint8_t> bytes(at.data + fields.indices.size(), 0xEE);  // skipped blocks: 0xEE
  Put32(bytes, 0, static_cast<std::uint32_t>(fields.version));
  std::memset(bytes.data() + 4, 0, 32);
  PutText(bytes, 4, fields.name);
  for (int i = 0; i < at.levels; ++i) {
    const auto get = [i](const std::vector<std::uint32_t>& t) {
      return static_cast<std::size_t>(i) < t.size() ? t[static_cast<std::size_t>(i)] : 0u;
    };
    Put32(bytes, at.width + 4 * static_cast<std::size_t>(i), get(fields.width));
    Put32(bytes, at.height + 4 * static_cast<std::size_t>(i), get(fields.height));
    Put32(bytes, at.offset + 4 * static_cast<std::size_t>(i), get(fields.offset));
  }
  std::memset(bytes.data() + at.animation_name, 0, 32);
  PutText(bytes, at.animation_name, fields.animation_name);
  const std::vector<std::uint8_t> palette = fields.palette.empty() ? DefaultM8Palette() : fields.palette;
  std::memcpy(bytes.data() + at.palette, palette.data(), 768);
  Put32(bytes, at.flags, fields.flags);
  Put32(bytes, at.flags + 4, fields.contents);
  Put32(bytes, at.flags + 8, fields.value);
  std::copy(fields.indices.begin(), fields.indices.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at.data));
  return bytes;
}

struct M32Fields {
  std::uint32_t version = 7;
  std::vector<std::uint32_t> width, height, offset;  // up to 16 entries; missing ones stay zero
  std::vector<std::uint8_t> pixels;                   // 4 bytes a pixel
  std::string name = "m32name", animation_name = "m32anim";
  std::uint32_t flags = 0x01020304, contents = 0x05060708, value = 0x090A0B0C;
};

inline std::vector<std::uint8_t> BuildM32(const M32Fields& fields) {
  std::vector<std::uint8_t> bytes(968 + fields.pixels.size(), 0);
  for (std::size_t i = 0; i < 968; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);  // uninterpreted
  Put32(bytes, 0, fields.version);
  std::memset(bytes.data() + 4, 0, 128);
  PutText(bytes, 4, fields.name);
  std::memset(bytes.data() + 260, 0, 128);
  PutText(bytes, 260, fields.animation_name);
  for (std::size_t i = 0; i < 16; ++i) {
    Put32(bytes, 516 + 4 * i, i < fields.width.size() ? fields.width[i] : 0);
    Put32(bytes, 580 + 4 * i, i < fields.height.size() ? fields.height[i] : 0);
    Put32(bytes, 644 + 4 * i, i < fields.offset.size() ? fields.offset[i] : 0);
  }
  Put32(bytes, 708, fields.flags);
  Put32(bytes, 712, fields.contents);
  Put32(bytes, 716, fields.value);
  std::copy(fields.pixels.begin(), fields.pixels.end(), bytes.begin() + 968);
  return bytes;
}

// The halvings 64, 32, 16, 8, 4, 2, 1 and then zeros.
inline std::vector<std::uint32_t> Chain64() { return {64, 32, 16, 8, 4, 2, 1}; }

// `count` bytes counting up from `seed`.
inline std::vector<std::uint8_t> Ramp(std::size_t count, std::uint8_t seed = 0) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 13 + i / 256);
  return bytes;
}

}  // namespace tarnvick::testing
