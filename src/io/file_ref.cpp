#include "io/file_ref.h"

#include <algorithm>

namespace tarnvick {

bool IsSeparator(char c) { return c == '/' || (kSeparator == '\\' && c == '\\'); }

std::string DirectoryPart(const std::string& name) {
  const auto last = std::find_if(name.rbegin(), name.rend(), IsSeparator);
  if (last == name.rend()) return ".";
  const std::size_t separator = static_cast<std::size_t>(name.rend() - last) - 1;
  if (separator == 0) return name.substr(0, 1);
  return name.substr(0, separator);
}

}  // namespace tarnvick
