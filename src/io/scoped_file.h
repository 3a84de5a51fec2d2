// Owner of at most one open file descriptor: it is closed on every way out of its scope.
#pragma once

namespace tarnvick {

class ScopedFile {
 public:
  ScopedFile() = default;
  explicit ScopedFile(int fd) : fd_(fd) {}
  ScopedFile(ScopedFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  ScopedFile& operator=(ScopedFile&& other) noexcept;
  ScopedFile(const ScopedFile&) = delete;
  ScopedFile& operator=(const ScopedFile&) = delete;
  virtual ~ScopedFile();

  // Closes the descriptor held, if any; false when the close reported an error.
  bool Close();
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace tarnvick
