#include "walk/walk_directory.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "texture/texture_type.h"

namespace tarnvick {
namespace {

namespace fs = std::filesystem;

struct Entry {
  std::string name;
  bool is_directory;       // following links: such entries are never handed to the action
  bool is_real_directory;  // not following links: only these are entered
};

// The entries of `directory` sorted by name, or why it cannot be listed.
Result<void> ListDirectory(const std::string& directory, std::vector<Entry>& entries) {
  std::error_code error;
  fs::directory_iterator it(fs::path(directory), error);
  if (error) return Fail(ErrorKind::kCannotList, error.message());
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) return Fail(ErrorKind::kCannotList, error.message());
    const fs::directory_entry& entry = *it;
    std::error_code ignored;
    entries.push_back({entry.path().filename().string(), entry.is_directory(ignored),
                       entry.symlink_status(ignored).type() == fs::file_type::directory});
  }
  if (error) return Fail(ErrorKind::kCannotList, error.message());
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return {};
}

bool IsSourceTexture(const std::string& name) {
  const TextureType type = LookupTextureType(name);
  return type == TextureType::kM8 || type == TextureType::kM32;
}

}  // namespace

void WalkDirectory(const std::string& directory, bool recurse, const WalkVisitor& visitor) {
  visitor.entered(directory);
  std::vector<Entry> entries;
  if (const Result<void> listed = ListDirectory(directory, entries); !listed) {
    visitor.unreadable(directory, listed.error());
  }
  const std::string prefix = directory + static_cast<char>(fs::path::preferred_separator);
  for (const Entry& entry : entries) {
    if (!entry.is_directory && IsSourceTexture(entry.name)) visitor.file(prefix + entry.name);
  }
  if (!recurse) return;
  for (const Entry& entry : entries) {
    if (entry.is_real_directory && entry.name != "." && entry.name != "..") {
      WalkDirectory(prefix + entry.name, recurse, visitor);
    }
  }
}

}  // namespace tarnvick
