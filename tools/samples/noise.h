// Deterministic pseudo-random bytes, for sample textures, test data and benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnvick::samples {

// `count` bytes from a linear congruential generator started from `seed`.
std::vector<std::uint8_t> NoiseBytes(std::size_t count, std::uint32_t seed);

}  // namespace tarnvick::samples
