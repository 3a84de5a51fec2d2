// What a WAL file must hold, computed the plain way for comparison with the converter's output:
// the plain nearest-colour search over all 256 entries, the header laid out by hand.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "noise.h"
#include "support/reference_nearest.h"

namespace tarnvick::testing {

struct WalContent {
  std::string name;            // 32 bytes written as given, zero-padded
  std::string animation_name;  // likewise
  std::uint32_t width = 0, height = 0, flags = 0, contents = 0, value = 0;
  std::vector<Rgb> pixels;  // the source's pixels, level after level, at least four levels' worth
};

std::vector<std::uint8_t> ExpectedWal(const WalContent& content, const std::vector<std::uint8_t>& palette);

// The pixels of 4-byte source data, the fourth byte dropped.
std::vector<Rgb> PixelsOf32(const std::vector<std::uint8_t>& data);
// The pixels of 1-byte indices expanded through a 768-byte palette.
std::vector<Rgb> PixelsOfIndices(const std::vector<std::uint8_t>& indices, const std::vector<std::uint8_t>& palette);

using samples::NoiseBytes;

}  // namespace tarnvick::testing
