#include "sample_library.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <functional>

#include "pak_encoder.h"
#include "texture_patterns.h"
#include "texture_encoder.h"

namespace tarnvick::samples {
namespace {

std::vector<SampleFile> Samples() {
  std::vector<SampleFile> s;
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

std::vector<std::string> SampleLibraryFiles() { return PathsOf(Samples()); }

bool WriteFuzzSeeds(const std::string& directory) {
  for (const SampleFile& sample : Samples()) {
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

bool WriteSampleArchive(const std::string& directory) {
  std::vector<PakFileEntry> entries;
  for (const SampleFile& sample : Samples()) entries.push_back({"textures/" + sample.path, sample.bytes});
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  return !error && WriteFile((std::filesystem::path(directory) / "pak0.pak").string(), EncodePak(entries));
}

bool WriteSampleLibrary(const std::string& root) { return WriteSampleFiles(root, Samples()); }

}  // namespace tarnvick::samples
