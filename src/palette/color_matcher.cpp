#include "palette/color_matcher.h"

#include <algorithm>
#include <climits>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif


namespace tarnvick {
namespace {

constexpr int kCellShift = 3;  // cells of 8 values a channel
constexpr std::int32_t kCellSize = 1 << kCellShift;
constexpr std::size_t kCellsPerChannel = 256 >> kCellShift;

// The squared distances from `value` to the nearest and to the farthest point of [low, high].
std::int32_t NearerSquared(std::int32_t value, std::int32_t low, std::int32_t high) {
  const std::int32_t d = value < low ? low - value : value > high ? value - high : 0;
  return d * d;
}
std::int32_t FartherSquared(std::int32_t value, std::int32_t low, std::int32_t high) {
  const std::int32_t d = std::max(value - low, high - value);
  return d * d;
}

std::size_t CellNumber(int r, int g, int b) {
  return (static_cast<std::size_t>(b >> kCellShift) * kCellsPerChannel + static_cast<std::size_t>(g >> kCellShift)) *
             kCellsPerChannel +
         static_cast<std::size_t>(r >> kCellShift);
}

// Maps `count` pixels, `stride` bytes apart, one by one with `nearest`. (Remembering the last
// colour was measured: with the vector searches, the test costs more than it saves.) For colours
// in scattered order, the cells and candidates, which far outgrow the caches, are fetched early:
// the cell of the pixel kCellAhead on, and the candidates of the one kCandidatesAhead on (whose
// cell has arrived by then). For coherent colours this costs more than it saves.
constexpr std::size_t kCellAhead = 16, kCandidatesAhead = 8;
template <typename Cells, typename Groups, typename Nearest>
__attribute__((always_inline)) inline void MapEach(std::uint8_t* out, std::size_t count, const std::uint8_t* first,
                                                   std::size_t stride, const Cells& cells, const Groups& groups,
                                                   ColorMatcher::Order order, Nearest nearest) {
  if (order == ColorMatcher::Order::kCoherent) {
    for (std::size_t i = 0; i < count; ++i) out[i] = nearest(first + i * stride);
    return;
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (i + kCellAhead < count) {
      const std::uint8_t* ahead = first + (i + kCellAhead) * stride;
      __builtin_prefetch(&cells[CellNumber(ahead[0], ahead[1], ahead[2])]);
    }
    if (i + kCandidatesAhead < count) {
      const std::uint8_t* ahead = first + (i + kCandidatesAhead) * stride;
      __builtin_prefetch(&groups[cells[CellNumber(ahead[0], ahead[1], ahead[2])].first]);
    }
    out[i] = nearest(first + i * stride);
  }
}

}  // namespace

std::vector<ColorMatcher::Vectors> ColorMatcher::Available() {
  std::vector<Vectors> available = {Vectors::kPlain};
#if defined(__x86_64__)
  if (__builtin_cpu_supports("avx2")) available.push_back(Vectors::kAvx2);
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")) {
    available.push_back(Vectors::kAvx512);
  }
#endif
  return available;
}

ColorMatcher::ColorMatcher(const Palette& palette, Vectors vectors, Cells cells)
    : cells_(kCellsPerChannel * kCellsPerChannel * kCellsPerChannel) {
  std::vector<std::uint8_t> all(kPaletteEntries);
  for (std::size_t i = 0; i < kPaletteEntries; ++i) {
    colours_[i] = {palette[3 * i], palette[3 * i + 1], palette[3 * i + 2]};
    all[i] = static_cast<std::uint8_t>(i);
  }
  if (cells == Cells::kFine) {
    Build({0, 0, 0}, 256, all);
  } else {
    AddCell(0, all);
    std::fill(cells_.begin(), cells_.end(), cells_[0]);
  }
  const std::vector<Vectors> available = Available();
  vectors_ = vectors == Vectors::kWidest ? available.back() : vectors;
  if (std::find(available.begin(), available.end(), vectors_) == available.end()) vectors_ = Vectors::kPlain;
}

void ColorMatcher::AddCell(std::size_t number, const std::vector<std::uint8_t>& chosen) {
  Cell& cell = cells_[number];
  cell.first = static_cast<std::uint32_t>(groups_.size());
  cell.count = static_cast<std::uint32_t>((chosen.size() + kGroup - 1) / kGroup);
  cell.only = chosen.size() == 1 ? chosen[0] : -1;
  for (std::size_t k = 0; k < kGroup * cell.count; ++k) {
    if (k % kGroup == 0) groups_.emplace_back();
    const std::uint8_t entry = chosen[k < chosen.size() ? k : 0];
    Group& group = groups_.back();
    const std::size_t lane = k % kGroup;
    group.red_green[2 * lane] = static_cast<std::int16_t>(16 * colours_[entry][0]);
    group.red_green[2 * lane + 1] = static_cast<std::int16_t>(16 * colours_[entry][1]);
    group.blue_index[2 * lane] = static_cast<std::int16_t>(16 * colours_[entry][2]);
    group.blue_index[2 * lane + 1] = entry;
  }
}

