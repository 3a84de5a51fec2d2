// Encoding PNG, TGA, BMP and PCX pictures byte by byte from a plain description (RGBA pixels and
// the form wanted), for the picture sample library, the tests and the fuzz seeds. Written from
// the file formats, independently of any decoder. A description the form cannot hold (a size out
// of range, more colours than a palette has entries, a depth the colour type lacks) throws
// std::invalid_argument: these are the tool's own inputs, never a user's file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarnvick::samples {

struct Picture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> rgba;  // row by row from the top, 4 bytes a pixel: red, green, blue, alpha
};

// PNG. Grey forms take the red byte as the grey level. At 16 bits every sample's high byte is the
// 8-bit one and its low byte that XOR 0x80, so that a decoder keeping the high byte and one
// rounding v * 255 / 65535 both give the 8-bit picture back, and a swapped byte order shows. At
// 1, 2 or 4 bits a grey level keeps its top bits. A palette holds the picture's distinct RGBA
// colours in the order they first appear, with a tRNS chunk when one of them is not opaque.
enum class PngColour : std::uint8_t { kGrey = 0, kRgb = 2, kPalette = 3, kGreyAlpha = 4, kRgba = 6 };

struct PngForm {
  PngColour colour = PngColour::kRgba;
  int bit_depth = 8;           // 8 or 16; 1, 2 or 4 for grey and palette (palette: not 16)
  bool interlaced = false;     // Adam7
  bool varied_filters = false; // rows filtered by types 0 to 4 in turn; else every row type 0
  std::size_t idat_size = 0;   // at most this many compressed bytes an IDAT chunk; 0: one IDAT
};

std::vector<std::uint8_t> EncodePng(const Picture& picture, const PngForm& form);

// TGA, with no colour map unless colour-mapped. Pixels are stored blue, green, red (then alpha);
// at 16 bits as 5-5-5 with the attribute bit set where alpha is 128 or more; grey takes the red
// byte. A colour map holds the picture's distinct colours (RGBA with 32-bit entries, else RGB) in
// the order they first appear, indexed by 8 bits. Run-length coded packets never cross a row.
struct TgaForm {
  std::uint8_t image_type = 2;  // 1 colour-mapped, 2 true colour, 3 grey; 9, 10, 11 those run-length coded
  std::uint8_t bits = 24;       // true colour: 16, 24 or 32; colour-mapped: the entries' 24 or 32; grey: 8
  bool top_left = false;        // rows from the top (descriptor bit 5); else from the bottom
  std::string id = {};          // the image ID field, at most 255 bytes
};

std::vector<std::uint8_t> EncodeTga(const Picture& picture, const TgaForm& form);

// BMP with a 40-byte info header, uncompressed (BI_RGB), each row padded to 4 bytes. 32 bits a
// pixel are blue, green, red, alpha; 8 bits index a palette of the picture's distinct RGB colours
// in the order they first appear (at most 256).
struct BmpForm {
  std::uint16_t bits = 24;  // 8, 24 or 32
  bool top_down = false;    // rows from the top (a negative height); else from the bottom
};

std::vector<std::uint8_t> EncodeBmp(const Picture& picture, const BmpForm& form);

// PCX version 5: 8 bits a pixel in one plane, run-length coded a row at a time (rows padded to an
// even number of bytes with index 0), then the byte 12 and a 256-colour palette of the picture's
// distinct RGB colours in the order they first appear (at most 256; the rest black).
std::vector<std::uint8_t> EncodePcx(const Picture& picture);

}  // namespace tarnvick::samples
