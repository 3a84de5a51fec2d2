// Fuzz target: the text palettes (JASC-PAL and GIMP) on arbitrary bytes. A palette that reads is
// also written in both forms, each of which must read back as the same palette.
#include <cstddef>
#include <cstdint>
#include <string>

#include "palette/text_palette.h"

namespace {

void ExpectReadBack(const std::string& text, const tarnvick::Palette& palette) {
  const tarnvick::Result<tarnvick::PaletteColours> again =
      tarnvick::ParseTextPalette({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  if (!again || again->colours != tarnvick::kPaletteEntries || again->palette != palette) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const tarnvick::Result<tarnvick::PaletteColours> read = tarnvick::ParseTextPalette({data, size});
  if (!read) return 0;
  ExpectReadBack(tarnvick::EncodeJascPalette(read->palette), read->palette);
  ExpectReadBack(tarnvick::EncodeGimpPalette(read->palette, {reinterpret_cast<const char*>(data), size < 40 ? size : 40}),
                 read->palette);
  return 0;
}
