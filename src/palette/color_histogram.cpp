#include "palette/color_histogram.h"

#include <sys/mman.h>

#include "palette/color_key.h"

namespace tarnvick {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

}  // namespace

ColorHistogram::~ColorHistogram() {
  if (mapping_ != nullptr) ::munmap(mapping_, mapping_size_);
}

Result<void> ColorHistogram::Reserve() {
  if (low_ != nullptr) return {};
  const std::size_t bytes = kColors * sizeof(std::uint32_t);
  // One huge page more than needed, so that the table can start on a huge-page boundary. The
  // system hands out zeroed pages on first touch.
  mapping_size_ = bytes + kHugePage;
  void* mapping = ::mmap(nullptr, mapping_size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (mapping == MAP_FAILED) return Fail(ErrorKind::kOutOfMemory);
  mapping_ = mapping;
  const auto address = reinterpret_cast<std::uintptr_t>(mapping);
  void* aligned = reinterpret_cast<void*>((address + kHugePage - 1) & ~(kHugePage - 1));
  ::madvise(aligned, bytes, MADV_HUGEPAGE);
  low_ = static_cast<std::uint32_t*>(aligned);
  return {};
}

void ColorHistogram::AddPixels(const std::uint8_t* first, std::size_t count, std::size_t stride) {
  if (count == 0) return;
  // Runs of one colour are counted at once.
  std::uint32_t run_key = ColorKey(first);
  std::uint32_t run = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t key = ColorKey(first + i * stride);
    if (key != run_key || run == UINT32_MAX) {
      Increment(run_key, run);
      run_key = key;
      run = 0;
    }
    ++run;
  }
  Increment(run_key, run);
}

void ColorHistogram::Add(std::uint32_t key, PixelCount count) {
  Increment(key, static_cast<std::uint32_t>(count));
  if ((count >> 32) != 0) high_[key] += static_cast<std::uint32_t>(count >> 32);
}

void ColorHistogram::Merge(const ColorHistogram& other) {
  if (other.low_ == nullptr) return;
  for (std::size_t key = 0; key < kColors; ++key) {
    if (other.low_[key] != 0) Increment(static_cast<std::uint32_t>(key), other.low_[key]);
  }
  for (const auto& [key, high] : other.high_) high_[key] += high;
}

PixelCount ColorHistogram::Count(std::uint32_t key) const {
  if (low_ == nullptr) return 0;
  PixelCount count = low_[key];
  if (!high_.empty()) {
    const auto found = high_.find(key);
    if (found != high_.end()) count |= static_cast<PixelCount>(found->second) << 32;
  }
  return count;
}

}  // namespace tarnvick
