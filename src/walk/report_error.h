// Reporting a problem on the error stream: "tarnvick: MESSAGE\n", after flushing the progress
// stream so that the two appear in order on a terminal.
#pragma once

#include <cstdio>
#include <string>

namespace tarnvick {

inline void ReportError(std::FILE* out, std::FILE* err, const std::string& message) {
  std::fflush(out);
  std::fprintf(err, "tarnvick: %s\n", message.c_str());
}

}  // namespace tarnvick
