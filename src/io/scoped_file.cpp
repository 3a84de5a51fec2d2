#include "io/scoped_file.h"

namespace tarnvick {

ScopedFile::~ScopedFile() { Close(); }

std::FILE* ScopedFile::Open(const std::string& path, const char* mode) {
  Close();
  stream_ = std::fopen(path.c_str(), mode);
  return stream_;
}

void ScopedFile::Adopt(std::FILE* stream) {
  Close();
  stream_ = stream;
}

bool ScopedFile::Close() {
  if (stream_ == nullptr) return true;
  const int result = std::fclose(stream_);
  stream_ = nullptr;
  return result == 0;
}

}  // namespace tarnvick
