#include "texture/texture_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "texture/scoped_file.h"

namespace tarnvick {
namespace {

std::string OpenReason(int error_number) {
  return std::string("cannot open file: ") + std::strerror(error_number);
}

}  // namespace

std::string TruncatedReason(std::uint64_t required, std::uint64_t size) {
  return "file is truncated (" + std::to_string(size) + " of " + std::to_string(required) +
         " bytes)";
}

bool ReadTextureFile(const std::string& path, std::size_t header_bytes,
                     const RequiredFileSize& required_file_size, std::vector<std::uint8_t>& bytes,
                     std::string& error) {
  // A FIFO or device named like a texture must not block or stream forever.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    error = OpenReason(errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    error = "not a regular file";
    return false;
  }
  ScopedFile file;
  std::FILE* stream = file.Open(path, "rb");
  if (stream == nullptr) {
    error = OpenReason(errno);
    return false;
  }
  if (::fstat(fileno(stream), &info) != 0 || !S_ISREG(info.st_mode)) {
    error = "not a regular file";
    return false;
  }
  const std::uint64_t file_size = static_cast<std::uint64_t>(info.st_size);

  const std::size_t prefix = file_size < header_bytes ? static_cast<std::size_t>(file_size)
                                                      : header_bytes;
  bytes.assign(prefix, 0);
  if (prefix > 0 && std::fread(bytes.data(), 1, prefix, stream) != prefix) {
    error = "read error";
    return false;
  }
  std::uint64_t required = 0;
  if (!required_file_size(bytes.data(), bytes.size(), required, error)) return false;
  if (required > file_size) {
    error = TruncatedReason(required, file_size);
    return false;
  }
  bytes.resize(static_cast<std::size_t>(required));
  if (required <= prefix) return true;
  const std::size_t rest = static_cast<std::size_t>(required) - prefix;
  if (std::fread(bytes.data() + prefix, 1, rest, stream) != rest) {
    error = "read error";
    return false;
  }
  return true;
}

}  // namespace tarnvick