void ColorMatcher::Build(const std::array<std::int32_t, 3>& low, std::int32_t size,
                         const std::vector<std::uint8_t>& entries) {
  // Every colour of the box has an entry within `bound` (the least distance to the box's
  // farthest corner), so only entries that come that near the box can be nearest to one of its
  // colours, or tie with it. A smaller box inside has no other candidates.
  const std::int32_t high[3] = {low[0] + size - 1, low[1] + size - 1, low[2] + size - 1};
  std::int32_t bound = INT32_MAX;
  std::vector<std::int32_t> least(entries.size());
  for (std::size_t k = 0; k < entries.size(); ++k) {
    const auto& c = colours_[entries[k]];
    least[k] = NearerSquared(c[0], low[0], high[0]) + NearerSquared(c[1], low[1], high[1]) + NearerSquared(c[2], low[2], high[2]);
    bound = std::min(bound, FartherSquared(c[0], low[0], high[0]) + FartherSquared(c[1], low[1], high[1]) +
                                FartherSquared(c[2], low[2], high[2]));
  }
  std::vector<std::uint8_t> inside;
  for (std::size_t k = 0; k < entries.size(); ++k) {
    if (least[k] <= bound) inside.push_back(entries[k]);
  }
  if (size == kCellSize) {
    AddCell(CellNumber(low[0], low[1], low[2]), inside);
    return;
  }
  const std::int32_t half = size / 2;
  for (std::int32_t b = 0; b < 2; ++b) {
    for (std::int32_t g = 0; g < 2; ++g) {
      for (std::int32_t r = 0; r < 2; ++r) {
        Build({low[0] + r * half, low[1] + g * half, low[2] + b * half}, half, inside);
      }
    }
  }
}

// Each candidate is weighed as 256 x distance + index: the least of these is the nearest entry,
// and on equal distances the lowest index, as the plain search finds it. With the colours
// stored times 16, 256 x distance is the sum of the squared differences of the stored values.

std::uint8_t ColorMatcher::NearestPlain(const std::uint8_t* rgb) const {
  const Cell cell = cells_[CellNumber(rgb[0], rgb[1], rgb[2])];
  std::int32_t least = INT32_MAX;
  for (const Group* group = groups_.data() + cell.first; group != groups_.data() + cell.first + cell.count; ++group) {
    for (std::size_t lane = 0; lane < kGroup; ++lane) {
      const std::int32_t dr = group->red_green[2 * lane] - 16 * rgb[0];
      const std::int32_t dg = group->red_green[2 * lane + 1] - 16 * rgb[1];
      const std::int32_t db = group->blue_index[2 * lane] - 16 * rgb[2];
      least = std::min(least, dr * dr + dg * dg + db * db + group->blue_index[2 * lane + 1]);
    }
  }
  return static_cast<std::uint8_t>(least & 0xFF);
}

void ColorMatcher::MapPlain(std::uint8_t* out, std::size_t count, const std::uint8_t* first, std::size_t stride,
                            Order order) const {
  MapEach(out, count, first, stride, cells_, groups_, order, [this](const std::uint8_t* pixel) { return NearestPlain(pixel); });
}

void ColorMatcher::MapRedsPlain(std::uint8_t* out, const std::uint8_t* rgb, std::size_t count) const {
  for (std::size_t start = 0; start < count; start += kCellSize) {
    const std::int32_t red = rgb[0] + static_cast<std::int32_t>(start);
    const Cell cell = cells_[CellNumber(red, rgb[1], rgb[2])];
    std::array<std::int32_t, kCellSize> least;
    least.fill(INT32_MAX);
    for (const Group* group = groups_.data() + cell.first; group != groups_.data() + cell.first + cell.count; ++group) {
      for (std::size_t lane = 0; lane < kGroup; ++lane) {
        const std::int32_t dg = group->red_green[2 * lane + 1] - 16 * rgb[1];
        const std::int32_t db = group->blue_index[2 * lane] - 16 * rgb[2];
        const std::int32_t rest = dg * dg + db * db + group->blue_index[2 * lane + 1];
        for (std::int32_t k = 0; k < kCellSize; ++k) {
          const std::int32_t dr = group->red_green[2 * lane] - 16 * (red + k);
          least[static_cast<std::size_t>(k)] = std::min(least[static_cast<std::size_t>(k)], dr * dr + rest);
        }
      }
    }
    for (std::size_t k = 0; k < kCellSize; ++k) out[start + k] = static_cast<std::uint8_t>(least[k] & 0xFF);
  }
}

