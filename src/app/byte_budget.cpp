#include "app/byte_budget.h"

namespace tarnvick {

bool ByteBudget::Fits(std::uint64_t bytes) {
  std::lock_guard lock(mutex_);
  return in_flight_ == 0 || in_flight_ + bytes <= limit_;
}

ByteBudget::Lease::Lease(ByteBudget& budget, std::uint64_t bytes) : budget_(budget) { Resize(bytes); }

void ByteBudget::Lease::Resize(std::uint64_t bytes) {
  std::lock_guard lock(budget_.mutex_);
  budget_.in_flight_ = budget_.in_flight_ - bytes_ + bytes;
  bytes_ = bytes;
}

}  // namespace tarnvick
