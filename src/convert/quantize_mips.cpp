#include "convert/quantize_mips.h"

#include <cstdint>

namespace tarnvick {

Result<std::vector<std::uint8_t>> QuantizeMips(std::span<const std::uint8_t> source,
                                               std::uint32_t width, std::uint32_t height,
                                               int levels, int stride, ColorMatcher& matcher) {
  std::uint64_t total = 0;
  for (int level = 0; level < levels && level < 32; ++level) {
    const std::uint64_t size = static_cast<std::uint64_t>(width >> level) * (height >> level);
    if (size > INT32_MAX) return Fail(ErrorKind::kTooFewPixels);
    total += size;
  }
  if (stride < 3 || total > INT32_MAX ||
      total * static_cast<std::uint64_t>(stride) > source.size()) {
    return Fail(ErrorKind::kTooFewPixels);
  }
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(total));
  matcher.Map(indices.data(), indices.size(), source.data(), static_cast<std::size_t>(stride));
  return indices;
}

}  // namespace tarnvick
