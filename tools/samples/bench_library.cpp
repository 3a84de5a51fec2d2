#include "bench_library.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "texture_patterns.h"

namespace tarnvick::samples {
namespace {

// Smooth noise: random colours on a coarse grid, blended between grid points, with a little grain.
Pattern SmoothNoise(std::uint32_t cell, int grain, std::uint32_t seed) {
  return [=](std::uint32_t x, std::uint32_t y) {
    const std::uint32_t gx = x / cell;
    const std::uint32_t gy = y / cell;
    const int fx = static_cast<int>(x % cell);
    const int fy = static_cast<int>(y % cell);
    const int n = static_cast<int>(cell);
    Rgb c;
    for (int i = 0; i < 3; ++i) {
      const auto at = [&](std::uint32_t px, std::uint32_t py) {
        return static_cast<int>(Hash(px, py, seed + static_cast<std::uint32_t>(i)) % 256);
      };
      const int top = at(gx, gy) * (n - fx) + at(gx + 1, gy) * fx;
      const int bottom = at(gx, gy + 1) * (n - fx) + at(gx + 1, gy + 1) * fx;
      const int grains = static_cast<int>(Hash(x, y, seed + 7) % static_cast<std::uint32_t>(2 * grain + 1)) - grain;
      c[static_cast<std::size_t>(i)] = Clamp((top * (n - fy) + bottom * fy) / (n * n) + grains);
    }
    return c;
  };
}

// Noise of its own in each channel around a base colour.
Pattern ChannelNoise(Rgb base, int spread, std::uint32_t seed) {
  return [=](std::uint32_t x, std::uint32_t y) {
    Rgb c;
    for (int i = 0; i < 3; ++i) {
      const int delta = static_cast<int>(Hash(x, y, seed + static_cast<std::uint32_t>(i)) % static_cast<std::uint32_t>(2 * spread + 1)) - spread;
      c[static_cast<std::size_t>(i)] = Clamp(base[static_cast<std::size_t>(i)] + delta);
    }
    return c;
  };
}

// A gradient between two colours with grain in each channel.
Pattern GrainyGradient(Rgb from, Rgb to, std::uint32_t w, std::uint32_t h, int grain, std::uint32_t seed) {
  const Pattern gradient = Gradient(from, to, w, h);
  return [=](std::uint32_t x, std::uint32_t y) {
    Rgb c = gradient(x, y);
    for (std::size_t i = 0; i < 3; ++i) {
      c[i] = Clamp(c[i] + static_cast<int>(Hash(x, y, seed + 11 + static_cast<std::uint32_t>(i)) % static_cast<std::uint32_t>(2 * grain + 1)) - grain);
    }
    return c;
  };
}

Rgb ColourOf(std::uint32_t seed) {
  const std::uint32_t h = Hash(seed, 17, 3);
  return {static_cast<std::uint8_t>(h), static_cast<std::uint8_t>(h >> 8), static_cast<std::uint8_t>(h >> 16)};
}

Pattern PatternFor(std::uint32_t i, std::uint32_t size) {
  switch (i % 3) {
    case 0:
      return GrainyGradient(ColourOf(i), ColourOf(i + 1000), size, size, 6, i);
    case 1:
      return SmoothNoise(std::max<std::uint32_t>(size / 8, 2), 4, i);
    default:
      return ChannelNoise(ColourOf(i), 24, i);
  }
}

}  // namespace

bool WriteBenchLibrary(const std::string& root, std::size_t megabytes) {
  const std::uint64_t target = static_cast<std::uint64_t>(megabytes) * 1000 * 1000;
  std::uint64_t written = 0;
  for (std::uint32_t i = 0; written < target; ++i) {
    char folder[32];
    std::snprintf(folder, sizeof folder, "set_%03u", i / 20);
    const std::filesystem::path directory = std::filesystem::path(root) / folder;
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) return false;
    char name[32];
    std::vector<std::uint8_t> bytes;
    if (i % 9 < 7) {
      const std::uint32_t size = i % 20 < 13 ? 256 : i % 20 < 18 ? 128 : 512;
      std::snprintf(name, sizeof name, "t%04u.m32", i);
      bytes = EncodeM32(MakeM32(name, size, size, PatternFor(i, size), i));
    } else {
      const std::uint32_t size = i % 2 == 0 ? 128 : 256;
      const auto version = static_cast<std::int32_t>(i % 5);
      std::snprintf(name, sizeof name, "t%04u.m8", i);
      bytes = EncodeM8(MakeM8(name, version, size, size, ColourOf(i), ColourOf(i + 7), PatternFor(i, size)));
    }
    if (!WriteFile((directory / name).string(), bytes)) return false;
    written += bytes.size();
  }
  return true;
}

}  // namespace tarnvick::samples
