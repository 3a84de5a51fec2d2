#include "io/file_ref.h"

namespace tarnvick {

std::string DirectoryPart(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return name.substr(0, slash);
}

}  // namespace tarnvick
