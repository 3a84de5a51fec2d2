// A bound on the bytes of source files worked on at once, so that memory does not grow with the
// number of threads: a file waits until its bytes fit beside those in flight, and a file larger
// than the whole budget waits until it can go alone.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace tarnvick {

class ByteBudget {
 public:
  explicit ByteBudget(std::uint64_t limit) : limit_(limit) {}

  // Holds `bytes` of the budget from construction to destruction.
  class Lease {
   public:
    Lease(ByteBudget& budget, std::uint64_t bytes);
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    ~Lease();

   private:
    ByteBudget& budget_;
    const std::uint64_t bytes_;
  };

 private:
  const std::uint64_t limit_;
  std::mutex mutex_;
  std::condition_variable released_;
  std::uint64_t in_flight_ = 0;
};

}  // namespace tarnvick
