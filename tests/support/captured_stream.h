// A stdio stream whose output a test can read back.
#pragma once

#include <cstdio>
#include <string>

namespace tarnvick::testing {

class CapturedStream {
 public:
  CapturedStream();
  CapturedStream(const CapturedStream&) = delete;
  CapturedStream& operator=(const CapturedStream&) = delete;
  ~CapturedStream();

  std::FILE* get() const { return stream_; }
  // Everything written so far.
  std::string text();

 private:
  char* buffer_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* stream_ = nullptr;
};

}  // namespace tarnvick::testing
