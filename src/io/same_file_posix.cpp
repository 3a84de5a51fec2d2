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
  // The file a write would make: links followed, also those that name no file yet.
  const auto resolved = [&error](const std::string& path) {
    std::filesystem::path file = std::filesystem::absolute(path, error);
    for (int hops = 0; !error && hops < 40 && std::filesystem::is_symlink(std::filesystem::symlink_status(file, error)); ++hops) {
      const std::filesystem::path target = std::filesystem::read_symlink(file, error);
      file = target.is_absolute() ? target : file.parent_path() / target;
    }
    error.clear();
    return std::filesystem::weakly_canonical(file, error);
  };
  const std::filesystem::path resolved_a = resolved(a);
  if (error) return false;
  const std::filesystem::path resolved_b = resolved(b);
  return !error && resolved_a == resolved_b;
}

std::string PathKey(const std::string& path) { return path; }

}  // namespace tarnvick
