// The picture decoder against PNG, TGA, BMP and PCX files laid out byte by byte from known
// samples: every PNG colour type and depth, the TGA image types in both origins, BMP rows either
// way up, PCX runs; and the files it refuses, with their messages.
#include "texture/picture_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <tuple>

#include "texture/picture_builders.h"

namespace tarnvick::testing {
namespace {

std::uint8_t Noise(std::size_t i, int salt) {
  return static_cast<std::uint8_t>((static_cast<std::uint32_t>(i * 2654435761u) ^ (salt * 0x9E3779B9u)) >> 24);
}

struct Form {
  std::string name;
  TextureType kind;
  Bytes file;
  std::uint32_t w, h;
  Bytes rgba;  // what it must decode to, top row first
};

Bytes Palette() {
  Bytes palette;
  for (int k = 0; k < 256; ++k) palette.insert(palette.end(), {std::uint8_t(k * 3), std::uint8_t(255 - k), std::uint8_t(k * 7)});
  return palette;
}

// A PNG of every pixel's samples from Noise, and the colours they stand for.
Form PngCase(PngForm form, std::uint32_t w = 16, std::uint32_t h = 8, bool extra_chunks = false) {
  const int channels = PngChannels(form.colour_type);
  const std::uint32_t top = form.depth == 16 ? 0xFFFF : (1u << form.depth) - 1;
  std::vector<std::uint16_t> samples;
  Bytes rgba;
  for (std::size_t i = 0; i < std::size_t{w} * h; ++i) {
    std::uint8_t eight[4] = {};
    for (int c = 0; c < channels; ++c) {
      const std::uint16_t s = static_cast<std::uint16_t>(((Noise(i, c) << 8) | Noise(i, c + 9)) & top);
      samples.push_back(s);
      eight[c] = form.colour_type == 3 ? std::uint8_t(s) : form.depth == 16 ? std::uint8_t(s >> 8) : std::uint8_t(s * 255 / top);
    }
    if (form.colour_type == 3) {
      rgba.insert(rgba.end(), {std::uint8_t(eight[0] * 3), std::uint8_t(255 - eight[0]), std::uint8_t(eight[0] * 7),
                               std::uint8_t(eight[0] < top / 2 ? eight[0] * 11 : 255)});
    } else if (channels <= 2) {
      rgba.insert(rgba.end(), {eight[0], eight[0], eight[0], channels == 2 ? eight[1] : std::uint8_t(255)});
    } else {
      rgba.insert(rgba.end(), {eight[0], eight[1], eight[2], channels == 4 ? eight[3] : std::uint8_t(255)});
    }
  }
  std::vector<std::pair<std::string, Bytes>> chunks;
  if (form.colour_type == 3) {
    Bytes palette = Palette(), alpha;
    palette.resize(3 * (top + 1));
    for (std::uint32_t k = 0; k < top / 2; ++k) alpha.push_back(std::uint8_t(k * 11));
    chunks = {{"PLTE", palette}, {"tRNS", alpha}};
  }
  if (extra_chunks) {  // colour-space chunks saying anything: ignored
    chunks = {{"gAMA", {0, 0, 0x27, 0x10}}, {"sRGB", {1}}, {"cHRM", Bytes(32, 9)}, {"iCCP", {'p', 0, 0, 0x78, 1, 3, 0}}};
  }
  return {"PNG type " + std::to_string(form.colour_type) + " depth " + std::to_string(form.depth) +
              (form.interlaced ? " interlaced" : "") + (extra_chunks ? " with colour-space chunks" : ""),
          TextureType::kPng, Png(w, h, form, samples, chunks), w, h, rgba};
}

// A TGA whose pixels come from Noise in runs of three, stored in the order `descriptor` gives.
Form TgaCase(int type, int bits, std::uint8_t descriptor, std::uint16_t w = 16, std::uint16_t h = 8) {
  const std::size_t size = (bits + 7) / 8;
  const bool top = descriptor & 0x20, right_to_left = descriptor & 0x10;
  Bytes file(std::size_t{w} * h * size), rgba;
  const Bytes map = type == 1 || type == 9 ? Palette() : Bytes{};
  for (std::size_t y = 0; y < h; ++y) {
    for (std::size_t x = 0; x < w; ++x) {
      const std::size_t i = (y * w + x) / 3;
      const std::uint8_t b = Noise(i, 1), g = Noise(i, 2), r = Noise(i, 3), a = Noise(i, 4);
      const std::size_t at = ((top ? y : h - 1 - y) * w + (right_to_left ? w - 1 - x : x)) * size;
      const std::uint32_t v = 0x8000 | (r & 31) << 10 | (g & 31) << 5 | (b & 31);  // top bit set: no alpha all the same
      if (bits == 8 && map.empty()) rgba.insert(rgba.end(), {g, g, g, 255});
      if (bits == 8 && !map.empty()) rgba.insert(rgba.end(), {map[3 * g + 2], map[3 * g + 1], map[3 * g], 255});
      if (bits == 8) file[at] = g;
      if (bits >= 24) std::copy_n(Bytes{b, g, r, a}.begin(), size, file.begin() + at);
      if (bits >= 24) rgba.insert(rgba.end(), {r, g, b, bits == 32 ? a : std::uint8_t(255)});
      if (bits == 15 || bits == 16) file[at] = std::uint8_t(v), file[at + 1] = std::uint8_t(v >> 8);
      if (bits == 15 || bits == 16) {
        rgba.insert(rgba.end(), {std::uint8_t((r & 31) * 255 / 31), std::uint8_t((g & 31) * 255 / 31),
                                 std::uint8_t((b & 31) * 255 / 31), 255});
      }
    }
  }
  return {"TGA type " + std::to_string(type) + ", " + std::to_string(bits) + " bits, descriptor " + std::to_string(descriptor),
          TextureType::kTga, Tga(type, bits, descriptor, w, h, file, map), w, h, rgba};
}

Form BmpCase(int bits, bool top_down, bool zero_alpha) {
  const std::uint32_t w = 16, h = 8;
  Bytes rows, rgba;
  for (std::size_t y = 0; y < h; ++y) {
    for (std::size_t x = 0; x < w; ++x) {
      const std::size_t i = (top_down ? y : h - 1 - y) * w + x;  // the pixel stored here
      rows.insert(rows.end(), {Noise(i, 5), Noise(i, 6), Noise(i, 7)});
      if (bits == 32) rows.push_back(zero_alpha ? 0 : Noise(i, 8));
    }
  }
  for (std::size_t i = 0; i < w * h; ++i) {
    rgba.insert(rgba.end(), {Noise(i, 7), Noise(i, 6), Noise(i, 5), bits == 32 && !zero_alpha ? Noise(i, 8) : std::uint8_t(255)});
  }
  return {"BMP " + std::to_string(bits) + " bits" + (top_down ? " top-down" : "") + (zero_alpha ? " alpha all 0" : ""),
          TextureType::kBmp, Bmp(bits, w, h, top_down, rows), w, h, rgba};
}

Form PcxCase() {
  const std::uint16_t w = 16, h = 8;
  const Bytes palette = Palette();
  Bytes indices, rgba;
  for (std::size_t i = 0; i < std::size_t{w} * h; ++i) {
    const std::uint8_t index = i % 5 == 0 ? 255 : Noise(i / 4, 1);
    indices.push_back(index);
    rgba.insert(rgba.end(), {palette[3 * index], palette[3 * index + 1], palette[3 * index + 2], std::uint8_t(index == 255 ? 0 : 255)});
  }
  return {"PCX with padded lines", TextureType::kPcx, Pcx(w, h, w + 3, indices, palette), w, h, rgba};
}

std::vector<Form> Forms() {
  std::vector<Form> forms;
  for (const auto& [type, depths] : std::vector<std::pair<int, std::vector<int>>>{
           {0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}}) {
    for (const int depth : depths) {
      for (const bool interlaced : {false, true}) forms.push_back(PngCase({type, depth, interlaced}));
    }
  }
  forms.push_back(PngCase({2, 8}, 16, 8, true));
  std::vector<std::uint16_t> indices;  // 2 bits, into a palette of two entries: the others transparent black
  Bytes short_palette = {10, 20, 30, 40, 50, 60}, rgba;
  for (std::size_t i = 0; i < 64; ++i) {
    indices.push_back(i % 4);
    rgba.insert(rgba.end(), {0, 0, 0, 0});
    if (i % 4 < 2) std::copy_n(short_palette.begin() + 3 * (i % 4), 3, rgba.end() - 4), rgba.back() = 255;
  }
  forms.push_back({"PNG indices past the palette", TextureType::kPng, Png(8, 8, {3, 2}, indices, {{"PLTE", short_palette}}), 8, 8, rgba});
  forms.push_back(PngCase({2, 8}, 8192, 8));
  for (const auto& [type, bits, descriptor] : std::vector<std::tuple<int, int, std::uint8_t>>{
           {1, 8, 0}, {2, 24, 0x20}, {2, 32, 0x08}, {2, 16, 0x20}, {2, 15, 0}, {3, 8, 0},
           {9, 8, 0x20}, {10, 24, 0}, {10, 32, 0x38}, {10, 16, 0}, {11, 8, 0x10}}) {
    forms.push_back(TgaCase(type, bits, descriptor));
  }
  forms.push_back(TgaCase(10, 24, 0x20, 8, 8192));
  for (const auto& [bits, top_down, zero_alpha] :
       std::vector<std::tuple<int, bool, bool>>{{24, false, false}, {32, true, false}, {32, false, true}}) {
    forms.push_back(BmpCase(bits, top_down, zero_alpha));
  }
  forms.push_back(PcxCase());
  return forms;
}

TEST(PictureDecoder, DecodesEachFormToItsKnownPixels) {
  for (const Form& form : Forms()) {
    const Result<std::unique_ptr<Texture>> decoded = DecodePicture(form.kind, form.file);
    ASSERT_TRUE(decoded) << form.name << ": " << decoded.error().detail;
    const Texture& texture = **decoded;
    EXPECT_EQ(texture.type, form.kind) << form.name;
    EXPECT_EQ(texture.bits_per_pixel, 32) << form.name;
    EXPECT_EQ(texture.width, std::vector<std::uint32_t>{form.w}) << form.name;
    EXPECT_EQ(texture.height, std::vector<std::uint32_t>{form.h}) << form.name;
    EXPECT_EQ(texture.byte_extent, static_cast<std::int32_t>(form.rgba.size())) << form.name;
    EXPECT_TRUE(texture.name.empty() && texture.animation_name.empty()) << form.name;
    EXPECT_TRUE(texture.pixels == form.rgba) << form.name;
    std::size_t four_levels = 0;
    for (int level = 0; level < 4; ++level) four_levels += std::size_t{form.w >> level} * (form.h >> level) * 4;
    EXPECT_GE(texture.pixels.capacity(), four_levels) << form.name;
  }
}

struct Refusal {
  std::string name;
  TextureType kind;
  Bytes file;
  std::string detail;
  bool reason_follows = false;  // `detail` is followed by the decoder's own reason
};

std::string SizeRule(const std::string& size) { return "picture is " + size + ": sides must be multiples of 8, from 8 to 8192"; }

TEST(PictureDecoder, RefusesWhatItCannotDecodeWithTheReason) {
  const std::string cannot = "cannot decode picture: ", not_8_bit = "PCX picture is not 8-bit with 256 colours";
  const Bytes png = PngCase({2, 8}).file, tga = TgaCase(2, 24, 0).file, rle_tga = TgaCase(10, 24, 0).file;
  const Bytes bmp = BmpCase(24, false, false).file, pcx = PcxCase().file;
  const auto cut = [](Bytes bytes, std::size_t size) { return bytes.resize(size), bytes; };
  const auto with = [](Bytes bytes, std::initializer_list<std::pair<std::size_t, std::uint8_t>> changes) {
    for (const auto& [at, value] : changes) bytes[at] = value;
    return bytes;
  };
  const auto blank = [](std::uint32_t w, std::uint32_t h, PngForm form) {
    return Png(w, h, form, std::vector<std::uint16_t>(std::size_t{w} * h * PngChannels(form.colour_type)));
  };
  const Bytes short_png = with(blank(8, 4, {6, 8}), {{23, 8}});  // the rows of 4 lines, the header says 8
  const Bytes png_bomb = with(blank(8, 4096, {0, 8}), {{22, 0}, {23, 8}});  // 36 KiB of rows for 72 bytes
  // Image data of one fixed-code block: a literal, then a copy of distance code 30 (stb_image reads a
  // distance of 0 and copies bytes it has not written).
  Bytes far_copy = cut(blank(8, 8, {2, 8}), 33), stream = {0x78, 0x01};
  unsigned bits = 0, filled = 0;
  const auto put = [&](unsigned code, unsigned length, bool reversed) {
    for (unsigned i = 0; i < length; ++i, ++filled) bits |= ((reversed ? code >> (length - 1 - i) : code >> i) & 1) << filled;
  };
  put(3, 3, false), put(0x30, 8, true), put(1, 7, true), put(30, 5, true), put(0, 7, true);
  for (; filled > 0; bits >>= 8, filled = filled > 8 ? filled - 8 : 0) stream.push_back(std::uint8_t(bits));
  PngChunk(far_copy, "IDAT", stream), PngChunk(far_copy, "IEND", {});
  const Bytes short_pcx = with(Pcx(16, 7, 19, Bytes(16 * 7, 3), Palette()), {{10, 12}});
  const Bytes huge_pcx = with(pcx, {{8, 0x02}, {9, 0x20}, {10, 0x04}, {11, 0x20}, {66, 0}, {67, 0x20}});
  const Bytes garbage(100, 'x');
  const std::vector<Refusal> refusals = {
      {"PNG 12 wide", TextureType::kPng, blank(12, 8, {2, 8}), SizeRule("12x8")},
      {"PNG 8200 wide, no pixels", TextureType::kPng, cut(blank(8200, 8, {2, 8}), 33), SizeRule("8200x8")},
      {"PNG 4 high", TextureType::kPng, blank(8, 4, {2, 8}), SizeRule("8x4")},
      {"TGA 16384 high", TextureType::kTga, with(tga, {{15, 0x40}}), SizeRule("16x16392")},
      {"BMP 0 wide", TextureType::kBmp, with(bmp, {{18, 0}}), SizeRule("0x8")},
      {"PCX 7 high", TextureType::kPcx, with(pcx, {{10, 11}}), SizeRule("16x7")},
      {"PNG of garbage", TextureType::kPng, garbage, cannot + "not a PNG file"},
      {"BMP of garbage", TextureType::kBmp, garbage, cannot + "not a BMP file"},
      {"TGA of garbage", TextureType::kTga, garbage, cannot + "not a TGA file of image type 1, 2, 3, 9, 10 or 11"},
      {"PNG named BMP", TextureType::kBmp, png, cannot + "not a BMP file"},
      {"BMP named TGA", TextureType::kTga, bmp, cannot + "not a TGA file of image type 1, 2, 3, 9, 10 or 11"},
      {"PNG named TGA", TextureType::kTga, png, cannot + "not a TGA file of image type 1, 2, 3, 9, 10 or 11"},
      {"PNG cut short", TextureType::kPng, cut(png, png.size() - 30), cannot + "PNG chunk runs past the end of the file"},
      {"PNG without IEND", TextureType::kPng, cut(png, png.size() - 12), cannot + "PNG ends before its IEND chunk"},
      {"PNG 8x8 with 4 lines", TextureType::kPng, short_png, cannot + "PNG image data ends early"},
      {"PNG copying from distance code 30", TextureType::kPng, far_copy, cannot + "PNG image data is corrupt: invalid distance code"},
      {"PNG of 16-bit indices", TextureType::kPng, with(png, {{24, 16}, {25, 3}}),
       cannot + "PNG of colour type 3 with 16-bit samples is not valid"},
      {"PNG from an iPhone", TextureType::kPng, Png(8, 8, {2, 8}, std::vector<std::uint16_t>(8 * 8 * 3), {{"CgBI", Bytes(4)}}),
       cannot + "unknown critical PNG chunk CgBI"},
      {"PNG inflating past its size", TextureType::kPng, png_bomb, cannot + "PNG image data holds more than the picture"},
      {"TGA cut short", TextureType::kTga, cut(tga, tga.size() - 1), cannot + "TGA pixel data ends early"},
      {"TGA runs cut short", TextureType::kTga, cut(rle_tga, rle_tga.size() - 1), cannot + "TGA pixel data ends early"},
      {"TGA of 24-bit grey", TextureType::kTga, with(tga, {{2, 3}}), cannot + "TGA image type 3 with 24-bit pixels is not supported"},
      {"BMP run-length coded", TextureType::kBmp, with(bmp, {{30, 1}}), cannot, true},
      {"BMP cut short", TextureType::kBmp, cut(bmp, bmp.size() - 1), cannot + "BMP pixel data ends early"},
      {"PCX 4-bit", TextureType::kPcx, with(pcx, {{3, 4}}), not_8_bit},
      {"PCX of 3 planes", TextureType::kPcx, with(pcx, {{65, 3}}), not_8_bit},
      {"PCX without its palette mark", TextureType::kPcx, with(pcx, {{pcx.size() - 769, 0}}), not_8_bit},
      {"PCX of garbage", TextureType::kPcx, garbage, not_8_bit},
      {"PCX runs cut short", TextureType::kPcx, short_pcx, cannot + "run-length data ends early"},
      {"PCX of 8192x8192 in a few bytes", TextureType::kPcx, huge_pcx, cannot + "run-length data ends early"},
  };
  for (const Refusal& refusal : refusals) {
    const Result<std::unique_ptr<Texture>> decoded = DecodePicture(refusal.kind, refusal.file);
    ASSERT_FALSE(decoded) << refusal.name;
    EXPECT_EQ(decoded.error().kind, ErrorKind::kBadPicture) << refusal.name;
    const std::string& detail = decoded.error().detail;
    if (refusal.reason_follows) {
      EXPECT_TRUE(detail.starts_with(refusal.detail) && detail.size() > refusal.detail.size()) << refusal.name << ": " << detail;
    } else {
      EXPECT_EQ(detail, refusal.detail) << refusal.name;
    }
  }
}

TEST(PictureDecoder, KnowsPicturesByTheirExtensionInAnyCase) {
  const std::vector<std::pair<std::string, std::optional<TextureType>>> names = {
      {"a.png", TextureType::kPng}, {"b.PNG", TextureType::kPng}, {"c.d.Tga", TextureType::kTga},
      {"e.bMp", TextureType::kBmp}, {"f.PCX", TextureType::kPcx}, {"g.m32", std::nullopt},
      {"png", std::nullopt},        {"h.png.bak", std::nullopt},  {"i.pn", std::nullopt}, {"j.pngx", std::nullopt}};
  for (const auto& [name, kind] : names) EXPECT_EQ(PictureKindOf(name), kind) << name;
}

}  // namespace
}  // namespace tarnvick::testing
