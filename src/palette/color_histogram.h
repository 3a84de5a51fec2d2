// The pixel count of every colour of a library: a flat table of 2^24 counters indexed by colour
// key, so that counting a pixel is one increment whatever the number of distinct colours. The
// counters hold the low 16 bits of each count (the rare carries are kept aside), so the table
// takes 32 MiB, taken from the system only when counting starts.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

#include "io/error.h"
#include "palette/key_table.h"

namespace tarnvick {

// Counts are 64-bit so that a colour shared by billions of pixels cannot wrap around.
using PixelCount = std::uint64_t;

class ColorHistogram {
 public:
  static constexpr std::size_t kColors = KeyTable::kKeys;

  ColorHistogram() = default;
  ColorHistogram(const ColorHistogram&) = delete;
  ColorHistogram& operator=(const ColorHistogram&) = delete;
  virtual ~ColorHistogram() = default;

  // Takes the table from the system (all counts zero); a second call does nothing. Fails with
  // kOutOfMemory. Every other operation needs it done.
  Result<void> Reserve();

  // Counts the colours of `count` pixels `stride` bytes apart (the first three bytes of each).
  void AddPixels(const std::uint8_t* first, std::size_t count, std::size_t stride);
  void Add(std::uint32_t key, PixelCount count);
  // Adds every count of `other` to this one.
  void Merge(const ColorHistogram& other);

  PixelCount Count(std::uint32_t key) const;
  // How many colours have been counted.
  std::size_t DistinctColors() const;
  // Calls `visit(key, count)` for every colour counted, in ascending key order.
  template <typename Visit>
  void ForEach(Visit&& visit) const {
    const PixelCount once = 1;
    ForEachAtLeast(once, visit);
  }
  // Calls `visit(key, count)`, in ascending key order, for every colour counted at least `least`
  // times, read as the walk goes (`visit` may raise it), and for some colours counted fewer but
  // at least once. Blocks of counters all below it are passed over 16 at a time.
  template <typename Visit>
  void ForEachAtLeast(const PixelCount& least, Visit&& visit) const {
    const std::uint16_t* low = table_.values();
    if (low == nullptr) return;
    // The keys with carries, in key order, walked beside the table.
    const std::vector<std::pair<std::uint32_t, PixelCount>> carries = SortedCarries();
    auto carry = carries.begin();
    for (std::uint32_t key = 0;;) {
      const std::uint32_t next =
          least > 0xFFFF ? kColors : NextAtLeast(key, static_cast<std::uint16_t>(std::max<PixelCount>(least, 1)));
      for (; carry != carries.end() && carry->first < next; ++carry) {
        visit(carry->first, low[carry->first] + (carry->second << 16));
      }
      if (next == kColors) return;
      PixelCount count = low[next];
      if (carry != carries.end() && carry->first == next) count += (carry++)->second << 16;
      visit(next, count);
      key = next + 1;
    }
  }

 private:
  void Increment(std::uint32_t key, PixelCount amount) {
    std::uint16_t& low = table_.values()[key];
    const PixelCount sum = low + amount;
    low = static_cast<std::uint16_t>(sum);
    if ((sum >> 16) != 0) high_[key] += sum >> 16;  // the carry is kept aside
  }

  std::vector<std::pair<std::uint32_t, PixelCount>> SortedCarries() const;
  // The first key from `key` on whose low 16 bits are at least `least` (1 or more), or kColors.
  std::uint32_t NextAtLeast(std::uint32_t key, std::uint16_t least) const;

  KeyTable table_;  // the low 16 bits of each count
  std::unordered_map<std::uint32_t, PixelCount> high_;  // the rest of each count, shifted down
};

}  // namespace tarnvick
