#include "palette/png_palette.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <numeric>

#include "texture/byte_order.h"
#include "texture/png_encoder.h"

namespace tarnvick {
namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr std::uint64_t kChunkFrame = 12;  // length, type and checksum
constexpr std::uint32_t kLongestChunk = 0x7FFFFFFF;

bool TypeIs(const std::uint8_t* type, const char (&name)[5]) { return std::equal(type, type + 4, name); }

Failure Damaged() { return Fail(ErrorKind::kBadPalette, "damaged PNG file"); }
Failure NoPalette() { return Fail(ErrorKind::kBadPalette, "PNG file without a palette"); }

}  // namespace

bool IsPng(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= kSignature.size() && std::equal(kSignature.begin(), kSignature.end(), bytes.begin());
}

Result<PaletteColours> ParsePngPalette(std::span<const std::uint8_t> bytes) {
  if (!IsPng(bytes)) return NoPalette();
  std::uint64_t at = kSignature.size();
  for (bool first = true;; first = false) {
    // A PNG ends with its IEND chunk: running out of bytes before it means the file was cut.
    if (bytes.size() - at < kChunkFrame) return Damaged();
    const std::uint8_t* chunk = bytes.data() + at;
    const std::uint32_t length = ReadBig32(chunk);
    if (length > kLongestChunk || bytes.size() - at - kChunkFrame < length) return Damaged();
    const std::uint8_t* type = chunk + 4;
    const std::uint8_t* data = chunk + 8;
    const uLong checksum = crc32(crc32(0L, Z_NULL, 0), type, static_cast<uInt>(4 + length));
    if (checksum != ReadBig32(data + length)) return Damaged();
    if (first) {
      // IHDR comes first; its tenth byte is the colour type, 3 for an indexed image.
      if (!TypeIs(type, "IHDR") || length != 13) return Damaged();
      if (data[9] != 3) return NoPalette();
    } else if (TypeIs(type, "PLTE")) {
      if (length == 0 || length % 3 != 0 || length > kPaletteFileSize) return Damaged();
      PaletteColours read;
      std::copy_n(data, length, read.palette.begin());
      read.colours = length / 3;
      return read;
    } else if (TypeIs(type, "IDAT") || TypeIs(type, "IEND")) {
      return NoPalette();
    }
    at += kChunkFrame + length;
  }
}

Result<std::vector<std::uint8_t>> EncodePngPalette(const Palette& palette) {
  constexpr std::uint32_t kSide = 16;
  std::array<std::uint8_t, kSide * kSide> pixels{};
  std::iota(pixels.begin(), pixels.end(), std::uint8_t{0});
  return EncodePng({kSide, kSide, pixels, palette});
}

}  // namespace tarnvick
