#include "texture_encoder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace tarnvick::samples {
namespace {

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutText(std::vector<std::uint8_t>& out, const std::string& text, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    out.push_back(i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0);
  }
}

void PutFiller(std::vector<std::uint8_t>& out, std::uint8_t filler, std::size_t size) {
  out.insert(out.end(), size, filler);
}

void PutTable(std::vector<std::uint8_t>& out, const std::vector<std::uint32_t>& table, int n) {
  for (int i = 0; i < n; ++i) {
    PutU32(out, static_cast<std::size_t>(i) < table.size() ? table[static_cast<std::size_t>(i)] : 0);
  }
}

}  // namespace

int M8Levels(std::int32_t version) { return version > 1 ? 16 : 8; }

std::vector<std::uint8_t> EncodeM32(const M32File& file) {
  std::vector<std::uint8_t> out;
  PutU32(out, file.version);                // 0
  PutText(out, file.name, 128);             // 4
  PutFiller(out, file.filler, 128);         // 132
  PutText(out, file.animation_name, 128);   // 260
  PutFiller(out, file.filler, 128);         // 388
  for (std::uint32_t w : file.width) PutU32(out, w);    // 516
  for (std::uint32_t h : file.height) PutU32(out, h);   // 580
  for (std::uint32_t o : file.offset) PutU32(out, o);   // 644
  PutU32(out, file.flags);                  // 708
  PutU32(out, file.contents);               // 712
  PutU32(out, file.value);                  // 716
  PutFiller(out, file.filler, 12 + 128 + 32 + 76);  // 720 to 968
  out.insert(out.end(), file.pixels.begin(), file.pixels.end());
  return out;
}

std::vector<std::uint8_t> EncodeM8(const M8File& file) {
  const int n = M8Levels(file.version);
  std::vector<std::uint8_t> out;
  PutU32(out, static_cast<std::uint32_t>(file.version));
  PutText(out, file.name, 32);
  if (file.version == 4) PutFiller(out, file.filler, 480);
  PutTable(out, file.width, n);
  PutTable(out, file.height, n);
  PutTable(out, file.offset, n);
  PutText(out, file.animation_name, 32);
  if (file.version == 4) PutFiller(out, file.filler, 228);
  out.insert(out.end(), file.palette.begin(), file.palette.end());
  PutU32(out, file.flags);
  PutU32(out, file.contents);
  PutU32(out, file.value);
  out.insert(out.end(), file.indices.begin(), file.indices.end());
  return out;
}

std::uint64_t FullMipChain(std::uint32_t w, std::uint32_t h, std::uint32_t* width,
                           std::uint32_t* height, int levels) {
  std::uint64_t total = 0;
  bool done = w == 0 || h == 0;
  for (int i = 0; i < levels; ++i) {
    width[i] = done ? 0 : w;
    height[i] = done ? 0 : h;
    total += static_cast<std::uint64_t>(width[i]) * height[i];
    if (w <= 1 && h <= 1) done = true;
    w = std::max<std::uint32_t>(w / 2, 1);
    h = std::max<std::uint32_t>(h / 2, 1);
  }
  return total;
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream stream(path, std::ios::binary | std::ios::trunc);
  stream.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(stream);
}

bool WriteSampleFiles(const std::string& root, const std::vector<SampleFile>& files) {
  for (const SampleFile& file : files) {
    const std::filesystem::path path = std::filesystem::path(root) / file.path;
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    if (error || !WriteFile(path.string(), file.bytes)) return false;
  }
  return true;
}

std::vector<std::string> PathsOf(const std::vector<SampleFile>& files) {
  std::vector<std::string> paths;
  for (const SampleFile& file : files) paths.push_back(file.path);
  return paths;
}

}  // namespace tarnvick::samples
