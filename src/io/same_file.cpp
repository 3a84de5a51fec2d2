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
  const std::filesystem::path resolved_a = std::filesystem::weakly_canonical(a, error);
  if (error) return false;
  const std::filesystem::path resolved_b = std::filesystem::weakly_canonical(b, error);
  return !error && resolved_a == resolved_b;
}

}  // namespace tarnvick
