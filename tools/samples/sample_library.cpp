#include "sample_library.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <functional>

#include "texture_encoder.h"

namespace tarnvick::samples {
namespace {

using Rgb = std::array<std::uint8_t, 3>;
// The colour of level-0 pixel (x, y).
using Pattern = std::function<Rgb(std::uint32_t x, std::uint32_t y)>;

// A small deterministic hash, so that every run writes the same bytes.
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

// Level 0 from the pattern; every further level a 2 x 2 box filter of the one before.
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

// An M8 file whose palette is a ramp through the given colours and whose indices follow the
// brightness of the pattern.
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

struct Sample {
  std::string path;
  std::vector<std::uint8_t> bytes;
};

std::vector<Sample> Samples() {
  std::vector<Sample> s;
  s.push_back({"walls/brick_red.m32", EncodeM32(MakeM32("walls/brick_red", 64, 64,
                                                        Bricks({150, 60, 40}, {190, 185, 170}, 1), 0))});
  s.push_back({"walls/brick_grey.M32", EncodeM32(MakeM32("walls/brick_grey", 128, 64,
                                                         Bricks({110, 110, 115}, {60, 60, 60}, 2), 0))});
  s.push_back({"walls/old/stone.m8", EncodeM8(MakeM8("walls/old/stone", 2, 64, 64, {40, 38, 35},
                                                     {200, 195, 180}, Noise({128, 128, 128}, 60, 3)))});
  s.push_back({"walls/old/panel.m8", EncodeM8(MakeM8("walls/old/panel", 3, 32, 64, {20, 30, 60},
                                                     {150, 170, 220}, Bricks({180, 180, 180}, {40, 40, 40}, 4)))});
  s.push_back({"floors/tiles.M8", EncodeM8(MakeM8("floors/tiles", 4, 32, 32, {60, 30, 10},
                                                  {230, 200, 150}, Bricks({200, 200, 200}, {50, 50, 50}, 5)))});
  s.push_back({"floors/sand.m8", EncodeM8(MakeM8("floors/sand", 0, 32, 32, {120, 100, 60},
                                                 {240, 220, 170}, Noise({128, 128, 128}, 90, 6)))});
  s.push_back({"floors/moss.m8", EncodeM8(MakeM8("floors/moss", 1, 16, 16, {10, 40, 10},
                                                 {120, 200, 90}, Noise({100, 100, 100}, 80, 7)))});
  s.push_back({"sky/dusk.m32", EncodeM32(MakeM32("sky/dusk", 64, 32,
                                                 Gradient({20, 20, 80}, {250, 140, 60}, 64, 32), 4))});
  s.push_back({"sky/water.m32", EncodeM32(MakeM32("sky/water", 32, 32, Noise({30, 80, 140}, 20, 8), 32))});
  s.push_back({"misc/flat_green.m32", EncodeM32(MakeM32("misc/flat_green", 16, 16, Flat({40, 160, 60}), 0))});
  // Passed over by the converter: too small for four levels, cut short, and not a texture.
  s.push_back({"misc/tiny.m32", EncodeM32(MakeM32("misc/tiny", 4, 4, Flat({255, 0, 255}), 0))});
  std::vector<std::uint8_t> cut = EncodeM32(MakeM32("misc/cut", 32, 32, Noise({90, 90, 90}, 40, 9), 0));
  cut.resize(cut.size() / 2);
  s.push_back({"misc/cut.m32", cut});
  const std::string readme = "Sample textures made by tarnvick-samples.\n";
  s.push_back({"misc/readme.txt", std::vector<std::uint8_t>(readme.begin(), readme.end())});
  return s;
}

}  // namespace

std::vector<std::string> SampleLibraryFiles() {
  std::vector<std::string> paths;
  for (const Sample& sample : Samples()) paths.push_back(sample.path);
  return paths;
}

bool WriteFuzzSeeds(const std::string& directory) {
  for (const Sample& sample : Samples()) {
    std::string extension = std::filesystem::path(sample.path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension != ".m8" && extension != ".m32") continue;
    const std::filesystem::path folder = std::filesystem::path(directory) / extension.substr(1);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::string name = sample.path;
    std::replace(name.begin(), name.end(), '/', '_');
    if (error || !WriteFile((folder / name).string(), sample.bytes)) return false;
  }
  return true;
}

bool WriteSampleLibrary(const std::string& root) {
  for (const Sample& sample : Samples()) {
    const std::filesystem::path path = std::filesystem::path(root) / sample.path;
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    if (error || !WriteFile(path.string(), sample.bytes)) return false;
  }
  return true;
}

}  // namespace tarnvick::samples
