// Reading a texture file whose header declares its own length: only the declared bytes are read,
// and nothing is allocated for them before the file is known to hold them all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tarnvick {

// Given the first bytes of a file (at most the header length, fewer when the file is shorter),
// sets the total length the file must have and returns true, or sets a reason and returns false.
using RequiredFileSize =
    std::function<bool(const std::uint8_t* data, std::size_t size, std::uint64_t& required,
                       std::string& error)>;

// Reads the first `header_bytes` of the regular file at `path`, asks `required_file_size` how
// long the file must be, and reads exactly that many bytes into `bytes`. False, with a reason in
// `error`, when the file cannot be opened or read, or is shorter than it must be.
bool ReadTextureFile(const std::string& path, std::size_t header_bytes,
                     const RequiredFileSize& required_file_size, std::vector<std::uint8_t>& bytes,
                     std::string& error);

// The reason given for a file shorter than its header and pixel data need.
std::string TruncatedReason(std::uint64_t required, std::uint64_t size);

}  // namespace tarnvick
