#include "palette/count_colors.h"

#include <algorithm>
#include <array>
#include <new>
#include <span>
#include <vector>

#include "palette/color_key.h"

namespace tarnvick {
namespace {

// Sorts 24-bit colour keys in two passes of 12 bits (least significant first).
void SortKeys(std::vector<std::uint32_t>& keys) {
  constexpr std::size_t kBuckets = 1 << 12;
  std::vector<std::uint32_t> scratch(keys.size());
  std::vector<std::uint32_t> start(kBuckets);
  for (const int shift : {0, 12}) {
    std::fill(start.begin(), start.end(), 0);
    for (const std::uint32_t key : keys) ++start[(key >> shift) & (kBuckets - 1)];
    std::uint32_t sum = 0;
    for (std::uint32_t& bucket : start) {
      const std::uint32_t count = bucket;
      bucket = sum;
      sum += count;
    }
    for (const std::uint32_t key : keys) scratch[start[(key >> shift) & (kBuckets - 1)]++] = key;
    keys.swap(scratch);
  }
}

Result<void> AddCount(ColorHistogram& histogram, std::uint32_t key, PixelCount count) {
  ColorHistogram::Node* node = histogram.Find(key);
  if (node == nullptr) {
    node = histogram.Insert(key, 0);
    if (node == nullptr) return Fail(ErrorKind::kOutOfMemory);
  }
  node->value += count;
  return {};
}

// Indices: counted per index, then each index's count goes to its colour.
Result<void> CountIndices(std::span<const std::uint8_t> indices, const std::uint8_t* colours,
                          ColorHistogram& histogram) {
  std::array<PixelCount, 256> counts{};
  for (const std::uint8_t index : indices) ++counts[index];
  for (std::size_t index = 0; index < counts.size(); ++index) {
    if (counts[index] == 0) continue;
    if (Result<void> added = AddCount(histogram, ColorKey(colours + 3 * index), counts[index]); !added) {
      return added;
    }
  }
  return {};
}

// Colours: sorted a slice at a time, so that the histogram is searched once per distinct colour
// of a slice rather than once per pixel, with scratch memory that does not grow with the
// texture; the counts come out the same.
Result<void> CountPixels(std::span<const std::uint8_t> bytes, std::size_t step, ColorHistogram& histogram) {
  constexpr std::size_t kSlice = std::size_t{1} << 20;
  std::vector<std::uint32_t> keys;
  keys.reserve(std::min(kSlice, bytes.size() / step + 1));
  for (std::size_t offset = 0; offset + 3 <= bytes.size();) {
    keys.clear();
    for (; offset + 3 <= bytes.size() && keys.size() < kSlice; offset += step) {
      keys.push_back(ColorKey(bytes.data() + offset));
    }
    SortKeys(keys);
    for (std::size_t i = 0; i < keys.size();) {
      std::size_t j = i + 1;
      while (j < keys.size() && keys[j] == keys[i]) ++j;
      if (Result<void> added = AddCount(histogram, keys[i], j - i); !added) return added;
      i = j;
    }
  }
  return {};
}

}  // namespace

Result<void> CountColors(const Texture& texture, ColorHistogram& histogram) {
  const auto extent = static_cast<std::size_t>(texture.byte_extent > 0 ? texture.byte_extent : 0);
  const std::span<const std::uint8_t> counted(texture.pixels.data(),
                                              std::min(extent, texture.pixels.size()));
  try {
    if (texture.IndexColours() != nullptr) {
      return CountIndices(counted, texture.IndexColours(), histogram);
    }
    const std::size_t step = texture.bits_per_pixel / 8;
    if (step < 3) return {};
    return CountPixels(counted, step, histogram);
  } catch (const std::bad_alloc&) {
    return Fail(ErrorKind::kOutOfMemory);
  }
}

}  // namespace tarnvick
