#include "palette/color_histogram.h"

#include <algorithm>
#include <cstring>

#include "io/system.h"
#include "palette/color_key.h"

namespace tarnvick {
ColorHistogram::~ColorHistogram() {
  if (mapping_ != nullptr) UnmapZeroedMemory(mapping_, mapping_size_);
}

Result<void> ColorHistogram::Reserve() {
  if (low_ != nullptr) return {};
  const std::size_t bytes = kColors * sizeof(std::uint16_t);
  // Zeroed pages straight from the system, all ready for writing. (Huge pages were measured too:
  // on the machines this was tuned on, the kernel takes six times longer to clear them than
  // ordinary pages.)
  mapping_size_ = bytes;
  void* mapping = MapZeroedMemory(mapping_size_);
  if (mapping == nullptr) return Fail(ErrorKind::kOutOfMemory);
  mapping_ = mapping;
  low_ = static_cast<std::uint16_t*>(mapping);
  return {};
}

namespace {

// Runs of one colour, as `key_of` reads the pixels, each handed to `add` at once.
template <typename KeyOf, typename Add>
void CountRuns(std::size_t count, KeyOf key_of, Add add) {
  std::uint32_t run_key = key_of(0);
  PixelCount run = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t key = key_of(i);
    if (key != run_key) {
      add(run_key, run);
      run_key = key;
      run = 0;
    }
    ++run;
  }
  add(run_key, run);
}

}  // namespace

void ColorHistogram::AddPixels(const std::uint8_t* first, std::size_t count, std::size_t stride) {
  if (count == 0) return;
  const auto add = [this](std::uint32_t key, PixelCount run) { Increment(key, run); };
  if (stride == 4) {
    // Four-byte pixels: each read whole, its fourth byte dropped.
    CountRuns(count, [first](std::size_t i) {
      std::uint32_t word;
      std::memcpy(&word, first + 4 * i, 4);
      return ColorKeyOfWord(word);
    }, add);
  } else {
    CountRuns(count, [first, stride](std::size_t i) { return ColorKey(first + i * stride); }, add);
  }
}

void ColorHistogram::Add(std::uint32_t key, PixelCount count) { Increment(key, count); }

void ColorHistogram::Merge(const ColorHistogram& other) {
  if (other.low_ == nullptr) return;
  for (std::size_t key = 0; key < kColors; ++key) {
    if (other.low_[key] != 0) Increment(static_cast<std::uint32_t>(key), other.low_[key]);
  }
  for (const auto& [key, high] : other.high_) Increment(key, high << 16);
}

std::vector<std::pair<std::uint32_t, PixelCount>> ColorHistogram::SortedCarries() const {
  std::vector<std::pair<std::uint32_t, PixelCount>> carries(high_.begin(), high_.end());
  std::sort(carries.begin(), carries.end());
  return carries;
}

std::size_t ColorHistogram::DistinctColors() const {
  if (low_ == nullptr) return 0;
  std::size_t distinct = 0;
  for (std::size_t key = 0; key < kColors; ++key) distinct += low_[key] != 0 ? 1 : 0;
  // A count whose low 16 bits are zero is carried whole.
  for (const auto& [key, high] : high_) distinct += low_[key] == 0 ? 1 : 0;
  return distinct;
}

PixelCount ColorHistogram::Count(std::uint32_t key) const {
  if (low_ == nullptr) return 0;
  PixelCount count = low_[key];
  if (!high_.empty()) {
    const auto found = high_.find(key);
    if (found != high_.end()) count += found->second << 16;
  }
  return count;
}

}  // namespace tarnvick
