#include "io/scoped_file.h"

#include <unistd.h>

namespace tarnvick {

ScopedFile& ScopedFile::operator=(ScopedFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

ScopedFile::~ScopedFile() { Close(); }

bool ScopedFile::Close() {
  if (fd_ < 0) return true;
  const int result = ::close(fd_);
  fd_ = -1;
  return result == 0;
}

}  // namespace tarnvick
