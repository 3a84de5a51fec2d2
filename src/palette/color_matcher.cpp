#include "palette/color_matcher.h"

#include <sys/mman.h>

#include <algorithm>
#include <new>

namespace tarnvick {
namespace {

constexpr std::size_t kColors = std::size_t{1} << 24;
constexpr int kCellShift = 3;  // cells of 8 values a channel
constexpr int kCellsPerChannel = 256 >> kCellShift;
constexpr std::size_t kCells = std::size_t{kCellsPerChannel} * kCellsPerChannel * kCellsPerChannel;

// The squared distance from `value` to the nearest and to the farthest point of [low, high].
std::int32_t Nearer(std::int32_t value, std::int32_t low, std::int32_t high) {
  const std::int32_t d = value < low ? low - value : value > high ? value - high : 0;
  return d * d;
}
std::int32_t Farther(std::int32_t value, std::int32_t low, std::int32_t high) {
  const std::int32_t d = std::max(value - low, high - value);
  return d * d;
}

}  // namespace

ColorMatcher::ColorMatcher(const Palette& palette) : cells_(new std::atomic<const Cell*>[kCells]) {
  for (std::size_t i = 0; i < kPaletteEntries; ++i) {
    red_[i] = palette[3 * i];
    green_[i] = palette[3 * i + 1];
    blue_[i] = palette[3 * i + 2];
  }
  for (std::size_t i = 0; i < kCells; ++i) cells_[i].store(nullptr, std::memory_order_relaxed);
  // Zeroed pages, taken from the system only where colours are met.
  known_bytes_ = kColors * sizeof(std::uint16_t);
  void* mapping = ::mmap(nullptr, known_bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (mapping == MAP_FAILED) throw std::bad_alloc();
  known_ = static_cast<std::uint16_t*>(mapping);
}

ColorMatcher::~ColorMatcher() {
  ::munmap(known_, known_bytes_);
  for (std::size_t i = 0; i < kCells; ++i) delete cells_[i].load(std::memory_order_relaxed);
}

const ColorMatcher::Cell& ColorMatcher::CellFor(int r, int g, int b) {
  const std::size_t number = (static_cast<std::size_t>(b >> kCellShift) * kCellsPerChannel +
                              static_cast<std::size_t>(g >> kCellShift)) * kCellsPerChannel +
                             static_cast<std::size_t>(r >> kCellShift);
  if (const Cell* cell = cells_[number].load(std::memory_order_acquire); cell != nullptr) return *cell;
  // Every colour of the cell has an entry within `bound` (the least distance to the cell's
  // farthest corner over all entries), so only entries that come that near the cell can be
  // nearest to one of its colours, or tie with it.
  const std::int32_t low[3] = {r & ~7, g & ~7, b & ~7};
  std::array<std::int32_t, kPaletteEntries> nearest{};
  std::int32_t bound = INT32_MAX;
  for (std::size_t i = 0; i < kPaletteEntries; ++i) {
    nearest[i] = Nearer(red_[i], low[0], low[0] + 7) + Nearer(green_[i], low[1], low[1] + 7) +
                 Nearer(blue_[i], low[2], low[2] + 7);
    const std::int32_t farthest = Farther(red_[i], low[0], low[0] + 7) + Farther(green_[i], low[1], low[1] + 7) +
                                  Farther(blue_[i], low[2], low[2] + 7);
    bound = std::min(bound, farthest);
  }
  auto fresh = std::make_unique<Cell>();
  for (std::size_t i = 0; i < kPaletteEntries; ++i) {
    if (nearest[i] <= bound) fresh->candidates.push_back(static_cast<std::uint8_t>(i));
  }
  const Cell* expected = nullptr;
  if (cells_[number].compare_exchange_strong(expected, fresh.get(), std::memory_order_acq_rel)) {
    return *fresh.release();
  }
  return *expected;  // another thread made it first
}

std::uint8_t ColorMatcher::Search(int r, int g, int b) {
  const Cell& cell = CellFor(r, g, b);
  std::int32_t best_distance = INT32_MAX;
  std::uint8_t best = 0;
  for (const std::uint8_t i : cell.candidates) {
    const std::int32_t dr = r - red_[i];
    const std::int32_t dg = g - green_[i];
    const std::int32_t db = b - blue_[i];
    const std::int32_t distance = dr * dr + dg * dg + db * db;
    if (distance < best_distance) {
      best_distance = distance;
      best = i;
    }
  }
  return best;
}

void ColorMatcher::Map(std::uint8_t* out, std::size_t count, const std::uint8_t* first,
                       std::size_t stride) {
  // Neighbouring pixels often share a colour: the last answer is kept at hand.
  std::uint32_t last_key = UINT32_MAX;
  std::uint8_t last = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* pixel = first + i * stride;
    const std::uint32_t key = ColorKey(pixel);
    if (key != last_key) {
      last = Nearest(pixel);
      last_key = key;
    }
    out[i] = last;
  }
}

}  // namespace tarnvick
