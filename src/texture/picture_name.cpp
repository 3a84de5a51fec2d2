#include "texture/picture_name.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "io/file_ref.h"
#include "texture/pak_format.h"

namespace tarnvick {

std::string PictureWalName(const std::string& path, const std::string& fallback) {
  // The parts of the path, read as written: "." left out, ".." taking the part before it away.
  std::vector<std::string_view> parts;
  const std::string_view all(path);
  for (std::size_t start = 0; start <= all.size();) {
    const std::size_t end = std::find_if(all.begin() + static_cast<std::ptrdiff_t>(start), all.end(), IsSeparator) - all.begin();
    const std::string_view part = all.substr(start, end - start);
    if (part == ".." && !parts.empty()) {
      parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string name = fallback;
  // The last folder named textures, the file itself aside.
  for (std::size_t folder = parts.size() > 0 ? parts.size() - 1 : 0; folder-- > 0;) {
    if (!SameEntryName(parts[folder], "textures")) continue;
    name.clear();
    for (std::size_t below = folder + 1; below < parts.size(); ++below) {
      name += parts[below];
      if (below + 1 < parts.size()) name += '/';
    }
    break;
  }
  std::replace(name.begin(), name.end(), '\\', '/');
  const std::size_t dot = name.rfind('.'), last = name.rfind('/');
  if (dot != std::string::npos && (last == std::string::npos || dot > last)) name.resize(dot);
  if (name.size() > 31) name.resize(31);
  return name;
}

}  // namespace tarnvick
