// PCX pictures with a 256-colour palette (8 bits a pixel, one plane, run-length encoded, the
// byte 12 and the 768 palette bytes as the file's last 769 bytes): their palette, and writing one.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "io/error.h"
#include "palette/palette.h"

namespace tarnvick {

// Whether `bytes` begin as a PCX file: byte 0 is 10 and byte 2 (the encoding) is 1.
bool IsPcx(std::span<const std::uint8_t> bytes);

// The 256-colour palette at the end of the PCX file `bytes`. Fails with kBadPalette (`PCX file
// without a 256-colour palette`) unless the picture is 8 bits a pixel in one plane and the file
// ends in the byte 12 and 768 bytes after its 128-byte header.
Result<PaletteColours> ParsePcxPalette(std::span<const std::uint8_t> bytes);

// The PCX file of a `width` x `height` picture (both 1 to 65535) of the 1-byte `pixels`, row
// after row, with `palette`.
std::vector<std::uint8_t> EncodePcx(std::uint16_t width, std::uint16_t height, std::span<const std::uint8_t> pixels,
                                    const Palette& palette);

}  // namespace tarnvick
