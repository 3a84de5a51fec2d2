#include "support/captured_stream.h"

#include <cstdlib>
#include <stdexcept>

namespace tarnvick::testing {

CapturedStream::CapturedStream() : stream_(::open_memstream(&buffer_, &size_)) {
  if (stream_ == nullptr) throw std::runtime_error("open_memstream failed");
}

CapturedStream::~CapturedStream() {
  std::fclose(stream_);
  std::free(buffer_);
}

std::string CapturedStream::text() {
  std::fflush(stream_);
  return std::string(buffer_, size_);
}

}  // namespace tarnvick::testing
