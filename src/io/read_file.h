// Reading a file whose first bytes declare its own length: only the declared bytes are read, and
// nothing is allocated for them before the file is known to hold them all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "io/error.h"

namespace tarnvick {

// Given the first bytes of a file (at most the header length, fewer when the file is shorter),
// the total length the file must have, or why it cannot be read.
using RequiredFileSize = std::function<Result<std::uint64_t>(std::span<const std::uint8_t> head)>;

// Reads the first `header_bytes` of the regular file at `path`, asks `required_file_size` how
// long the file must be, and returns exactly that many bytes. Fails when the file cannot be
// opened, is not a regular file (never opened then: a FIFO would block), cannot be read, or is
// shorter than it must be.
Result<std::vector<std::uint8_t>> ReadSizedFile(const std::string& path, std::size_t header_bytes,
                                                const RequiredFileSize& required_file_size);

// The failure of a file of `size` bytes that must hold `required`.
Failure FailTruncated(std::uint64_t required, std::uint64_t size);

}  // namespace tarnvick
