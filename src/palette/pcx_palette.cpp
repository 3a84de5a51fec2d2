#include "palette/pcx_palette.h"

#include <algorithm>

namespace tarnvick {
namespace {

constexpr std::size_t kHeader = 128;
constexpr std::uint8_t kPaletteMark = 12;
constexpr std::size_t kLongestRun = 63;
constexpr std::uint8_t kRunMark = 0xC0;  // a byte with both top bits set counts a run

void Put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t value) {
  out[at] = static_cast<std::uint8_t>(value & 0xFF);
  out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace

bool IsPcx(std::span<const std::uint8_t> bytes) { return bytes.size() > 2 && bytes[0] == 10 && bytes[2] == 1; }

Result<PaletteColours> ParsePcxPalette(std::span<const std::uint8_t> bytes) {
  const std::size_t tail = 1 + kPaletteFileSize;
  if (!IsPcx(bytes) || bytes.size() < kHeader + tail || bytes[3] != 8 || bytes[65] != 1 ||
      bytes[bytes.size() - tail] != kPaletteMark) {
    return Fail(ErrorKind::kBadPalette, "PCX file without a 256-colour palette");
  }
  PaletteColours read;
  std::copy(bytes.end() - static_cast<std::ptrdiff_t>(kPaletteFileSize), bytes.end(), read.palette.begin());
  read.colours = kPaletteEntries;
  return read;
}

std::vector<std::uint8_t> EncodePcx(std::uint16_t width, std::uint16_t height, std::span<const std::uint8_t> pixels,
                                    const Palette& palette) {
  // Lines hold an even number of bytes: an odd width is padded with a zero.
  const std::uint16_t line_bytes = static_cast<std::uint16_t>(width + (width & 1));
  std::vector<std::uint8_t> out(kHeader, 0);
  out[0] = 10;  // the format's mark
  out[1] = 5;   // version 3.0, with a 256-colour palette
  out[2] = 1;   // run-length encoded
  out[3] = 8;   // bits a pixel
  Put16(out, 8, static_cast<std::uint16_t>(width - 1));   // the last column
  Put16(out, 10, static_cast<std::uint16_t>(height - 1));  // the last row
  Put16(out, 12, 72);                                      // dots per inch
  Put16(out, 14, 72);
  out[65] = 1;  // planes
  Put16(out, 66, line_bytes);
  Put16(out, 68, 1);  // a colour picture
  std::vector<std::uint8_t> line(line_bytes, 0);
  for (std::size_t y = 0; y < height; ++y) {
    std::copy_n(pixels.begin() + static_cast<std::ptrdiff_t>(y * width), width, line.begin());
    // Runs end at the end of a line; a lone byte is itself unless it would read as a run count.
    for (std::size_t x = 0; x < line.size();) {
      std::size_t run = 1;
      while (x + run < line.size() && run < kLongestRun && line[x + run] == line[x]) ++run;
      if (run > 1 || line[x] >= kRunMark) out.push_back(static_cast<std::uint8_t>(kRunMark | run));
      out.push_back(line[x]);
      x += run;
    }
  }
  out.push_back(kPaletteMark);
  out.insert(out.end(), palette.begin(), palette.end());
  return out;
}

}  // namespace tarnvick
