// PNG files made in memory, with zlib for the compressed pixels: 8-bit images, in RGB, RGBA or
// indexed into a palette. The same image gives the same bytes every time and on every platform built
// against the same zlib (no time stamp or other varying chunk).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "io/error.h"

namespace tarnvick {

// How an image's rows are packed: zlib's level (-1, its default, or 0 to 9), strategy and memory
// level (1 to 9: the larger, the longer its blocks), the filter of every RGB or RGBA row (0 to 4),
// or -1 for each row the one of least cost, and whether noise is stored. Indexed rows are never
// filtered.
struct PngPacking {
  int level = -1;
  int strategy = 0;
  int memory_level = 8;
  int filter = -1;
  // Rows that look like noise once filtered (few bytes near zero), taken about 64 KiB at a time,
  // are stored as they are: coding them would cost much and save little.
  bool store_noise = false;
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
  // When set, gives the rows instead of `pixels`: writes row `y`, in that layout, to `row`.
  std::function<void(std::uint32_t y, std::uint8_t* row)> rows = {};
};

// The PNG file of `image`; fails only with kOutOfMemory, when zlib cannot compress it.
Result<std::vector<std::uint8_t>> EncodePng(const PngImage& image);

}  // namespace tarnvick
