// The nearest palette entry of each colour, searched for once and then looked up: a table of one
// 16-bit value per colour key, 0 until the colour's entry is known, then 256 + the entry. The
// entries are the matcher's, so a run mapped through the table gives the indices of the search.
// Threads share one table without locks: a value is only ever written with the one entry the
// matcher finds for its colour, so no order of the threads changes what is looked up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "io/error.h"
#include "palette/color_matcher.h"
#include "palette/key_table.h"

namespace tarnvick {

class NearestTable {
 public:
  // A table with nothing found yet: each colour is searched for when it is first met. Fails with
  // kOutOfMemory.
  static Result<NearestTable> Empty(const ColorMatcher& matcher);

  // The table of a histogram's counted colours (`counted`, nonzero at each one), with the entry
  // of every one of them found at once by up to `threads` threads (fewer when the system starts
  // fewer); a colour the count did not see is searched for when it is met.
  static NearestTable OfCounted(KeyTable counted, const ColorMatcher& matcher, int threads);

  // Maps `count` pixels, `stride` (3 or more) bytes apart from `first`, to `out`: the indices
  // matcher.Map gives.
  void Map(std::uint8_t* out, std::size_t count, const std::uint8_t* first, std::size_t stride) const;

 private:
  NearestTable(KeyTable table, const ColorMatcher& matcher) : table_(std::move(table)), matcher_(&matcher) {}

  // Replaces every nonzero value with keys from `begin` to `end` by its colour's entry.
  void FindCounted(std::uint32_t begin, std::uint32_t end);

  KeyTable table_;
  const ColorMatcher* matcher_;
};

}  // namespace tarnvick
