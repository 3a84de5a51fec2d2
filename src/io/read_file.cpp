#include "io/read_file.h"

#include <sys/stat.h>

#include "io/scoped_file.h"

namespace tarnvick {

Failure FailTruncated(std::uint64_t required, std::uint64_t size) {
  return Fail(ErrorKind::kTruncated, std::to_string(size) + " of " + std::to_string(required) + " bytes");
}

Result<std::vector<std::uint8_t>> ReadSizedFile(const std::string& path, std::size_t header_bytes,
                                                const RequiredFileSize& required_file_size) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return FailErrno(ErrorKind::kCannotOpen);
  if (!S_ISREG(info.st_mode)) return Fail(ErrorKind::kNotRegularFile);
  ScopedFile file;
  std::FILE* stream = file.Open(path, "rb");
  if (stream == nullptr) return FailErrno(ErrorKind::kCannotOpen);
  if (::fstat(fileno(stream), &info) != 0 || !S_ISREG(info.st_mode)) {
    return Fail(ErrorKind::kNotRegularFile);
  }
  const auto file_size = static_cast<std::uint64_t>(info.st_size);

  const std::size_t prefix =
      file_size < header_bytes ? static_cast<std::size_t>(file_size) : header_bytes;
  std::vector<std::uint8_t> bytes(prefix);
  if (prefix > 0 && std::fread(bytes.data(), 1, prefix, stream) != prefix) {
    return Fail(ErrorKind::kReadError);
  }
  const Result<std::uint64_t> required = required_file_size(bytes);
  if (!required) return Failure{required.error()};
  if (*required > file_size) return FailTruncated(*required, file_size);
  bytes.resize(static_cast<std::size_t>(*required));
  if (*required <= prefix) return bytes;
  const std::size_t rest = static_cast<std::size_t>(*required) - prefix;
  if (std::fread(bytes.data() + prefix, 1, rest, stream) != rest) return Fail(ErrorKind::kReadError);
  return bytes;
}

}  // namespace tarnvick
