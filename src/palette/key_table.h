// One 16-bit value for each of the 2^24 colour keys (32 MiB), zeroed and taken straight from the
// system, and given back when the table goes: a histogram's counters.
#pragma once

#include <cstddef>
#include <cstdint>

#include "io/error.h"

namespace tarnvick {

class KeyTable {
 public:
  static constexpr std::size_t kKeys = std::size_t{1} << 24;

  KeyTable() = default;  // holds no table
  KeyTable(KeyTable&& other) noexcept : values_(other.values_) { other.values_ = nullptr; }
  KeyTable& operator=(KeyTable&& other) noexcept;
  KeyTable(const KeyTable&) = delete;
  KeyTable& operator=(const KeyTable&) = delete;
  ~KeyTable();

  // A table of zeros; fails with kOutOfMemory.
  static Result<KeyTable> Zeroed();

  // The kKeys values, or nullptr for no table.
  std::uint16_t* values() const { return values_; }

 private:
  std::uint16_t* values_ = nullptr;
};

}  // namespace tarnvick
