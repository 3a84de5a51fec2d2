#include "walk/walk_directory.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "texture/texture_type.h"
#include "walk/report_error.h"

namespace tarnvick {
namespace {

namespace fs = std::filesystem;

struct Entry {
  std::string name;
  bool is_directory;       // following links: such entries are never handed to the action
  bool is_real_directory;  // not following links: only these are entered
};

// The entries of `directory` sorted by name; false when it cannot be listed.
bool ListDirectory(const std::string& directory, std::vector<Entry>& entries) {
  std::error_code error;
  fs::directory_iterator it(fs::path(directory), error);
  if (error) return false;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) return false;
    const fs::directory_entry& entry = *it;
    std::error_code ignored;
    entries.push_back({entry.path().filename().string(), entry.is_directory(ignored),
                       entry.symlink_status(ignored).type() == fs::file_type::directory});
  }
  if (error) return false;
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return true;
}

bool IsSourceTexture(const std::string& name) {
  const TextureType type = LookupTextureType(name);
  return type == TextureType::kM8 || type == TextureType::kM32;
}

}  // namespace

void WalkDirectory(const std::string& directory, const WalkOptions& options,
                   const FileAction& action, std::FILE* out, std::FILE* err) {
  if (options.verbose) std::fprintf(out, "\n\t%s...", directory.c_str());
  std::vector<Entry> entries;
  if (!ListDirectory(directory, entries)) {
    ReportError(out, err, "cannot read directory: " + directory);
  }
  const std::string prefix = directory + static_cast<char>(fs::path::preferred_separator);
  for (const Entry& entry : entries) {
    if (!entry.is_directory && IsSourceTexture(entry.name)) action(prefix + entry.name);
  }
  if (!options.recurse) return;
  for (const Entry& entry : entries) {
    if (entry.is_real_directory && entry.name != "." && entry.name != "..") {
      WalkDirectory(prefix + entry.name, options, action, out, err);
    }
  }
}

}  // namespace tarnvick
