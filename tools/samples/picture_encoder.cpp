#include "picture_encoder.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <span>
#include <stdexcept>

namespace tarnvick::samples {
namespace {

using Bytes = std::vector<std::uint8_t>;

void PutLe16(Bytes& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutLe32(Bytes& out, std::uint32_t v) {
  PutLe16(out, v);
  PutLe16(out, v >> 16);
}

void PutBe32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void Require(bool condition, const char* what) {
  if (!condition) throw std::invalid_argument(what);
}

void CheckPicture(const Picture& picture, std::uint64_t largest_side) {
  Require(picture.width > 0 && picture.height > 0 && picture.width <= largest_side && picture.height <= largest_side,
          "picture size out of range");
  Require(picture.rgba.size() == 4 * std::uint64_t{picture.width} * picture.height, "pixels do not match the size");
}

const std::uint8_t* PixelAt(const Picture& picture, std::uint32_t x, std::uint32_t y) {
  return picture.rgba.data() + 4 * (std::size_t{y} * picture.width + x);
}

// The picture's distinct colours in the order they first appear (alpha counted, or taken as
// opaque), and each pixel's index among them.
struct Palette {
  std::vector<std::array<std::uint8_t, 4>> colours;
  std::vector<std::uint8_t> indices;
};

Palette PaletteOf(const Picture& picture, bool with_alpha, std::size_t most) {
  Palette palette;
  std::map<std::array<std::uint8_t, 4>, std::uint8_t> index_of;
  for (std::size_t i = 0; i < picture.rgba.size(); i += 4) {
    const std::array<std::uint8_t, 4> colour = {picture.rgba[i], picture.rgba[i + 1], picture.rgba[i + 2],
                                                with_alpha ? picture.rgba[i + 3] : std::uint8_t{255}};
    auto [at, added] = index_of.try_emplace(colour, static_cast<std::uint8_t>(palette.colours.size()));
    if (added) {
      Require(palette.colours.size() < most, "more colours than the palette holds");
      palette.colours.push_back(colour);
    }
    palette.indices.push_back(at->second);
  }
  return palette;
}

// PNG.

void PutChunk(Bytes& out, const char* type, const Bytes& data) {
  PutBe32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  const uLong crc = crc32(0, out.data() + start, static_cast<uInt>(out.size() - start));
  PutBe32(out, static_cast<std::uint32_t>(crc));
}

int Channels(PngColour colour) {
  switch (colour) {
    case PngColour::kGrey: case PngColour::kPalette: return 1;
    case PngColour::kGreyAlpha: return 2;
    case PngColour::kRgb: return 3;
    case PngColour::kRgba: return 4;
  }
  return 0;
}

// The samples of one pixel at the form's depth (a palette index as it is).
std::array<std::uint32_t, 4> Samples(const Picture& picture, const Palette& palette, const PngForm& form,
                                     std::uint32_t x, std::uint32_t y) {
  const std::uint8_t* p = PixelAt(picture, x, y);
  std::array<std::uint32_t, 4> bytes{};
  switch (form.colour) {
    case PngColour::kPalette: return {palette.indices[std::size_t{y} * picture.width + x]};
    case PngColour::kGrey: bytes = {p[0]}; break;
    case PngColour::kGreyAlpha: bytes = {p[0], p[3]}; break;
    case PngColour::kRgb: bytes = {p[0], p[1], p[2]}; break;
    case PngColour::kRgba: bytes = {p[0], p[1], p[2], p[3]}; break;
  }
  for (std::uint32_t& b : bytes) b = form.bit_depth == 16 ? (b << 8 | (b ^ 0x80)) : b >> (8 - form.bit_depth);
  return bytes;
}

std::uint8_t Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a);
  const int pb = std::abs(p - b);
  const int pc = std::abs(p - c);
  return static_cast<std::uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Appends the filter byte and the row filtered by `type` against the row above (`prior`, zeros
// for a pass's first row); `bpp` is the filter's distance, the bytes of a pixel (at least 1).
void PutFilteredRow(Bytes& out, const Bytes& row, const Bytes& prior, std::size_t bpp, int type) {
  out.push_back(static_cast<std::uint8_t>(type));
  for (std::size_t i = 0; i < row.size(); ++i) {
    const int a = i >= bpp ? row[i - bpp] : 0;
    const int b = prior[i];
    const int c = i >= bpp ? prior[i - bpp] : 0;
    const int predicted = type == 1 ? a : type == 2 ? b : type == 3 ? (a + b) / 2 : type == 4 ? Paeth(a, b, c) : 0;
    out.push_back(static_cast<std::uint8_t>(row[i] - predicted));
  }
}

// The filtered rows of every pass (one pass of the whole picture when not interlaced).
Bytes FilteredRows(const Picture& picture, const Palette& palette, const PngForm& form) {
  struct Pass {
    std::uint32_t x0, y0, dx, dy;
  };
  static constexpr Pass kWhole[] = {{0, 0, 1, 1}};
  static constexpr Pass kAdam7[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                    {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  const int channels = Channels(form.colour);
  const std::size_t bits_per_pixel = static_cast<std::size_t>(channels * form.bit_depth);
  const std::size_t bpp = std::max<std::size_t>(1, bits_per_pixel / 8);
  Bytes out;
  int row_number = 0;
  for (const Pass& pass : form.interlaced ? std::span<const Pass>(kAdam7) : std::span<const Pass>(kWhole)) {
    if (pass.x0 >= picture.width || pass.y0 >= picture.height) continue;
    const std::uint32_t pass_width = (picture.width - pass.x0 + pass.dx - 1) / pass.dx;
    Bytes prior((pass_width * bits_per_pixel + 7) / 8, 0);
    for (std::uint32_t y = pass.y0; y < picture.height; y += pass.dy) {
      Bytes row(prior.size(), 0);
      std::size_t bit = 0;
      for (std::uint32_t x = pass.x0; x < picture.width; x += pass.dx) {
        const std::array<std::uint32_t, 4> samples = Samples(picture, palette, form, x, y);
        for (int c = 0; c < channels; ++c) {
          const std::uint32_t s = samples[static_cast<std::size_t>(c)];
          if (form.bit_depth == 16) {
            row[bit / 8] = static_cast<std::uint8_t>(s >> 8);
            row[bit / 8 + 1] = static_cast<std::uint8_t>(s);
          } else {
            // Most significant bits first within a byte.
            row[bit / 8] |= static_cast<std::uint8_t>(s << (8 - form.bit_depth - bit % 8));
          }
          bit += static_cast<std::size_t>(form.bit_depth);
        }
      }
      PutFilteredRow(out, row, prior, bpp, form.varied_filters ? row_number % 5 : 0);
      ++row_number;
      prior = std::move(row);
    }
  }
  return out;
}

// TGA.

void PutTgaPixel(Bytes& out, const std::uint8_t* p, int bits) {
  if (bits == 16) {
    PutLe16(out, (p[3] >= 128 ? 0x8000u : 0u) | (p[0] >> 3u) << 10 | (p[1] >> 3u) << 5 | (p[2] >> 3u));
    return;
  }
  out.insert(out.end(), {p[2], p[1], p[0]});
  if (bits == 32) out.push_back(p[3]);
}

// One row of `count` pixels of `size` bytes each in run-length packets: a run of two or more
// equal pixels is one packet, anything between runs raw packets, 128 pixels at most a packet.
void PutTgaPackets(Bytes& out, const std::uint8_t* row, std::size_t count, std::size_t size) {
  const auto same = [&](std::size_t i, std::size_t j) { return std::equal(row + i * size, row + (i + 1) * size, row + j * size); };
  std::size_t i = 0;
  while (i < count) {
    std::size_t run = 1;
    while (i + run < count && run < 128 && same(i, i + run)) ++run;
    if (run >= 2) {
      out.push_back(static_cast<std::uint8_t>(0x80 | (run - 1)));
      out.insert(out.end(), row + i * size, row + (i + 1) * size);
      i += run;
      continue;
    }
    std::size_t raw = 1;
    while (i + raw < count && raw < 128 && !(i + raw + 1 < count && same(i + raw, i + raw + 1))) ++raw;
    out.push_back(static_cast<std::uint8_t>(raw - 1));
    out.insert(out.end(), row + i * size, row + (i + raw) * size);
    i += raw;
  }
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const Picture& picture, const PngForm& form) {
  CheckPicture(picture, 0x7fffffff);
  const int d = form.bit_depth;
  const bool low_depth = d == 1 || d == 2 || d == 4;
  const bool indexed_or_grey = form.colour == PngColour::kGrey || form.colour == PngColour::kPalette;
  Require(d == 8 || (d == 16 && form.colour != PngColour::kPalette) || (low_depth && indexed_or_grey),
          "bit depth not allowed for the colour type");
  const Palette palette = form.colour == PngColour::kPalette ? PaletteOf(picture, true, std::size_t{1} << d) : Palette{};

  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  Bytes header;
  PutBe32(header, picture.width);
  PutBe32(header, picture.height);
  header.insert(header.end(), {static_cast<std::uint8_t>(d), static_cast<std::uint8_t>(form.colour), 0, 0,
                               static_cast<std::uint8_t>(form.interlaced ? 1 : 0)});
  PutChunk(out, "IHDR", header);
  if (form.colour == PngColour::kPalette) {
    Bytes plte;
    Bytes trns;
    for (const auto& colour : palette.colours) {
      plte.insert(plte.end(), colour.begin(), colour.begin() + 3);
      trns.push_back(colour[3]);
    }
    // tRNS may stop after the last entry that is not opaque.
    while (!trns.empty() && trns.back() == 255) trns.pop_back();
    PutChunk(out, "PLTE", plte);
    if (!trns.empty()) PutChunk(out, "tRNS", trns);
  }
  const Bytes rows = FilteredRows(picture, palette, form);
  uLongf size = compressBound(static_cast<uLong>(rows.size()));
  Bytes compressed(size);
  Require(compress2(compressed.data(), &size, rows.data(), static_cast<uLong>(rows.size()), Z_BEST_COMPRESSION) == Z_OK,
          "zlib failed");
  compressed.resize(size);
  const std::size_t piece = form.idat_size == 0 ? compressed.size() : form.idat_size;
  for (std::size_t at = 0; at < compressed.size(); at += piece) {
    const std::size_t end = std::min(compressed.size(), at + piece);
    PutChunk(out, "IDAT", Bytes(compressed.begin() + static_cast<std::ptrdiff_t>(at), compressed.begin() + static_cast<std::ptrdiff_t>(end)));
  }
  PutChunk(out, "IEND", {});
  return out;
}

std::vector<std::uint8_t> EncodeTga(const Picture& picture, const TgaForm& form) {
  CheckPicture(picture, 0xffff);
  const int kind = form.image_type & 7;  // 1, 2 or 3; bit 3 marks run-length coding
  Require((form.image_type & ~8) >= 1 && (form.image_type & ~8) <= 3, "unknown TGA image type");
  Require(kind == 1   ? form.bits == 24 || form.bits == 32
          : kind == 2 ? form.bits == 16 || form.bits == 24 || form.bits == 32
                      : form.bits == 8,
          "bits not allowed for the TGA image type");
  Require(form.id.size() <= 255, "TGA image ID longer than 255 bytes");
  const Palette palette = kind == 1 ? PaletteOf(picture, form.bits == 32, 256) : Palette{};
  const int alpha_bits = form.bits == 32 ? 8 : form.bits == 16 ? 1 : 0;

  Bytes out = {static_cast<std::uint8_t>(form.id.size()), static_cast<std::uint8_t>(kind == 1 ? 1 : 0), form.image_type};
  PutLe16(out, 0);  // the first colour map entry
  PutLe16(out, static_cast<std::uint32_t>(palette.colours.size()));
  out.push_back(kind == 1 ? form.bits : 0);
  PutLe16(out, 0);  // x origin
  PutLe16(out, 0);  // y origin
  PutLe16(out, picture.width);
  PutLe16(out, picture.height);
  out.push_back(kind == 2 ? form.bits : 8);
  out.push_back(static_cast<std::uint8_t>(alpha_bits | (form.top_left ? 0x20 : 0)));
  out.insert(out.end(), form.id.begin(), form.id.end());
  for (const auto& colour : palette.colours) PutTgaPixel(out, colour.data(), form.bits);

  const std::size_t pixel_size = kind == 2 ? form.bits / 8u : 1;
  for (std::uint32_t r = 0; r < picture.height; ++r) {
    const std::uint32_t y = form.top_left ? r : picture.height - 1 - r;
    Bytes row;
    for (std::uint32_t x = 0; x < picture.width; ++x) {
      if (kind == 1) {
        row.push_back(palette.indices[std::size_t{y} * picture.width + x]);
      } else if (kind == 3) {
        row.push_back(PixelAt(picture, x, y)[0]);
      } else {
        PutTgaPixel(row, PixelAt(picture, x, y), form.bits);
      }
    }
    if (form.image_type & 8) {
      PutTgaPackets(out, row.data(), picture.width, pixel_size);
    } else {
      out.insert(out.end(), row.begin(), row.end());
    }
  }
  return out;
}

std::vector<std::uint8_t> EncodeBmp(const Picture& picture, const BmpForm& form) {
  CheckPicture(picture, 0x7fff);
  Require(form.bits == 8 || form.bits == 24 || form.bits == 32, "bits not allowed for BMP");
  const Palette palette = form.bits == 8 ? PaletteOf(picture, false, 256) : Palette{};
  const std::uint32_t stride = (picture.width * form.bits + 31) / 32 * 4;
  const std::uint32_t pixels_at = 14 + 40 + 4 * static_cast<std::uint32_t>(palette.colours.size());
  const std::uint32_t image_size = stride * picture.height;

  Bytes out = {'B', 'M'};
  PutLe32(out, pixels_at + image_size);
  PutLe32(out, 0);  // two reserved 16-bit fields
  PutLe32(out, pixels_at);
  PutLe32(out, 40);
  PutLe32(out, picture.width);
  PutLe32(out, form.top_down ? static_cast<std::uint32_t>(-static_cast<std::int32_t>(picture.height)) : picture.height);
  PutLe16(out, 1);  // planes
  PutLe16(out, form.bits);
  PutLe32(out, 0);  // BI_RGB
  PutLe32(out, image_size);
  PutLe32(out, 2835);  // 72 dots an inch, in dots a metre
  PutLe32(out, 2835);
  PutLe32(out, static_cast<std::uint32_t>(palette.colours.size()));
  PutLe32(out, 0);  // every colour important
  for (const auto& colour : palette.colours) out.insert(out.end(), {colour[2], colour[1], colour[0], 0});
  for (std::uint32_t r = 0; r < picture.height; ++r) {
    const std::uint32_t y = form.top_down ? r : picture.height - 1 - r;
    const std::size_t row_start = out.size();
    for (std::uint32_t x = 0; x < picture.width; ++x) {
      const std::uint8_t* p = PixelAt(picture, x, y);
      if (form.bits == 8) {
        out.push_back(palette.indices[std::size_t{y} * picture.width + x]);
        continue;
      }
      out.insert(out.end(), {p[2], p[1], p[0]});
      if (form.bits == 32) out.push_back(p[3]);
    }
    out.resize(row_start + stride, 0);
  }
  return out;
}

std::vector<std::uint8_t> EncodePcx(const Picture& picture) {
  CheckPicture(picture, 0xffff);
  const Palette palette = PaletteOf(picture, false, 256);
  const std::uint32_t bytes_per_line = (picture.width + 1) / 2 * 2;

  Bytes out = {10, 5, 1, 8};  // maker, version 5, run-length coded, 8 bits a pixel
  PutLe16(out, 0);            // the window: x and y from 0 to the last
  PutLe16(out, 0);
  PutLe16(out, picture.width - 1);
  PutLe16(out, picture.height - 1);
  PutLe16(out, 72);  // dots an inch
  PutLe16(out, 72);
  out.resize(out.size() + 48 + 1, 0);  // the 16-colour palette, unused, and a reserved byte
  out.push_back(1);                    // planes
  PutLe16(out, bytes_per_line);
  PutLe16(out, 1);  // a colour palette
  out.resize(128, 0);
  for (std::uint32_t y = 0; y < picture.height; ++y) {
    Bytes row(bytes_per_line, 0);
    std::copy_n(palette.indices.begin() + static_cast<std::ptrdiff_t>(std::size_t{y} * picture.width), picture.width,
                row.begin());
    // A run (up to 63) is a count byte, 0xC0 plus the count, then the byte; a single byte below
    // 0xC0 stands for itself.
    for (std::size_t i = 0; i < row.size();) {
      std::size_t run = 1;
      while (i + run < row.size() && run < 63 && row[i + run] == row[i]) ++run;
      if (run > 1 || row[i] >= 0xC0) out.push_back(static_cast<std::uint8_t>(0xC0 | run));
      out.push_back(row[i]);
      i += run;
    }
  }
  out.push_back(12);
  for (std::size_t i = 0; i < 256; ++i) {
    const bool used = i < palette.colours.size();
    for (std::size_t c = 0; c < 3; ++c) out.push_back(used ? palette.colours[i][c] : 0);
  }
  return out;
}

}  // namespace tarnvick::samples
