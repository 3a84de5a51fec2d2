#include "io/temporary_files.h"

#include <atomic>
#include <chrono>

namespace tarnvick {

std::string TemporaryNameSuffix(std::uint64_t process, unsigned attempt) {
  static std::atomic<std::uint64_t> counter{0};
  std::uint64_t x = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                    (process << 32) ^ (counter++ * 0x9E3779B97F4A7C15u) ^ attempt;
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix;
  for (int i = 0; i < 6; ++i) {
    x ^= x >> 29;
    x *= 0xBF58476D1CE4E5B9u;
    suffix += kLetters[x % 36];
  }
  return suffix;
}

}  // namespace tarnvick