#if defined(__x86_64__)
namespace {

// The index in the least of eight weights.
__attribute__((target("avx2"), always_inline)) inline std::uint8_t LeastIndex(__m256i least) {
  __m128i half = _mm_min_epi32(_mm256_castsi256_si128(least), _mm256_extracti128_si256(least, 1));
  half = _mm_min_epi32(half, _mm_shuffle_epi32(half, 0x4E));
  half = _mm_min_epi32(half, _mm_shuffle_epi32(half, 0xB1));
  return static_cast<std::uint8_t>(_mm_cvtsi128_si32(half) & 0xFF);
}

}  // namespace

__attribute__((target("avx2"))) std::uint8_t ColorMatcher::NearestAvx2(const std::uint8_t* rgb) const {
  const Cell cell = cells_[CellNumber(rgb[0], rgb[1], rgb[2])];
  const __m256i red_green = _mm256_set1_epi32(static_cast<std::int32_t>((16u * rgb[1]) << 16 | (16u * rgb[0])));
  const __m256i blue = _mm256_set1_epi32(static_cast<std::int32_t>(16u * rgb[2]));
  const __m256i ones = _mm256_set1_epi32(0x00010000);
  __m256i least = _mm256_set1_epi32(INT32_MAX);
  for (const Group* group = groups_.data() + cell.first; group != groups_.data() + cell.first + cell.count; ++group) {
    for (std::size_t half = 0; half < 2 * kGroup; half += kGroup) {
      const __m256i rg = _mm256_sub_epi16(
          _mm256_load_si256(reinterpret_cast<const __m256i*>(group->red_green.data() + half)), red_green);
      // (16 x blue difference, index) times (16 x blue difference, 1).
      const __m256i bi = _mm256_sub_epi16(
          _mm256_load_si256(reinterpret_cast<const __m256i*>(group->blue_index.data() + half)), blue);
      const __m256i b1 = _mm256_blend_epi16(bi, ones, 0xAA);
      least = _mm256_min_epi32(least, _mm256_add_epi32(_mm256_madd_epi16(rg, rg), _mm256_madd_epi16(bi, b1)));
    }
  }
  return LeastIndex(least);
}

__attribute__((target("avx2"), flatten)) void ColorMatcher::MapAvx2(std::uint8_t* out, std::size_t count,
                                                                    const std::uint8_t* first, std::size_t stride,
                                                                    Order order) const {
  MapEach(out, count, first, stride, cells_, groups_, order, [this](const std::uint8_t* pixel) { return NearestAvx2(pixel); });
}

__attribute__((target("avx2"))) void ColorMatcher::MapRedsAvx2(std::uint8_t* out, const std::uint8_t* rgb,
                                                                std::size_t count) const {
  // The eight colours of a cell in the lanes; each candidate's red and the rest of its weight (its
  // green and blue distances and its index) spread over them in turn.
  const __m256i green = _mm256_set1_epi32(static_cast<std::int32_t>((16u * rgb[1]) << 16));
  const __m256i blue = _mm256_set1_epi32(static_cast<std::int32_t>(16u * rgb[2]));
  const __m256i ones = _mm256_set1_epi32(0x00010000);
  const __m256i green_only = _mm256_set1_epi32(static_cast<std::int32_t>(0xFFFF0000u));
  const __m256i low_halves = _mm256_set1_epi32(0xFFFF);
  const __m256i steps = _mm256_setr_epi32(0, 16, 32, 48, 64, 80, 96, 112);
  const __m256i low_bytes = _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 4, 8, 12,
                                             -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  // The run's cells lie side by side, their candidates wherever they were made: all are fetched
  // at once first, as a run's colours are often the first of their cells to be met.
  const Cell* cells = &cells_[CellNumber(rgb[0], rgb[1], rgb[2])];
  for (std::size_t start = 0; start < count; start += kCellSize) {
    const Group* group = &groups_[cells[start / kCellSize].first];
    __builtin_prefetch(group);
    __builtin_prefetch(reinterpret_cast<const char*>(group) + 64);
  }
  for (std::size_t start = 0; start < count; start += kCellSize) {
    const std::int32_t red = rgb[0] + static_cast<std::int32_t>(start);
    const Cell cell = cells[start / kCellSize];
    const __m256i reds = _mm256_add_epi32(_mm256_set1_epi32(16 * red), steps);
    __m256i least = _mm256_set1_epi32(INT32_MAX);
    for (const Group* group = groups_.data() + cell.first; group != groups_.data() + cell.first + cell.count; ++group) {
      for (std::size_t half = 0; half < 2 * kGroup; half += kGroup) {
        const __m256i rg = _mm256_load_si256(reinterpret_cast<const __m256i*>(group->red_green.data() + half));
        const __m256i dg = _mm256_sub_epi16(rg, green);
        const __m256i bi = _mm256_sub_epi16(
            _mm256_load_si256(reinterpret_cast<const __m256i*>(group->blue_index.data() + half)), blue);
        const __m256i rest = _mm256_add_epi32(_mm256_madd_epi16(dg, _mm256_and_si256(dg, green_only)),
                                              _mm256_madd_epi16(bi, _mm256_blend_epi16(bi, ones, 0xAA)));
        const __m256i candidate_reds = _mm256_and_si256(rg, low_halves);
#pragma GCC unroll 8
        for (int lane = 0; lane < 8; ++lane) {
          const __m256i pick = _mm256_set1_epi32(lane);
          const __m256i dr = _mm256_sub_epi32(_mm256_permutevar8x32_epi32(candidate_reds, pick), reds);
          least = _mm256_min_epi32(
              least, _mm256_add_epi32(_mm256_mullo_epi32(dr, dr), _mm256_permutevar8x32_epi32(rest, pick)));
        }
      }
    }
    const __m256i bytes = _mm256_shuffle_epi8(least, low_bytes);
    const std::uint64_t eight = static_cast<std::uint32_t>(_mm256_extract_epi32(bytes, 0)) |
                                static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_extract_epi32(bytes, 4))) << 32;
    std::memcpy(out + start, &eight, 8);
  }
}

