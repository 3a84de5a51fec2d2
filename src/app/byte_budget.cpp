#include "app/byte_budget.h"

namespace tarnvick {

ByteBudget::Lease::Lease(ByteBudget& budget, std::uint64_t bytes) : budget_(budget), bytes_(bytes) {
  std::unique_lock lock(budget_.mutex_);
  budget_.released_.wait(lock, [&] {
    return budget_.in_flight_ == 0 || budget_.in_flight_ + bytes_ <= budget_.limit_;
  });
  budget_.in_flight_ += bytes_;
}

ByteBudget::Lease::~Lease() {
  {
    std::lock_guard lock(budget_.mutex_);
    budget_.in_flight_ -= bytes_;
  }
  budget_.released_.notify_all();
}

}  // namespace tarnvick
