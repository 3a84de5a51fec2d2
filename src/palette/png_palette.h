// The palette of a PNG file: the PLTE chunk of an indexed image, its checksum verified; and the
// palette as a PNG swatch, 16 x 16 pixels each showing its own entry.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "io/error.h"
#include "palette/palette.h"

namespace tarnvick {

// Whether `bytes` begin with the 8-byte PNG signature.
bool IsPng(std::span<const std::uint8_t> bytes);

// The PLTE entries (1 to 256) of the indexed PNG file `bytes`. The chunks up to PLTE are walked
// and their checksums verified. Fails with kBadPalette: `damaged PNG file` for a chunk that is
// cut short, malformed or fails its checksum, `PNG file without a palette` when the image is not
// indexed or has no PLTE before its pixels.
Result<PaletteColours> ParsePngPalette(std::span<const std::uint8_t> bytes);

// An 8-bit indexed PNG of 16 x 16 pixels, pixel (x, y) holding index 16y + x, with `palette` as
// its PLTE; fails only with kOutOfMemory.
Result<std::vector<std::uint8_t>> EncodePngPalette(const Palette& palette);

}  // namespace tarnvick
