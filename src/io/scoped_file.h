// Owner of at most one open stdio stream: the stream is closed on every way out of its scope.
#pragma once

#include <cstdio>
#include <string>

namespace tarnvick {

class ScopedFile {
 public:
  ScopedFile() = default;
  ScopedFile(const ScopedFile&) = delete;
  ScopedFile& operator=(const ScopedFile&) = delete;
  virtual ~ScopedFile();

  // Closes the stream held, then opens `path` with `mode`; returns the stream, or null.
  std::FILE* Open(const std::string& path, const char* mode);
  // Takes ownership of an already open stream (closing the one held).
  void Adopt(std::FILE* stream);
  // Closes the stream held, if any; false when the close reported an error.
  bool Close();
  std::FILE* get() const { return stream_; }

 private:
  std::FILE* stream_ = nullptr;
};

}  // namespace tarnvick
