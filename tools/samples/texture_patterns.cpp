#include "texture_patterns.h"

#include <algorithm>

namespace tarnvick::samples {

std::uint32_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
  std::uint32_t h = x * 374761393u + y * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return h ^ (h >> 16);
}

std::uint8_t Clamp(int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

Rgb Shade(const Rgb& c, int delta) {
  return {Clamp(c[0] + delta), Clamp(c[1] + delta), Clamp(c[2] + delta)};
}

Pattern Bricks(Rgb brick, Rgb mortar, std::uint32_t seed) {
  return [=](std::uint32_t x, std::uint32_t y) {
    const std::uint32_t row = y / 8;
    const std::uint32_t shifted = x + (row % 2) * 8;
    if (y % 8 == 7 || shifted % 16 == 15) return Shade(mortar, static_cast<int>(Hash(x, y, seed) % 9) - 4);
    const int per_brick = static_cast<int>(Hash(shifted / 16, row, seed) % 31) - 15;
    return Shade(brick, per_brick + static_cast<int>(Hash(x, y, seed + 1) % 13) - 6);
  };
}

Pattern Gradient(Rgb from, Rgb to, std::uint32_t w, std::uint32_t h) {
  return [=](std::uint32_t x, std::uint32_t y) {
    const std::uint32_t t = (x * 255 / std::max<std::uint32_t>(w - 1, 1) +
                             y * 255 / std::max<std::uint32_t>(h - 1, 1)) / 2;
    Rgb c;
    for (int i = 0; i < 3; ++i) c[i] = Clamp((from[i] * (255 - static_cast<int>(t)) + to[i] * static_cast<int>(t)) / 255);
    return c;
  };
}

Pattern Noise(Rgb base, int spread, std::uint32_t seed) {
  return [=](std::uint32_t x, std::uint32_t y) {
    return Shade(base, static_cast<int>(Hash(x, y, seed) % static_cast<std::uint32_t>(2 * spread + 1)) - spread);
  };
}

Pattern Flat(Rgb colour) {
  return [=](std::uint32_t, std::uint32_t) { return colour; };
}

std::vector<Rgb> MipChain(const Pattern& pattern, const std::uint32_t* width,
                          const std::uint32_t* height, int levels) {
  std::vector<Rgb> all;
  std::vector<Rgb> previous;
  for (int l = 0; l < levels && width[l] != 0 && height[l] != 0; ++l) {
    std::vector<Rgb> level(static_cast<std::size_t>(width[l]) * height[l]);
    for (std::uint32_t y = 0; y < height[l]; ++y) {
      for (std::uint32_t x = 0; x < width[l]; ++x) {
        Rgb& out = level[y * width[l] + x];
        if (l == 0) {
          out = pattern(x, y);
          continue;
        }
        const std::uint32_t pw = width[l - 1];
        const std::uint32_t ph = height[l - 1];
        for (int c = 0; c < 3; ++c) {
          int sum = 0;
          for (std::uint32_t dy = 0; dy < 2; ++dy) {
            for (std::uint32_t dx = 0; dx < 2; ++dx) {
              const std::uint32_t sx = std::min(2 * x + dx, pw - 1);
              const std::uint32_t sy = std::min(2 * y + dy, ph - 1);
              sum += previous[sy * pw + sx][c];
            }
          }
          out[c] = static_cast<std::uint8_t>(sum / 4);
        }
      }
    }
    all.insert(all.end(), level.begin(), level.end());
    previous = std::move(level);
  }
  return all;
}

M32File MakeM32(const std::string& name, std::uint32_t w, std::uint32_t h, const Pattern& pattern,
                std::uint32_t flags) {
  M32File file;
  file.version = 4;
  file.name = name;
  file.animation_name = "";
  file.flags = flags;
  file.contents = 1;
  file.value = 0;
  FullMipChain(w, h, file.width.data(), file.height.data(), 16);
  std::uint32_t offset = 968;
  for (int l = 0; l < 16; ++l) {
    file.offset[l] = offset;
    offset += 4 * file.width[l] * file.height[l];
  }
  for (const Rgb& c : MipChain(pattern, file.width.data(), file.height.data(), 16)) {
    file.pixels.insert(file.pixels.end(), {c[0], c[1], c[2], 255});
  }
  return file;
}

M8File MakeM8(const std::string& name, std::int32_t version, std::uint32_t w, std::uint32_t h,
              Rgb dark, Rgb light, const Pattern& brightness) {
  M8File file;
  file.version = version;
  file.name = name;
  file.animation_name = "";
  file.flags = 0;
  file.contents = 1;
  const int n = M8Levels(version);
  file.width.assign(static_cast<std::size_t>(n), 0);
  file.height.assign(static_cast<std::size_t>(n), 0);
  file.offset.assign(static_cast<std::size_t>(n), 0);
  FullMipChain(w, h, file.width.data(), file.height.data(), n);
  for (int i = 0; i < 256; ++i) {
    for (int c = 0; c < 3; ++c) {
      file.palette[static_cast<std::size_t>(3 * i + c)] =
          static_cast<std::uint8_t>((dark[c] * (255 - i) + light[c] * i) / 255);
    }
  }
  for (const Rgb& c : MipChain(brightness, file.width.data(), file.height.data(), n)) {
    file.indices.push_back(static_cast<std::uint8_t>((c[0] + c[1] + c[2]) / 3));
  }
  return file;
}

}  // namespace tarnvick::samples
