#include "texture/pak_format.h"

#include <algorithm>
#include <cstring>

#include "texture/byte_order.h"

namespace tarnvick {
namespace {

std::int64_t ReadI32(const std::uint8_t* p) { return static_cast<std::int32_t>(ReadU32(p)); }

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

Result<PakDirectory> ParsePakHeader(std::span<const std::uint8_t> head, std::uint64_t file_size) {
  if (head.size() < kPakHeaderSize || std::memcmp(head.data(), "PACK", 4) != 0) {
    return Fail(ErrorKind::kBadArchive, "not a PAK archive");
  }
  const std::int64_t offset = ReadI32(head.data() + 4), length = ReadI32(head.data() + 8);
  if (offset < 0 || length < 0 || static_cast<std::uint64_t>(offset + length) > file_size) {
    return Fail(ErrorKind::kBadArchive, "directory outside the file");
  }
  if (length % kPakEntrySize != 0) return Fail(ErrorKind::kBadArchive, "directory length not a multiple of 64");
  return PakDirectory{static_cast<std::uint64_t>(offset), static_cast<std::uint64_t>(length) / kPakEntrySize};
}

PakEntry ParsePakEntry(std::span<const std::uint8_t, kPakEntrySize> bytes) {
  PakEntry entry;
  const auto field = bytes.first<kPakNameField>();
  const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
  entry.terminated = end != field.end();
  entry.name.assign(field.begin(), end);
  std::replace(entry.name.begin(), entry.name.end(), '\\', '/');
  entry.offset = ReadI32(bytes.data() + kPakNameField);
  entry.size = ReadI32(bytes.data() + kPakNameField + 4);
  return entry;
}

bool IsSafeEntryName(const PakEntry& entry) {
  const std::string& name = entry.name;
  if (!entry.terminated || name.empty() || name.front() == '/') return false;
  const bool bytes_fit = std::none_of(name.begin(), name.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 32 || byte == 127 || c == ':';
  });
  if (!bytes_fit) return false;
  for (std::size_t start = 0; start <= name.size();) {
    const std::size_t end = std::min(name.find('/', start), name.size());
    const std::string_view part = std::string_view(name).substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = end + 1;
  }
  return true;
}

bool LiesWithin(const PakEntry& entry, std::uint64_t file_size) {
  return entry.offset >= 0 && entry.size >= 0 && static_cast<std::uint64_t>(entry.offset + entry.size) <= file_size;
}

bool SameEntryName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

bool IsPakName(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  return dot != std::string_view::npos && SameEntryName(name.substr(dot), ".pak");
}

std::string EntryNameKey(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(), [](char c) { return c == '\\' ? '/' : LowerAscii(c); });
  return name;
}

std::array<std::uint8_t, kPakHeaderSize> EncodePakHeader(std::uint32_t directory_offset, std::size_t count) {
  std::array<std::uint8_t, kPakHeaderSize> header{'P', 'A', 'C', 'K'};
  WriteU32(header.data() + 4, directory_offset);
  WriteU32(header.data() + 8, static_cast<std::uint32_t>(count * kPakEntrySize));
  return header;
}

std::array<std::uint8_t, kPakEntrySize> EncodePakEntry(std::string_view name, std::uint32_t offset, std::uint32_t size) {
  std::array<std::uint8_t, kPakEntrySize> entry{};
  std::copy_n(name.begin(), std::min(name.size(), kPakNameField - 1), entry.begin());
  WriteU32(entry.data() + kPakNameField, offset);
  WriteU32(entry.data() + kPakNameField + 4, size);
  return entry;
}

}  // namespace tarnvick
