// PNG files made in memory, with zlib for the compressed pixels: 8-bit images, in RGB, RGBA or
// indexed into a palette. The same image gives the same bytes every time and on every platform built
// against the same zlib (no time stamp or other varying chunk).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "io/error.h"

namespace tarnvick {

// How an image's rows are packed: zlib's level (-1, its default, or 0 to 9) and zlib's strategy,
// and the filter of every RGB or RGBA row (0 to 4), or -1 for each row the one of least cost.
// Indexed rows are never filtered.
struct PngPacking {
  int level = -1;
  int strategy = 0;
  int filter = -1;
};

struct PngImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  // Row after row from the top: 3 bytes a pixel (red, green, blue) when `palette` is empty, 4 with
  // `alpha` (red, green, blue, alpha), else 1 byte a pixel, an index into `palette`.
  std::span<const std::uint8_t> pixels;
  std::span<const std::uint8_t> palette;  // 3 bytes an entry, 1 to 256 entries; empty for RGB
  bool alpha = false;
  PngPacking packing = {};
};

// The PNG file of `image`; fails only with kOutOfMemory, when zlib cannot compress it.
Result<std::vector<std::uint8_t>> EncodePng(const PngImage& image);

}  // namespace tarnvick
