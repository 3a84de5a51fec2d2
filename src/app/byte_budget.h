// A bound on the bytes of source files worked on at once, and of what they made that waits for
// its turn, so that memory does not grow with the number of threads: a file goes when its bytes
// fit beside those in flight (Fits), and a file larger than the whole budget when it can go alone.
#pragma once

#include <cstdint>
#include <mutex>

namespace tarnvick {

class ByteBudget {
 public:
  explicit ByteBudget(std::uint64_t limit) : limit_(limit) {}

  // Whether `bytes` fit beside those in flight now.
  bool Fits(std::uint64_t bytes);

  // Holds bytes of the budget, from construction (without waiting) to destruction.
  class Lease {
   public:
    Lease(ByteBudget& budget, std::uint64_t bytes);
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    ~Lease() { Resize(0); }
    // Holds `bytes` from now on instead.
    void Resize(std::uint64_t bytes);

   private:
    ByteBudget& budget_;
    std::uint64_t bytes_ = 0;
  };

 private:
  const std::uint64_t limit_;
  std::mutex mutex_;
  std::uint64_t in_flight_ = 0;
};

}  // namespace tarnvick
