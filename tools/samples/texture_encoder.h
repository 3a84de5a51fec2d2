// Encoding M8 and M32 texture files byte by byte from a plain description, for the sample
// library, the tests and the fuzz seeds. Written from the file layouts, independently of the
// readers.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tarnvick::samples {

struct M32File {
  std::uint32_t version = 0;
  std::string name;            // zero-padded (or cut) to 128 bytes
  std::string animation_name;  // zero-padded (or cut) to 128 bytes
  std::array<std::uint32_t, 16> width{};
  std::array<std::uint32_t, 16> height{};
  std::array<std::uint32_t, 16> offset{};
  std::uint32_t flags = 0;
  std::uint32_t contents = 0;
  std::uint32_t value = 0;
  std::uint8_t filler = 0;            // fills the uninterpreted header blocks
  std::vector<std::uint8_t> pixels;  // 4 bytes a pixel, all levels back to back
};

struct M8File {
  std::int32_t version = 0;
  std::string name;            // zero-padded (or cut) to 32 bytes
  std::string animation_name;  // zero-padded (or cut) to 32 bytes
  // 8 entries each for versions up to 1, 16 from version 2 (missing entries are zero).
  std::vector<std::uint32_t> width;
  std::vector<std::uint32_t> height;
  std::vector<std::uint32_t> offset;
  std::array<std::uint8_t, 768> palette{};
  std::uint32_t flags = 0;
  std::uint32_t contents = 0;
  std::uint32_t value = 0;
  std::uint8_t filler = 0;             // fills the two skipped blocks of version 4
  std::vector<std::uint8_t> indices;  // 1 byte a pixel, all levels back to back
};

// The levels an M8 file of `version` carries: 8 up to version 1, 16 from version 2.
int M8Levels(std::int32_t version);

std::vector<std::uint8_t> EncodeM32(const M32File& file);
std::vector<std::uint8_t> EncodeM8(const M8File& file);

// Fills `width` and `height` with the halvings of w x h (each level halves both, down to 1 x 1
// while either is above 1, then zeros) and returns the number of pixels over all levels.
std::uint64_t FullMipChain(std::uint32_t w, std::uint32_t h, std::uint32_t* width,
                           std::uint32_t* height, int levels);

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

// One file of a sample library: its path below the library's root ('/'-separated) and its bytes.
struct SampleFile {
  std::string path;
  std::vector<std::uint8_t> bytes;
};

// Writes each of `files` below `root`, making the folders; false when one cannot be written.
bool WriteSampleFiles(const std::string& root, const std::vector<SampleFile>& files);

// The paths of `files`, in their order.
std::vector<std::string> PathsOf(const std::vector<SampleFile>& files);

}  // namespace tarnvick::samples
