// The palette file, in the forms games and editors keep palettes in. Read, it is recognised by
// its content: a PNG, a JASC-PAL or a GIMP palette by their start, a PCX picture with a 256-colour
// palette when longer than 768 bytes. Text in none of these forms is refused, and so is UTF-16
// text; any other file is raw, its first 768 bytes the palette.
// Written, the form follows the extension of its name, in any case: `.pal` JASC-PAL, `.gpl` GIMP
// palette, `.png` a 16 x 16 swatch, `.pcx` a colormap picture; raw 768 bytes for any other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "io/error.h"
#include "io/file_ref.h"
#include "palette/palette.h"

namespace tarnvick {

enum class PaletteForm {
  kRaw,      // a file of at most 768 bytes, not all text: entry 0 first, no header of any kind
  kUnknown,  // a longer file in no known form, not text: its first 768 bytes, read as raw
  kPcx,
  kPng,
  kJasc,
  kGimp,
};

struct LoadedPalette {
  Palette palette{};
  PaletteForm form = PaletteForm::kRaw;
  // kRaw: the bytes of the file (1 to 768); kUnknown: 768; the other forms: the colours the file
  // holds (up to 256). The entries past them are black.
  std::size_t held = 0;
};

// A palette file is read whole: a larger one is refused unread.
inline constexpr std::size_t kMostPaletteFileBytes = std::size_t{64} << 20;

// The palette in `bytes`, the whole of a palette file. Fails with kEmptyFile, or kBadPalette and
// the format's reason for a recognised file that is not a usable palette, `UTF-16 text: save the
// palette as UTF-8` for bytes that begin with a UTF-16 byte-order mark, or `text in no known
// palette form` for other bytes in no known form whose first 768 are all text.
Result<LoadedPalette> ParsePaletteFile(std::span<const std::uint8_t> bytes);

// The palette in `file`. Fails also when the file cannot be opened, is not a regular file (it is
// then never opened), cannot be read or is larger than kMostPaletteFileBytes (kBadPalette).
Result<LoadedPalette> LoadPalette(const FileRef& file);

// The form a palette written to the path `name` takes.
PaletteForm PaletteFormFor(const std::string& name);

// Writes `palette` to `file` in the form its name asks for, replacing it atomically (through a
// link, the file it names); an existing file is left as it was when the write fails. A PNG that
// zlib cannot compress fails with kCannotWrite and ENOMEM.
Result<void> SavePalette(const FileRef& file, const Palette& palette);

}  // namespace tarnvick