// GCC 12's 512-bit intrinsics leave their placeholder operands uninitialised on purpose.
#pragma GCC diagnostic push
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
__attribute__((target("avx2,avx512f,avx512bw"))) std::uint8_t ColorMatcher::NearestAvx512(const std::uint8_t* rgb) const {
  const Cell cell = cells_[CellNumber(rgb[0], rgb[1], rgb[2])];
  const __m512i red_green = _mm512_set1_epi32(static_cast<std::int32_t>((16u * rgb[1]) << 16 | (16u * rgb[0])));
  const __m512i blue = _mm512_set1_epi32(static_cast<std::int32_t>(16u * rgb[2]));
  const __m512i ones = _mm512_set1_epi16(1);
  __m512i least = _mm512_set1_epi32(INT32_MAX);
  for (const Group* group = groups_.data() + cell.first; group != groups_.data() + cell.first + cell.count; ++group) {
    const __m512i rg = _mm512_sub_epi16(_mm512_load_si512(group->red_green.data()), red_green);
    // (16 x blue difference, index) times (16 x blue difference, 1).
    const __m512i bi = _mm512_sub_epi16(_mm512_load_si512(group->blue_index.data()), blue);
    const __m512i b1 = _mm512_mask_blend_epi16(0xAAAAAAAA, bi, ones);
    least = _mm512_min_epi32(least, _mm512_add_epi32(_mm512_madd_epi16(rg, rg), _mm512_madd_epi16(bi, b1)));
  }
  return LeastIndex(_mm256_min_epi32(_mm512_castsi512_si256(least), _mm512_extracti64x4_epi64(least, 1)));
}

__attribute__((target("avx2,avx512f,avx512bw"), flatten)) void ColorMatcher::MapAvx512(
    std::uint8_t* out, std::size_t count, const std::uint8_t* first, std::size_t stride, Order order) const {
  MapEach(out, count, first, stride, cells_, groups_, order, [this](const std::uint8_t* pixel) { return NearestAvx512(pixel); });
}
#pragma GCC diagnostic pop
#endif

int ColorMatcher::OnlyCandidate(const std::uint8_t* rgb) const { return cells_[CellNumber(rgb[0], rgb[1], rgb[2])].only; }

std::uint8_t ColorMatcher::Nearest(const std::uint8_t* rgb) const {
#if defined(__x86_64__)
  if (vectors_ == Vectors::kAvx512) return NearestAvx512(rgb);
  if (vectors_ == Vectors::kAvx2) return NearestAvx2(rgb);
#endif
  return NearestPlain(rgb);
}

void ColorMatcher::MapReds(std::uint8_t* out, const std::uint8_t* rgb, std::size_t count) const {
#if defined(__x86_64__)
  if (vectors_ != Vectors::kPlain) return MapRedsAvx2(out, rgb, count);
#endif
  MapRedsPlain(out, rgb, count);
}

void ColorMatcher::Map(std::uint8_t* out, std::size_t count, const std::uint8_t* first, std::size_t stride,
                       Order order) const {
#if defined(__x86_64__)
  if (vectors_ == Vectors::kAvx512) return MapAvx512(out, count, first, stride, order);
  if (vectors_ == Vectors::kAvx2) return MapAvx2(out, count, first, stride, order);
#endif
  MapPlain(out, count, first, stride, order);
}

}  // namespace tarnvick
