#include "convert/quantize_mips.h"

#include <array>
#include <cstdint>
#include <new>

namespace tarnvick {

Result<std::vector<std::uint8_t>> QuantizeMips(std::span<const std::uint8_t> source,
                                               std::uint32_t width, std::uint32_t height,
                                               int levels, int stride, const ColorMatcher& matcher,
                                               const std::uint8_t* index_colours, bool transparent) {
  std::uint64_t total = 0;
  for (int level = 0; level < levels && level < 32; ++level) {
    const std::uint64_t size = static_cast<std::uint64_t>(width >> level) * (height >> level);
    if (size > INT32_MAX) return Fail(ErrorKind::kTooFewPixels);
    total += size;
  }
  const int needed_stride = index_colours != nullptr ? 1 : 3;
  if (stride < needed_stride || total > INT32_MAX ||
      total * static_cast<std::uint64_t>(stride) > source.size()) {
    return Fail(ErrorKind::kTooFewPixels);
  }
  std::vector<std::uint8_t> indices;
  try {
    indices.resize(static_cast<std::size_t>(total));
  } catch (const std::bad_alloc&) {
    return Fail(ErrorKind::kOutOfMemory);
  }
  if (index_colours == nullptr) {
    matcher.Map(indices.data(), indices.size(), source.data(), static_cast<std::size_t>(stride));
    if (transparent && stride == 4) {
      for (std::size_t i = 0; i < indices.size(); ++i) {
        if (source[4 * i + 3] < kOpaqueAlpha) indices[i] = kTransparentIndex;
      }
    }
    return indices;
  }
  // Each of the 256 source indices is matched once; the pixels follow their index.
  std::array<std::uint8_t, 256> nearest{};
  for (std::size_t i = 0; i < nearest.size(); ++i) nearest[i] = matcher.Nearest(index_colours + 3 * i);
  for (std::size_t i = 0; i < indices.size(); ++i) {
    indices[i] = nearest[source[i * static_cast<std::size_t>(stride)]];
  }
  return indices;
}

}  // namespace tarnvick
