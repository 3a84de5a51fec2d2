// M32 reader. Limits it enforces on every file, whatever its header says:
// - the file holds its 968-byte header and the pixels of all 16 levels
//   (4 x the sum of width x height, computed exactly);
// - that pixel data fits a signed 32-bit byte count.
// Any version is accepted. Bytes after the last level are ignored; nothing is allocated before
// these checks pass.
#include "texture/m32_texture.h"

#include <cstring>
#include <limits>

#include "texture/byte_order.h"
#include "io/read_file.h"

namespace tarnvick {
namespace {

constexpr std::uint64_t kMaxPixels = std::numeric_limits<std::int32_t>::max() / 4;

template <std::size_t N>
void CopyBytes(std::array<std::uint8_t, N>& field, const std::uint8_t* data, std::size_t at) {
  std::memcpy(field.data(), data + at, N);
}

}  // namespace

Result<FileLayout> M32Texture::LayoutOf(std::span<const std::uint8_t> head) {
  if (head.size() < kHeaderSize) return FailTruncated(kHeaderSize, head.size());
  const std::uint8_t* data = head.data();
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < kLevels; ++i) {
    const std::uint64_t level =
        static_cast<std::uint64_t>(ReadU32(data + 516 + 4 * i)) * ReadU32(data + 580 + 4 * i);
    total += level <= kMaxPixels ? level : 0;
    if (level > kMaxPixels || total > kMaxPixels) return Fail(ErrorKind::kTooLarge);
  }
  return FileLayout{kHeaderSize + 4 * total, kHeaderSize};
}

Result<void> M32Texture::Parse(std::span<const std::uint8_t> file) {
  const Result<FileLayout> layout = LayoutOf(file);
  if (!layout) return Failure{layout.error()};
  if (file.size() < layout->size) return FailTruncated(layout->size, file.size());
  return Adopt(file.first(kHeaderSize),
               std::vector<std::uint8_t>(file.begin() + kHeaderSize,
                                         file.begin() + static_cast<std::ptrdiff_t>(layout->size)));
}

Result<void> M32Texture::Adopt(std::span<const std::uint8_t> head, std::vector<std::uint8_t> pixel_data) {
  const Result<FileLayout> layout = LayoutOf(head);
  if (!layout) return Failure{layout.error()};
  if (pixel_data.size() != layout->size - kHeaderSize) {
    return FailTruncated(layout->size, kHeaderSize + pixel_data.size());
  }
  const std::uint8_t* data = head.data();
  version = ReadU32(data);
  name.assign(data + 4, data + 132);
  CopyBytes(unknown_132, data, 132);
  animation_name.assign(data + 260, data + 388);
  CopyBytes(unknown_388, data, 388);
  width = ReadU32Table(data + 516, kLevels);
  height = ReadU32Table(data + 580, kLevels);
  offset = ReadU32Table(data + 644, kLevels);
  flags = ReadU32(data + 708);
  contents = ReadU32(data + 712);
  value = ReadU32(data + 716);
  CopyBytes(unknown_720, data, 720);
  CopyBytes(unknown_732, data, 732);
  CopyBytes(unknown_860, data, 860);
  CopyBytes(unknown_892, data, 892);

  byte_extent = static_cast<std::int32_t>(pixel_data.size());
  type = TextureType::kM32;
  bits_per_pixel = 32;
  pixels = std::move(pixel_data);
  return {};
}

}  // namespace tarnvick
