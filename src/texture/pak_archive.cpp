#include "texture/pak_archive.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "io/system.h"

namespace tarnvick {
namespace {

// Entries read at once: 64 KiB of directory.
constexpr std::uint64_t kEntriesAtOnce = 1024;

}  // namespace

std::optional<std::size_t> ArchivePrefix(const std::string& path) {
  for (auto cut = std::find_if(path.begin(), path.end(), IsSeparator); cut != path.end();
       cut = std::find_if(cut + 1, path.end(), IsSeparator)) {
    const std::string part(path.begin(), cut);
    if (IsPakName(part) && KindOfPath(part) == PathKind::kOther) return part.size();
  }
  return std::nullopt;
}

Result<PakArchive> PakArchive::Open(const FileRef& file) {
  Result<ScopedFile> opened = OpenRegularFile(file);
  if (!opened) return Failure{opened.error()};
  const Result<std::uint64_t> size = SizeOfOpenFile(opened->get());
  if (!size) return Failure{size.error()};
  std::array<std::uint8_t, kPakHeaderSize> head{};
  const Result<std::size_t> got = ReadAt(opened->get(), head.data(), head.size(), 0);
  if (!got) return Failure{got.error()};
  const Result<PakDirectory> directory = ParsePakHeader(std::span(head).first(*got), *size);
  if (!directory) return Failure{directory.error()};
  return PakArchive(std::make_shared<const ScopedFile>(std::move(*opened)), *size, *directory);
}

Result<void> PakArchive::ForEachEntry(const std::function<void(const PakEntry&)>& visit) const {
  std::vector<std::uint8_t> piece;
  for (std::uint64_t first = 0; first < directory_.count; first += kEntriesAtOnce) {
    const std::uint64_t count = std::min(kEntriesAtOnce, directory_.count - first);
    piece.resize(static_cast<std::size_t>(count * kPakEntrySize));
    const Result<std::size_t> got =
        ReadAt(file_->get(), piece.data(), piece.size(), directory_.offset + first * kPakEntrySize);
    if (!got) return Failure{got.error()};
    if (*got != piece.size()) return Fail(ErrorKind::kReadError, "the file shrank");
    for (std::uint64_t i = 0; i < count; ++i) {
      visit(ParsePakEntry(std::span<const std::uint8_t, kPakEntrySize>(piece.data() + i * kPakEntrySize, kPakEntrySize)));
    }
  }
  return {};
}

Result<PakEntry> PakArchive::EntryAt(std::uint64_t index) const {
  if (index >= directory_.count) return Fail(ErrorKind::kReadError, "no such entry");
  std::array<std::uint8_t, kPakEntrySize> bytes{};
  const Result<std::size_t> got = ReadAt(file_->get(), bytes.data(), bytes.size(), directory_.offset + index * kPakEntrySize);
  if (!got) return Failure{got.error()};
  if (*got != bytes.size()) return Fail(ErrorKind::kReadError, "the file shrank");
  return ParsePakEntry(bytes);
}

FilePart PakArchive::PartOf(const PakEntry& entry) const {
  return {file_, static_cast<std::uint64_t>(entry.offset), static_cast<std::uint64_t>(entry.size)};
}

Result<FilePart> PakArchive::Find(std::string name) const {
  std::replace(name.begin(), name.end(), '\\', '/');
  std::optional<PakEntry> found;
  const Result<void> listed = ForEachEntry([&](const PakEntry& entry) {
    if (!found && SameEntryName(entry.name, name)) found = entry;
  });
  if (!listed) return Failure{listed.error()};
  if (!found) return Fail(ErrorKind::kBadEntry, "no such entry in the archive");
  if (!LiesWithin(*found, size_)) return Fail(ErrorKind::kBadEntry, "outside the archive");
  return PartOf(*found);
}

}  // namespace tarnvick
