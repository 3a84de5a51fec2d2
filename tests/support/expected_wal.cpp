#include "support/expected_wal.h"

#include "support/little_endian.h"

namespace tarnvick::testing {

std::vector<std::uint8_t> ExpectedWal(const WalContent& content, const std::vector<std::uint8_t>& palette) {
  std::vector<std::uint8_t> out(100, 0);
  for (std::size_t i = 0; i < content.name.size() && i < 32; ++i) out[i] = static_cast<std::uint8_t>(content.name[i]);
  Put32(out, 32, content.width);
  Put32(out, 36, content.height);
  std::uint32_t offset = 100;
  std::size_t pixel = 0;
  for (std::uint32_t level = 0; level < 4; ++level) {
    Put32(out, 40 + 4 * level, offset);
    const std::uint32_t size = (content.width >> level) * (content.height >> level);
    offset += size;
  }
  for (std::size_t i = 0; i < content.animation_name.size() && i < 32; ++i) {
    out[56 + i] = static_cast<std::uint8_t>(content.animation_name[i]);
  }
  Put32(out, 88, content.flags);
  Put32(out, 92, content.contents);
  Put32(out, 96, content.value);
  for (; pixel < offset - 100; ++pixel) out.push_back(BruteForceNearest(palette, content.pixels.at(pixel)));
  return out;
}

std::vector<Rgb> PixelsOf32(const std::vector<std::uint8_t>& data) {
  std::vector<Rgb> pixels;
  for (std::size_t i = 0; i + 4 <= data.size(); i += 4) pixels.push_back({data[i], data[i + 1], data[i + 2]});
  return pixels;
}

std::vector<Rgb> PixelsOfIndices(const std::vector<std::uint8_t>& indices, const std::vector<std::uint8_t>& palette) {
  std::vector<Rgb> pixels;
  for (const std::uint8_t k : indices) pixels.push_back({palette[3u * k], palette[3u * k + 1], palette[3u * k + 2]});
  return pixels;
}

}  // namespace tarnvick::testing
