// PNG files made in memory, with zlib for the compressed pixels: 8-bit images, in RGB or indexed
// into a palette. The same image gives the same bytes every time and on every platform built
// against the same zlib (no time stamp or other varying chunk).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "io/error.h"

namespace tarnvick {

struct PngImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  // Row after row from the top: 3 bytes a pixel (red, green, blue) when `palette` is empty, else
  // 1 byte a pixel, an index into `palette`.
  std::span<const std::uint8_t> pixels;
  std::span<const std::uint8_t> palette;  // 3 bytes an entry, 1 to 256 entries; empty for RGB
};

// The PNG file of `image`; fails only with kOutOfMemory, when zlib cannot compress it.
Result<std::vector<std::uint8_t>> EncodePng(const PngImage& image);

}  // namespace tarnvick
