#include "io/make_directories.h"

#include <filesystem>
#include <system_error>

namespace tarnvick {

Result<void> MakeDirectories(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error) return Failure{Error{ErrorKind::kCannotWrite, error.message(), error.value()}};
  return {};
}

}  // namespace tarnvick
