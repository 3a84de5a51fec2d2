#include "texture/picture_name.h"

#include <algorithm>
#include <string_view>

#include "io/file_ref.h"
#include "texture/pak_format.h"

namespace tarnvick {
namespace {

// The place of the last separator of `path` before `end`; npos when there is none.
std::size_t LastSeparatorBefore(const std::string& path, std::size_t end) {
  for (std::size_t at = end; at > 0; --at) {
    if (IsSeparator(path[at - 1])) return at - 1;
  }
  return std::string::npos;
}

}  // namespace

std::string PictureWalName(const std::string& path, const std::string& fallback) {
  std::string name = fallback;
  // Each folder of the path, from the innermost out: the one that ends at the separator `end`.
  for (std::size_t end = LastSeparatorBefore(path, path.size()); end != std::string::npos;) {
    const std::size_t before = LastSeparatorBefore(path, end);
    const std::size_t first = before == std::string::npos ? 0 : before + 1;
    if (SameEntryName(std::string_view(path).substr(first, end - first), "textures")) {
      name = path.substr(end + 1);
      break;
    }
    end = before;
  }
  std::replace(name.begin(), name.end(), '\\', '/');
  const std::size_t dot = name.rfind('.'), last = name.rfind('/');
  if (dot != std::string::npos && (last == std::string::npos || dot > last)) name.resize(dot);
  if (name.size() > 31) name.resize(31);
  return name;
}

}  // namespace tarnvick
