// Text palettes as paint programs and level editors keep them: JASC-PAL (a first line
// `JASC-PAL`, `0100`, the count, then a line `R G B` an entry, or `R G B A` with an alpha that is
// not kept) and GIMP palettes (a first line `GIMP Palette`, then `R G B name` lines among
// `Name:`, `Columns:`, comment and blank lines). The first line is matched in either case, after
// a UTF-8 byte-order mark if there is one. Lines end at LF, or at CR in a text without an LF;
// spaces, tabs and CRs at either end of a line are ignored.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "io/error.h"
#include "palette/palette.h"

namespace tarnvick {

enum class TextPaletteKind { kNone, kJasc, kGimp };

// Which text palette `bytes` begin as: their first line is `JASC-PAL` or `GIMP Palette`.
TextPaletteKind TextPaletteKindOf(std::span<const std::uint8_t> bytes);

// The colours of a JASC or GIMP palette (as its first line says). Fails with kBadPalette and
// `line L: WHAT` for the first line that is not what the format wants there, or `file ends after
// N of M colours` for a JASC palette with only blank lines left before its count of colours.
Result<PaletteColours> ParseTextPalette(std::span<const std::uint8_t> bytes);

// The JASC-PAL file of `palette`: 256 entries, CR LF line ends.
std::string EncodeJascPalette(const Palette& palette);

// The GIMP palette file of `palette`, named `name`, 16 columns: 256 lines `RRR GGG BBB\tIndex N`
// with the numbers right-aligned, LF line ends.
std::string EncodeGimpPalette(const Palette& palette, std::string_view name);

}  // namespace tarnvick
