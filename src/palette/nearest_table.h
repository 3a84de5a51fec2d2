// The nearest palette entry of each colour, searched for once and then looked up: a table of one
// byte per colour key (16 MiB), filled 64 keys at a time (one cache line, colours that differ only
// in red) the first time one of them is met, and a bit per 64 keys that tells they are filled. The
// entries are the matcher's, so a run mapped through the table gives the indices of the search.
// Threads share one table without locks: keys are only ever filled with the entries the matcher
// finds for their colours, so no order of the threads changes what is looked up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "io/error.h"
#include "palette/color_matcher.h"

namespace tarnvick {

class NearestTable {
 public:
  // A table with nothing found yet; only the parts filled ever take memory. Fails with
  // kOutOfMemory.
  static Result<NearestTable> Empty(const ColorMatcher& matcher);

  NearestTable(NearestTable&& other) noexcept;
  NearestTable& operator=(NearestTable&&) = delete;
  ~NearestTable();

  // Maps `count` pixels, `stride` (3 or more) bytes apart from `first`, to `out`: the indices
  // matcher.Map gives.
  void Map(std::uint8_t* out, std::size_t count, const std::uint8_t* first, std::size_t stride) const;

 private:
  NearestTable(std::uint8_t* entries, std::unique_ptr<std::uint64_t[]> filled, const ColorMatcher& matcher)
      : entries_(entries), filled_(std::move(filled)), matcher_(&matcher) {}

  template <typename KeyOf>
  void LookUp(std::uint8_t* out, std::size_t count, KeyOf key_of) const;
  // Makes sure the 64 keys around `key` are filled; Fill fills them.
  void Ready(std::uint32_t key) const;
  void Fill(std::uint32_t key) const;

  std::uint8_t* entries_;                    // one a colour key
  std::unique_ptr<std::uint64_t[]> filled_;  // a bit per 64 keys
  const ColorMatcher* matcher_;
};

}  // namespace tarnvick
