// Fuzz target: the binary palette files (PCX, PNG, raw) on arbitrary bytes, through the reader
// that recognises them and through the PCX and PNG readers on their own. A palette that reads is
// also written as a PNG swatch, which must read back as the same palette.
#include <cstddef>
#include <cstdint>

#include "palette/palette_file.h"
#include "palette/pcx_palette.h"
#include "palette/png_palette.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  (void)tarnvick::ParsePcxPalette(bytes);
  (void)tarnvick::ParsePngPalette(bytes);
  const tarnvick::Result<tarnvick::LoadedPalette> loaded = tarnvick::ParsePaletteFile(bytes);
  if (!loaded) return 0;
  const tarnvick::Result<std::vector<std::uint8_t>> png = tarnvick::EncodePngPalette(loaded->palette);
  if (!png) return 0;
  const tarnvick::Result<tarnvick::PaletteColours> again = tarnvick::ParsePngPalette(*png);
  if (!again || again->colours != tarnvick::kPaletteEntries || again->palette != loaded->palette) __builtin_trap();
  return 0;
}
