// PCX reader. The header is 128 bytes (the format's mark 10 at 0, encoding 1 at 2, bits a pixel
// at 3, the first and last column and row as 16-bit little-endian numbers at 4, 6, 8 and 10, the
// planes at 65 and the bytes of each line at 66); the palette is the file's last 768 bytes, after
// the byte 12. Between them, the lines: a byte with both top bits set repeats the next byte its
// low six bits' times, any other byte stands for itself. Each line holds its bytes-per-line;
// those past the width are padding. A run may go on into the next line (some writers do that);
// what is left of a run at the end of the last line is ignored.
#include "texture/pcx_picture.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "texture/picture_texture.h"

namespace tarnvick {
namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kPaletteSize = 768;
constexpr std::uint8_t kPaletteMark = 12;
constexpr std::uint8_t kRunMark = 0xC0;  // both top bits set: a run, of the low six bits' count
constexpr std::uint8_t kCountBits = 0x3F;
constexpr std::size_t kLongestRun = 63;
constexpr std::uint8_t kTransparentIndex = 255;
constexpr std::string_view kEndsEarly = "run-length data ends early";

std::uint16_t Read16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

Result<std::unique_ptr<Texture>> DecodePcxPicture(std::span<const std::uint8_t> bytes) {
  const std::uint8_t* const head = bytes.data();
  if (bytes.size() < kHeaderSize + 1 + kPaletteSize || head[0] != 10 || head[2] != 1 || head[3] != 8 ||
      head[65] != 1 || bytes[bytes.size() - kPaletteSize - 1] != kPaletteMark) {
    return Fail(ErrorKind::kBadPicture, "PCX picture is not 8-bit with 256 colours");
  }
  const std::int64_t width = std::int64_t{Read16(head + 8)} - Read16(head + 4) + 1;
  const std::int64_t height = std::int64_t{Read16(head + 10)} - Read16(head + 6) + 1;
  if (Result<void> size = CheckPictureSize(width, height); !size) return Failure{size.error()};
  const std::size_t line_bytes = Read16(head + 66);
  if (line_bytes < static_cast<std::size_t>(width)) {
    return CannotDecodePicture("PCX lines of " + std::to_string(line_bytes) + " bytes are shorter than its width");
  }

  const std::uint8_t* const palette = bytes.data() + bytes.size() - kPaletteSize;
  const std::span<const std::uint8_t> runs = bytes.subspan(kHeaderSize, bytes.size() - kHeaderSize - 1 - kPaletteSize);
  // Two bytes give at most a run of 63: fewer cannot hold the lines, whatever they say, and the
  // pixels are not allocated for them.
  if (runs.size() * kLongestRun < line_bytes * static_cast<std::size_t>(height) * 2) {
    return CannotDecodePicture(kEndsEarly);
  }
  std::unique_ptr<Texture> texture =
      NewPictureTexture(TextureType::kPcx, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
  std::size_t at = 0;      // in `runs`
  std::size_t repeat = 0;  // what is left of the current run
  std::uint8_t value = 0;
  // The next byte of the lines; none when the runs end before.
  const auto next = [&]() -> std::optional<std::uint8_t> {
    while (repeat == 0) {  // a run of no bytes (count 0) is passed over
      if (at == runs.size()) return std::nullopt;
      value = runs[at++];
      repeat = 1;
      if ((value & kRunMark) == kRunMark) {
        if (at == runs.size()) return std::nullopt;
        repeat = value & kCountBits;
        value = runs[at++];
      }
    }
    --repeat;
    return value;
  };
  std::vector<std::uint8_t> line(line_bytes);
  std::uint8_t* out = texture->pixels.data();
  for (std::int64_t y = 0; y < height; ++y) {
    for (std::uint8_t& byte : line) {
      const std::optional<std::uint8_t> read = next();
      if (!read) return CannotDecodePicture(kEndsEarly);
      byte = *read;
    }
    for (std::int64_t x = 0; x < width; ++x, out += 4) {
      const std::uint8_t index = line[static_cast<std::size_t>(x)];
      std::copy_n(palette + 3 * std::size_t{index}, 3, out);
      out[3] = index == kTransparentIndex ? 0 : 255;
    }
  }
  return texture;
}

}  // namespace tarnvick
