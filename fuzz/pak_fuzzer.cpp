// Fuzz target: the PAK archive reader on arbitrary bytes, read from a file as the walk reads an
// archive. Every entry a walk would hand on is loaded as a texture from its place in the archive;
// a name taken as safe must stay inside the archive's folder; the directory of the
// entries read, written again, must read back the same; Find must find what the walk met.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "texture/create_texture.h"
#include "texture/pak_archive.h"

namespace {

// The one file every input is written to, removed when the run ends (kept alive to the very end,
// for the handler that removes it).
const std::string& ArchivePath() {
  static const std::string* const path = [] {
    const auto* made = new std::string(
        (std::filesystem::temp_directory_path() / ("tarnvick-pak-fuzz-" + std::to_string(::getpid()) + ".pak")).string());
    std::atexit([] { std::filesystem::remove(ArchivePath()); });
    return made;
  }();
  return *path;
}

// Whether the safe `name` joined to a folder names something inside it.
bool StaysInside(const std::string& name) {
  const std::filesystem::path joined = (std::filesystem::path("root") / name).lexically_normal();
  const std::string text = joined.generic_string();
  return text.starts_with("root/") && text.size() > 5 && joined.filename() != "..";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (FILE* file = std::fopen(ArchivePath().c_str(), "wb")) {
    const bool written = std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written) std::abort();
  } else {
    std::abort();
  }
  const tarnvick::Result<tarnvick::PakArchive> archive = tarnvick::PakArchive::Open({tarnvick::kWorkingDirectory, ArchivePath()});
  if (!archive) return 0;
  std::vector<tarnvick::PakEntry> written;
  std::vector<tarnvick::PakEntry> read;
  (void)archive->ForEachEntry([&](const tarnvick::PakEntry& entry) {
    read.push_back(entry);
    if (entry.terminated && entry.name.size() < tarnvick::kPakNameField && entry.offset >= 0 && entry.size >= 0) {
      written.push_back(entry);
    }
    if (!tarnvick::IsSafeEntryName(entry)) return;
    if (!StaysInside(entry.name)) __builtin_trap();
    if (!tarnvick::LiesWithin(entry, archive->size())) return;
    const tarnvick::Result<tarnvick::FilePart> found = archive->Find(entry.name);
    if (!found && found.error().kind != tarnvick::ErrorKind::kBadEntry) return;  // the file could not be read again
    if (found && found->offset + found->size > archive->size()) __builtin_trap();
    // Loaded from its place as the walk's caller loads it; what a texture goes through next is
    // the texture targets' to fuzz.
    (void)tarnvick::CreateTexture({tarnvick::kWorkingDirectory, entry.name}, archive->PartOf(entry));
  });
  // The entries written again read back as they were.
  for (std::size_t i = 0; i < written.size(); ++i) {
    const auto bytes = tarnvick::EncodePakEntry(written[i].name, static_cast<std::uint32_t>(written[i].offset),
                                                static_cast<std::uint32_t>(written[i].size));
    const tarnvick::PakEntry again = tarnvick::ParsePakEntry(bytes);
    if (again.name != written[i].name || again.offset != written[i].offset || again.size != written[i].size) __builtin_trap();
  }
  return 0;
}
