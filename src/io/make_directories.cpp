#include "io/make_directories.h"

#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include "io/wide_path.h"
#endif

namespace tarnvick {

Result<void> MakeDirectories(const std::string& path) {
  namespace fs = std::filesystem;
#if defined(_WIN32)
  for (fs::path part = path; !part.empty() && part != part.root_path(); part = part.parent_path()) {
    if (IsDeviceName(part.string())) return Fail(ErrorKind::kCannotWrite, "a device name");
  }
#endif
  std::error_code error;
  if (fs::is_symlink(fs::symlink_status(path, error)) && !fs::exists(fs::status(path, error))) {
    return Fail(ErrorKind::kCannotWrite, "a link to a missing folder");
  }
  fs::create_directories(path, error);
  if (!error && !fs::is_directory(path, error)) error = std::make_error_code(std::errc::not_a_directory);
  if (error) return Failure{Error{ErrorKind::kCannotWrite, error.message(), error.value()}};
  return {};
}

}  // namespace tarnvick
