// PNG, TGA, BMP and PCX files laid out byte by byte from their samples, for the picture decoder's
// tests: independent of the program's own writers, and only as general as the tests need.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tarnvick::testing {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& out, std::uint32_t v) { out.insert(out.end(), {std::uint8_t(v), std::uint8_t(v >> 8)}); }
inline void PutLe32(Bytes& out, std::uint32_t v) { Put16(out, v & 0xFFFF), Put16(out, v >> 16); }
inline void PutBe32(Bytes& out, std::uint32_t v) {
  out.insert(out.end(), {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)});
}

inline void PngChunk(Bytes& out, const std::string& type, const Bytes& data) {
  PutBe32(out, static_cast<std::uint32_t>(data.size()));
  Bytes body(type.begin(), type.end());
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  PutBe32(out, static_cast<std::uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

inline Bytes Deflate(const Bytes& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes out(size);
  compress(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()));
  out.resize(size);
  return out;
}

struct PngForm {
  int colour_type, depth;
  bool interlaced = false;
};

inline int PngChannels(int colour_type) { return colour_type == 2 ? 3 : colour_type == 4 ? 2 : colour_type == 6 ? 4 : 1; }

// The rows of `samples` (channels per pixel, row by row from the top), unfiltered, in Adam7's
// seven passes when interlaced.
inline Bytes PngRows(std::uint32_t w, std::uint32_t h, PngForm form, const std::vector<std::uint16_t>& samples) {
  struct Pass { std::uint32_t x, y, dx, dy; };
  const std::vector<Pass> passes = form.interlaced ? std::vector<Pass>{{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8},
                                                                       {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}
                                                   : std::vector<Pass>{{0, 0, 1, 1}};
  const int channels = PngChannels(form.colour_type);
  Bytes raw;
  for (const Pass& pass : passes) {
    for (std::uint32_t y = pass.y; y < h; y += pass.dy) {
      if (pass.x >= w) break;
      raw.push_back(0);
      unsigned bits = 0, filled = 0;
      for (std::uint32_t x = pass.x; x < w; x += pass.dx) {
        for (int c = 0; c < channels; ++c) {
          const std::uint16_t s = samples[(std::size_t{y} * w + x) * channels + c];
          if (form.depth == 16) raw.insert(raw.end(), {std::uint8_t(s >> 8), std::uint8_t(s)});
          if (form.depth == 8) raw.push_back(std::uint8_t(s));
          if (form.depth >= 8) continue;
          bits = (bits << form.depth) | s, filled += form.depth;
          if (filled == 8) raw.push_back(std::uint8_t(bits)), bits = filled = 0;
        }
      }
      if (filled > 0) raw.push_back(std::uint8_t(bits << (8 - filled)));
    }
  }
  return raw;
}

// A PNG of `samples`, with the chunks of `before_data` (type, then data) ahead of its IDAT.
inline Bytes Png(std::uint32_t w, std::uint32_t h, PngForm form, const std::vector<std::uint16_t>& samples,
                 const std::vector<std::pair<std::string, Bytes>>& before_data = {}) {
  Bytes out = {137, 80, 78, 71, 13, 10, 26, 10}, header;
  PutBe32(header, w), PutBe32(header, h);
  header.insert(header.end(), {std::uint8_t(form.depth), std::uint8_t(form.colour_type), 0, 0, std::uint8_t(form.interlaced)});
  PngChunk(out, "IHDR", header);
  for (const auto& [type, data] : before_data) PngChunk(out, type, data);
  PngChunk(out, "IDAT", Deflate(PngRows(w, h, form, samples)));
  PngChunk(out, "IEND", {});
  return out;
}

// Packets of a TGA's or PCX's run-length coding: runs of equal pixels, else single pixels.
template <typename Put>
void RunsOf(const Bytes& pixels, std::size_t size, std::size_t longest, Put put) {
  for (std::size_t i = 0; i < pixels.size();) {
    std::size_t n = 1;
    while (n < longest && i + (n + 1) * size <= pixels.size() &&
           std::equal(pixels.begin() + i, pixels.begin() + i + size, pixels.begin() + i + n * size)) {
      ++n;
    }
    put(n, pixels.begin() + i);
    i += n * size;
  }
}

// A TGA of `pixels` (`bits` each, in the file's order); `map` is a colour map of 24-bit entries.
inline Bytes Tga(int type, int bits, std::uint8_t descriptor, std::uint16_t w, std::uint16_t h, const Bytes& pixels,
                 const Bytes& map = {}) {
  Bytes out = {2, std::uint8_t(map.empty() ? 0 : 1), std::uint8_t(type)};
  Put16(out, 0), Put16(out, static_cast<std::uint32_t>(map.size() / 3)), out.push_back(map.empty() ? 0 : 24);
  Put16(out, 0), Put16(out, 0), Put16(out, w), Put16(out, h);
  out.insert(out.end(), {std::uint8_t(bits), descriptor, 'i', 'd'});  // with a 2-byte image ID
  out.insert(out.end(), map.begin(), map.end());
  const std::size_t size = (bits + 7) / 8;
  if (type < 9) {
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
  }
  RunsOf(pixels, size, 128, [&](std::size_t n, Bytes::const_iterator p) {
    out.push_back(std::uint8_t(n > 1 ? 0x80 | (n - 1) : 0));
    out.insert(out.end(), p, p + static_cast<std::ptrdiff_t>(size));
  });
  return out;
}

// A BMP with a 40-byte header of `rows` (the file's order: BGR or BGRA), `top_down` or not.
inline Bytes Bmp(int bits, std::int32_t w, std::int32_t h, bool top_down, const Bytes& rows) {
  Bytes out = {'B', 'M'};
  PutLe32(out, static_cast<std::uint32_t>(54 + rows.size())), PutLe32(out, 0), PutLe32(out, 54), PutLe32(out, 40);
  PutLe32(out, static_cast<std::uint32_t>(w)), PutLe32(out, static_cast<std::uint32_t>(top_down ? -h : h));
  Put16(out, 1), Put16(out, static_cast<std::uint32_t>(bits));
  for (int i = 0; i < 6; ++i) PutLe32(out, 0);
  out.insert(out.end(), rows.begin(), rows.end());
  return out;
}

// An 8-bit PCX of `indices`, each line padded to `line_bytes`, with `palette` (768 bytes) at the end.
inline Bytes Pcx(std::uint16_t w, std::uint16_t h, std::uint16_t line_bytes, const Bytes& indices, const Bytes& palette) {
  Bytes out = {10, 5, 1, 8};
  Put16(out, 3), Put16(out, 5), Put16(out, 3 + w - 1), Put16(out, 5 + h - 1);  // from column 3, row 5
  out.resize(65, 0);
  out.push_back(1), Put16(out, line_bytes);
  out.resize(128, 0);
  Bytes lines;
  for (std::size_t y = 0; y < h; ++y) {
    lines.insert(lines.end(), indices.begin() + static_cast<std::ptrdiff_t>(y * w), indices.begin() + static_cast<std::ptrdiff_t>((y + 1) * w));
    lines.resize(lines.size() + line_bytes - w, 0xC7);
  }
  RunsOf(lines, 1, 63, [&](std::size_t n, Bytes::const_iterator p) {
    if (n > 1 || *p >= 0xC0) out.push_back(std::uint8_t(0xC0 | n));
    out.push_back(*p);
  });
  out.push_back(12);
  out.insert(out.end(), palette.begin(), palette.end());
  return out;
}

}  // namespace tarnvick::testing
