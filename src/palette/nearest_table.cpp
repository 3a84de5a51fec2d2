#include "palette/nearest_table.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include "palette/color_key.h"

namespace tarnvick {
namespace {

constexpr std::uint16_t kKnown = 0x100;

// Maps `count` pixels, `stride` bytes apart, whose keys `key_of` reads, through `values`, a chunk
// at a time: each pixel looked up (its value fetched kAhead pixels early, since a library's
// colours scatter over the table), then the chunk's colours not yet known searched together, in
// the matcher's order for scattered colours (their cells fetched early too), and stored.
constexpr std::size_t kAhead = 24, kChunk = 2048;
template <typename KeyOf>
void LookUp(std::uint16_t* values, const ColorMatcher& matcher, std::uint8_t* out, std::size_t count,
            const std::uint8_t* first, std::size_t stride, KeyOf key_of) {
  std::array<std::uint32_t, kChunk> missed;
  std::array<std::uint8_t, 4 * kChunk> colours;
  std::array<std::uint8_t, kChunk> found;
  for (std::size_t start = 0; start < count; start += kChunk) {
    const std::size_t end = std::min(count, start + kChunk);
    std::size_t misses = 0;
    for (std::size_t i = start; i < end; ++i) {
      if (i + kAhead < count) __builtin_prefetch(values + key_of(i + kAhead));
      const std::uint16_t known = std::atomic_ref<std::uint16_t>(values[key_of(i)]).load(std::memory_order_relaxed);
      out[i] = static_cast<std::uint8_t>(known);
      missed[misses] = static_cast<std::uint32_t>(i - start);
      misses += known == 0 ? 1 : 0;
    }
    if (misses == 0) continue;
    for (std::size_t k = 0; k < misses; ++k) std::memcpy(&colours[4 * k], first + (start + missed[k]) * stride, 3);
    matcher.Map(found.data(), misses, colours.data(), 4, ColorMatcher::Order::kScattered);
    for (std::size_t k = 0; k < misses; ++k) {
      const std::size_t i = start + missed[k];
      out[i] = found[k];
      std::atomic_ref<std::uint16_t>(values[key_of(i)]).store(static_cast<std::uint16_t>(kKnown | found[k]),
                                                             std::memory_order_relaxed);
    }
  }
}

}  // namespace

Result<NearestTable> NearestTable::Empty(const ColorMatcher& matcher) {
  Result<KeyTable> table = KeyTable::Zeroed();
  if (!table) return Failure{table.error()};
  return NearestTable(std::move(*table), matcher);
}

NearestTable NearestTable::OfCounted(KeyTable counted, const ColorMatcher& matcher, int threads) {
  NearestTable table(std::move(counted), matcher);
  // Equal ranges of keys, one a thread; a range whose thread the system refuses is done here.
  const std::uint32_t parts = static_cast<std::uint32_t>(std::max(1, threads));
  const auto range = [parts](std::uint32_t part) {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(KeyTable::kKeys) * part / parts);
  };
  std::vector<std::thread> helpers;
  std::uint32_t part = 1;
  for (; part < parts; ++part) {
    try {
      helpers.emplace_back([&table, begin = range(part), end = range(part + 1)] { table.FindCounted(begin, end); });
    } catch (const std::system_error&) {
      break;
    }
  }
  table.FindCounted(range(0), range(1));
  table.FindCounted(range(part), range(parts));
  for (std::thread& helper : helpers) helper.join();
  return table;
}

void NearestTable::FindCounted(std::uint32_t begin, std::uint32_t end) {
  // The colours are searched a batch at a time, in key order, so that one cell's colours follow
  // each other as a picture's pixels do.
  constexpr std::size_t kBatch = 4096;
  std::array<std::uint32_t, kBatch> keys;
  std::array<std::uint8_t, 4 * kBatch> colours;
  std::array<std::uint8_t, kBatch> nearest;
  std::uint16_t* values = table_.values();
  std::size_t held = 0;
  const auto search = [&] {
    matcher_->Map(nearest.data(), held, colours.data(), 4);
    for (std::size_t i = 0; i < held; ++i) values[keys[i]] = static_cast<std::uint16_t>(kKnown | nearest[i]);
    held = 0;
  };
  for (std::uint32_t key = begin; key < end; ++key) {
    if (values[key] == 0) continue;
    keys[held] = key;
    colours[4 * held] = static_cast<std::uint8_t>(key);
    colours[4 * held + 1] = static_cast<std::uint8_t>(key >> 8);
    colours[4 * held + 2] = static_cast<std::uint8_t>(key >> 16);
    if (++held == kBatch) search();
  }
  if (held != 0) search();
}

void NearestTable::Map(std::uint8_t* out, std::size_t count, const std::uint8_t* first, std::size_t stride) const {
  if (stride == 4) {
    LookUp(table_.values(), *matcher_, out, count, first, stride,
           [first](std::size_t i) { return ColorKeyOfPixel(first + 4 * i); });
  } else {
    LookUp(table_.values(), *matcher_, out, count, first, stride,
           [first, stride](std::size_t i) { return ColorKey(first + i * stride); });
  }
}

}  // namespace tarnvick
