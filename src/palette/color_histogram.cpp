#include "palette/color_histogram.h"

#include <algorithm>

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
  for (std::size_t key = 0; key < kColors; ++key) {
    if (other_low[key] != 0) Increment(static_cast<std::uint32_t>(key), other_low[key]);
  }
  for (const auto& [key, high] : other.high_) Increment(key, high << 16);
}

std::vector<std::pair<std::uint32_t, PixelCount>> ColorHistogram::SortedCarries() const {
  std::vector<std::pair<std::uint32_t, PixelCount>> carries(high_.begin(), high_.end());
  std::sort(carries.begin(), carries.end());
  return carries;
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
