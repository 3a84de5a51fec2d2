#include "palette/nearest_table.h"

#include <array>
#include <atomic>
#include <new>

#include "io/system.h"
#include "palette/color_key.h"

namespace tarnvick {
namespace {

constexpr std::size_t kKeys = std::size_t{1} << 24, kLine = 64;

// A pixel's 64 keys are filled and its entry fetched this many pixels early, since a library's
// colours scatter over the table.
constexpr std::size_t kAhead = 24;

}  // namespace

Result<NearestTable> NearestTable::Empty(const ColorMatcher& matcher) {
  std::unique_ptr<std::uint64_t[]> filled(new (std::nothrow) std::uint64_t[kKeys / kLine / 64]());
  void* entries = filled ? MapZeroedMemory(kKeys, MemoryUse::kReadAtRandom) : nullptr;
  if (entries == nullptr) return Fail(ErrorKind::kOutOfMemory);
  return NearestTable(static_cast<std::uint8_t*>(entries), std::move(filled), matcher);
}

NearestTable::NearestTable(NearestTable&& other) noexcept
    : entries_(other.entries_), filled_(std::move(other.filled_)), matcher_(other.matcher_) {
  other.entries_ = nullptr;
}

NearestTable::~NearestTable() {
  if (entries_ != nullptr) UnmapZeroedMemory(entries_, kKeys);
}

inline void NearestTable::Ready(std::uint32_t key) const {
  const std::uint32_t line = key / kLine;
  if ((std::atomic_ref<std::uint64_t>(filled_[line / 64]).load(std::memory_order_acquire) >> (line % 64) & 1) == 0) {
    Fill(key);
  }
}

void NearestTable::Fill(std::uint32_t key) const {
  const std::uint32_t line = key / kLine;
  const std::uint8_t rgb[3] = {static_cast<std::uint8_t>(key & 0xC0), static_cast<std::uint8_t>(key >> 8),
                               static_cast<std::uint8_t>(key >> 16)};
  std::array<std::uint8_t, kLine> found;
  matcher_->MapReds(found.data(), rgb, kLine);
  std::uint8_t* entries = entries_ + (key & ~std::uint32_t{kLine - 1});
  for (std::size_t i = 0; i < kLine; ++i) {
    std::atomic_ref<std::uint8_t>(entries[i]).store(found[i], std::memory_order_relaxed);
  }
  std::atomic_ref<std::uint64_t>(filled_[line / 64]).fetch_or(std::uint64_t{1} << (line % 64), std::memory_order_release);
}

template <typename KeyOf>
void NearestTable::LookUp(std::uint8_t* out, std::size_t count, KeyOf key_of) const {
  for (std::size_t i = 0; i < std::min(count, kAhead); ++i) Ready(key_of(i));
  for (std::size_t i = 0; i < count; ++i) {
    if (i + kAhead < count) {
      const std::uint32_t ahead = key_of(i + kAhead);
      Ready(ahead);
      __builtin_prefetch(entries_ + ahead);
    }
    out[i] = std::atomic_ref<std::uint8_t>(entries_[key_of(i)]).load(std::memory_order_relaxed);
  }
}

void NearestTable::Map(std::uint8_t* out, std::size_t count, const std::uint8_t* first, std::size_t stride) const {
  if (stride == 4) {
    LookUp(out, count, [first](std::size_t i) { return ColorKeyOfPixel(first + 4 * i); });
  } else {
    LookUp(out, count, [first, stride](std::size_t i) { return ColorKey(first + i * stride); });
  }
}

}  // namespace tarnvick
