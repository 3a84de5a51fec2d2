#include "palette/count_colors.h"

#include <algorithm>
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

}  // namespace

Result<void> CountColors(const Texture& texture, ColorHistogram& histogram) {
  const std::int32_t step = texture.bits_per_pixel / 8;
  if (step < 3) return {};
  const auto extent = static_cast<std::size_t>(texture.byte_extent > 0 ? texture.byte_extent : 0);
  const std::size_t end = extent < texture.pixels.size() ? extent : texture.pixels.size();
  // The keys are sorted first, so that the histogram is searched once per distinct colour of
  // the texture rather than once per pixel; the counts come out the same.
  std::vector<std::uint32_t> keys;
  keys.reserve(end / static_cast<std::size_t>(step) + 1);
  for (std::size_t offset = 0; offset + 3 <= end; offset += static_cast<std::size_t>(step)) {
    keys.push_back(ColorKey(texture.pixels.data() + offset));
  }
  SortKeys(keys);
  for (std::size_t i = 0; i < keys.size();) {
    std::size_t j = i + 1;
    while (j < keys.size() && keys[j] == keys[i]) ++j;
    ColorHistogram::Node* node = histogram.Find(keys[i]);
    if (node == nullptr) {
      node = histogram.Insert(keys[i], 0);
      if (node == nullptr) return Fail(ErrorKind::kOutOfMemory);
    }
    node->value += j - i;
    i = j;
  }
  return {};
}

}  // namespace tarnvick
