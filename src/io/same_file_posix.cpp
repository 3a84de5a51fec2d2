#include "io/same_file.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

namespace tarnvick {

bool SameFile(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  struct stat first {};
  struct stat second {};
  if (::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0) {
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
  }
  std::error_code error;
  const auto resolved = [&error](const std::string& path) {
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? absolute : std::filesystem::weakly_canonical(absolute, error);
  };
  const std::filesystem::path resolved_a = resolved(a);
  if (error) return false;
  const std::filesystem::path resolved_b = resolved(b);
  return !error && resolved_a == resolved_b;
}

}  // namespace tarnvick
