#include "palette/color_histogram.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "palette/color_key.h"

namespace tarnvick {
Result<void> ColorHistogram::Reserve() {
  if (table_.values() != nullptr) return {};
  Result<KeyTable> table = KeyTable::Zeroed();
  if (!table) return Failure{table.error()};
  table_ = std::move(*table);
  return {};
}

namespace {

// Sixteen counters, as one vector.
constexpr std::size_t kLanes = 16;
using Lanes = std::uint16_t __attribute__((vector_size(2 * kLanes)));
// Whether any lane of a comparison's result is true.
template <typename Mask>
bool Any(const Mask& mask) {
  std::array<std::uint64_t, sizeof(Mask) / 8> words;
  std::memcpy(words.data(), &mask, sizeof mask);
  return (words[0] | words[1] | words[2] | words[3]) != 0;
}

// Runs of one colour, as `key_of` reads the pixels, each handed to `add` at once. The counter of
// the pixel kAhead on is fetched early: a library's colours scatter over the table, and a
// counter's increment waits for it.
constexpr std::size_t kAhead = 16;
template <typename KeyOf, typename Add>
void CountRuns(std::size_t count, const std::uint16_t* counters, KeyOf key_of, Add add) {
  std::uint32_t run_key = key_of(0);
  PixelCount run = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (i + kAhead < count) __builtin_prefetch(counters + key_of(i + kAhead), 1);
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
    CountRuns(count, table_.values(), [first](std::size_t i) { return ColorKeyOfPixel(first + 4 * i); }, add);
  } else {
    CountRuns(count, table_.values(), [first, stride](std::size_t i) { return ColorKey(first + i * stride); }, add);
  }
}

void ColorHistogram::Add(std::uint32_t key, PixelCount count) { Increment(key, count); }

void ColorHistogram::Merge(const ColorHistogram& other) {
  const std::uint16_t* other_low = other.table_.values();
  if (other_low == nullptr) return;
  // Sixteen counters at a time, added with wrap-around; where one wrapped, its carry is kept aside.
  std::uint16_t* low = table_.values();
  for (std::size_t key = 0; key < kColors; key += kLanes) {
    Lanes mine, theirs;
    std::memcpy(&mine, low + key, sizeof mine);
    std::memcpy(&theirs, other_low + key, sizeof theirs);
    const Lanes sum = mine + theirs;
    std::memcpy(low + key, &sum, sizeof sum);
    if (Any(sum < theirs)) {
      for (std::size_t k = key; k < key + kLanes; ++k) {
        if (low[k] < other_low[k]) ++high_[static_cast<std::uint32_t>(k)];
      }
    }
  }
  for (const auto& [key, high] : other.high_) Increment(key, high << 16);
}

std::vector<std::pair<std::uint32_t, PixelCount>> ColorHistogram::SortedCarries() const {
  std::vector<std::pair<std::uint32_t, PixelCount>> carries(high_.begin(), high_.end());
  std::sort(carries.begin(), carries.end());
  return carries;
}

std::uint32_t ColorHistogram::NextAtLeast(std::uint32_t key, std::uint16_t least) const {
  const std::uint16_t* low = table_.values();
  for (; key < kColors && key % kLanes != 0; ++key) {
    if (low[key] >= least) return key;
  }
  for (; key < kColors; key += kLanes) {
    Lanes counts;
    std::memcpy(&counts, low + key, sizeof counts);
    if (!Any(counts >= least)) continue;
    for (std::uint32_t k = key;; ++k) {
      if (low[k] >= least) return k;
    }
  }
  return kColors;
}

std::size_t ColorHistogram::DistinctColors() const {
  const std::uint16_t* low = table_.values();
  if (low == nullptr) return 0;
  std::size_t distinct = 0;
  for (std::size_t key = 0; key < kColors; ++key) distinct += low[key] != 0 ? 1 : 0;
  // A count whose low 16 bits are zero is carried whole.
  for (const auto& [key, high] : high_) distinct += low[key] == 0 ? 1 : 0;
  return distinct;
}

PixelCount ColorHistogram::Count(std::uint32_t key) const {
  const std::uint16_t* low = table_.values();
  if (low == nullptr) return 0;
  PixelCount count = low[key];
  if (!high_.empty()) {
    const auto found = high_.find(key);
    if (found != high_.end()) count += found->second << 16;
  }
  return count;
}

}  // namespace tarnvick
