#include "pak_encoder.h"

#include <algorithm>

namespace tarnvick::samples {

void PutI32(std::vector<std::uint8_t>& bytes, std::size_t at, std::int32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
}

std::vector<std::uint8_t> EncodePak(const std::vector<PakFileEntry>& entries) {
  std::vector<std::uint8_t> archive = {'P', 'A', 'C', 'K', 0, 0, 0, 0, 0, 0, 0, 0};
  std::vector<std::uint8_t> directory;
  for (const PakFileEntry& entry : entries) {
    std::vector<std::uint8_t> field(64, 0);
    std::copy_n(entry.name.begin(), std::min<std::size_t>(entry.name.size(), 56), field.begin());
    PutI32(field, 56, static_cast<std::int32_t>(archive.size()));
    PutI32(field, 60, static_cast<std::int32_t>(entry.data.size()));
    archive.insert(archive.end(), entry.data.begin(), entry.data.end());
    directory.insert(directory.end(), field.begin(), field.end());
  }
  PutI32(archive, 4, static_cast<std::int32_t>(archive.size()));
  PutI32(archive, 8, static_cast<std::int32_t>(directory.size()));
  archive.insert(archive.end(), directory.begin(), directory.end());
  return archive;
}

}  // namespace tarnvick::samples
