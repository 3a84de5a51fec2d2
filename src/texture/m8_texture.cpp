// M8 reader. Limits it enforces on every file, whatever its header says:
// - the version is at most 4 (8 levels up to version 1, 16 from version 2);
// - the file holds its whole header and every stored level's indices
//   (T = sum of width x height over the levels, computed exactly);
// - 3 x T (the bytes the pixels would take as colours) fits a signed 32-bit byte count.
// Bytes after the last level are ignored; nothing is allocated before these checks pass. The
// indices are kept as they are (one byte a pixel) with the palette that colours them.
#include "texture/m8_texture.h"

#include <cstring>
#include <limits>

#include "texture/byte_order.h"
#include "io/read_file.h"

namespace tarnvick {
namespace {

constexpr std::uint64_t kMaxIndices = std::numeric_limits<std::int32_t>::max() / 3;

struct Layout {
  std::size_t levels;
  std::size_t width;  // offsets of the fields
  std::size_t height;
  std::size_t offset;
  std::size_t animation_name;
  std::size_t palette;
  std::size_t flags;
  std::size_t header;  // where the indices start
};

// Versions 0 and 1 (and negative ones) carry 8 levels; 2 and 3 carry 16; version 4 has 16 levels
// and two blocks that are skipped: 480 bytes after the name and 228 after the animation name.
Layout LayoutFor(std::int32_t version) {
  if (version <= 1) return {8, 36, 68, 100, 132, 164, 932, 944};
  if (version <= 3) return {16, 36, 100, 164, 228, 260, 1028, 1040};
  return {16, 516, 580, 644, 708, 968, 1736, 1748};
}

}  // namespace

Result<FileLayout> M8Texture::LayoutOf(std::span<const std::uint8_t> head) {
  const std::uint8_t* data = head.data();
  const std::size_t size = head.size();
  if (size < 4) return FailTruncated(4, size);
  const auto file_version = static_cast<std::int32_t>(ReadU32(data));
  if (file_version > kNewestVersion) {
    return Fail(ErrorKind::kUnsupportedVersion, std::to_string(file_version));
  }
  const Layout layout = LayoutFor(file_version);
  if (size < layout.header) return FailTruncated(layout.header, size);
  std::uint64_t indices = 0;
  for (std::size_t i = 0; i < layout.levels; ++i) {
    const std::uint64_t w = ReadU32(data + layout.width + 4 * i);
    const std::uint64_t h = ReadU32(data + layout.height + 4 * i);
    const std::uint64_t level = w * h;  // exact: both factors are below 2^32
    indices += level <= kMaxIndices ? level : 0;
    if (level > kMaxIndices || indices > kMaxIndices) return Fail(ErrorKind::kTooLarge);
  }
  return FileLayout{layout.header + indices, layout.header};
}

Result<void> M8Texture::Parse(std::span<const std::uint8_t> file) {
  const Result<FileLayout> layout = LayoutOf(file);
  if (!layout) return Failure{layout.error()};
  if (file.size() < layout->size) return FailTruncated(layout->size, file.size());
  return Adopt(file.first(static_cast<std::size_t>(layout->body)),
               std::vector<std::uint8_t>(file.begin() + static_cast<std::ptrdiff_t>(layout->body),
                                         file.begin() + static_cast<std::ptrdiff_t>(layout->size)));
}

Result<void> M8Texture::Adopt(std::span<const std::uint8_t> head, std::vector<std::uint8_t> indices) {
  const Result<FileLayout> file_layout = LayoutOf(head);
  if (!file_layout) return Failure{file_layout.error()};
  if (indices.size() != file_layout->size - file_layout->body) {
    return FailTruncated(file_layout->size, file_layout->body + indices.size());
  }
  const std::uint8_t* data = head.data();
  version = static_cast<std::int32_t>(ReadU32(data));
  const Layout layout = LayoutFor(version);
  name.assign(data + 4, data + 36);
  width = ReadU32Table(data + layout.width, layout.levels);
  height = ReadU32Table(data + layout.height, layout.levels);
  offset = ReadU32Table(data + layout.offset, layout.levels);
  animation_name.assign(data + layout.animation_name, data + layout.animation_name + 32);
  std::memcpy(palette.data(), data + layout.palette, palette.size());
  flags = ReadU32(data + layout.flags);
  contents = ReadU32(data + layout.flags + 4);
  value = ReadU32(data + layout.flags + 8);

  byte_extent = static_cast<std::int32_t>(static_cast<std::uint64_t>(width[0]) * height[0]);
  type = TextureType::kM8;
  bits_per_pixel = 8;
  pixels = std::move(indices);
  return {};
}

}  // namespace tarnvick
