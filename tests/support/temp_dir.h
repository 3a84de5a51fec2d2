// A scratch directory for one test, removed with everything in it afterwards, and small helpers
// for the files in it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tarnvick::testing {

class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  const std::string& path() const { return path_; }
  // The path of `relative` inside the directory.
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

// Writes `bytes` to `path`, creating parent directories.
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
void WriteText(const std::string& path, const std::string& text);
// The whole content of `path`; empty when it cannot be read.
std::vector<std::uint8_t> ReadBytes(const std::string& path);
std::string ReadText(const std::string& path);
bool Exists(const std::string& path);
// The names in `directory`, sorted.
std::vector<std::string> ListNames(const std::string& directory);
// The WAL files below `root` by their path below it, '/' between folders; none when `root` is
// missing.
std::map<std::string, std::vector<std::uint8_t>> WalsBelow(const std::string& root);

}  // namespace tarnvick::testing
