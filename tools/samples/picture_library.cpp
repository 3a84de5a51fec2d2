#include "picture_library.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "picture_encoder.h"
#include "texture_encoder.h"
#include "texture_patterns.h"

namespace tarnvick::samples {
namespace {

using Rgba = std::array<std::uint8_t, 4>;

Picture Paint(std::uint32_t w, std::uint32_t h, const std::function<Rgba(std::uint32_t x, std::uint32_t y)>& colour) {
  Picture picture{w, h, {}};
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      const Rgba c = colour(x, y);
      picture.rgba.insert(picture.rgba.end(), c.begin(), c.end());
    }
  }
  return picture;
}

Picture Opaque(std::uint32_t w, std::uint32_t h, const Pattern& pattern) {
  return Paint(w, h, [&](std::uint32_t x, std::uint32_t y) {
    const Rgb c = pattern(x, y);
    return Rgba{c[0], c[1], c[2], 255};
  });
}

// The distance of (x, y) from the middle of a w x h picture, in whole pixels along the larger axis.
int FromMiddle(std::uint32_t x, std::uint32_t y, std::uint32_t w, std::uint32_t h) {
  return std::max(std::abs(2 * static_cast<int>(x) + 1 - static_cast<int>(w)),
                  std::abs(2 * static_cast<int>(y) + 1 - static_cast<int>(h))) / 2;
}

// A grate of rusty bars, 2 pixels wide every 8, over fully transparent holes: 7 colours.
Rgba Grate(std::uint32_t x, std::uint32_t y) {
  if (x % 8 >= 2 && y % 8 >= 2) return {0, 0, 0, 0};
  const Rgb c = Shade({120, 70, 40}, static_cast<int>(Hash(x, y, 21) % 6) * 8 - 20);
  return {c[0], c[1], c[2], 255};
}

// A chain-link fence: one-pixel diagonal wires every 8 pixels. The transparent pixels between
// them are magenta, so that mip levels which let colour under alpha 0 bleed show it as a fringe.
Rgba ChainLink(std::uint32_t x, std::uint32_t y) {
  if ((x + y) % 8 != 0 && (x + 64 - y) % 8 != 0) return {255, 0, 255, 0};
  const Rgb c = Shade({170, 175, 180}, static_cast<int>(Hash(x, y, 22) % 21) - 10);
  return {c[0], c[1], c[2], 255};
}

// A grey stain fading out from the middle.
Rgba Stain(std::uint32_t x, std::uint32_t y) {
  const std::uint8_t grey = Clamp(60 + static_cast<int>(Hash(x, y, 23) % 30));
  return {grey, grey, grey, Clamp(255 - 16 * FromMiddle(x, y, 32, 32))};
}

// Boards 16 pixels high, each of one flat colour with a dark seam below and a joint somewhere
// along it: long runs for run-length coding.
Rgba Planks(std::uint32_t x, std::uint32_t y) {
  const std::uint32_t board = y / 16;
  const std::uint32_t joint = Hash(board, 0, 24) % 128;
  if (y % 16 == 15 || x == joint) return {60, 40, 25, 255};
  const Rgb c = Shade({150, 105, 65}, static_cast<int>(Hash(board, x > joint ? 1 : 0, 25) % 41) - 20);
  return {c[0], c[1], c[2], 255};
}

// A rug of square bands, each of 32 shades of its colour in blocks of 4 pixels along a row: 256
// colours at most, many past index 0xC0, in short runs.
Rgba Rug(std::uint32_t x, std::uint32_t y) {
  static constexpr Rgb kBands[] = {{140, 30, 30}, {200, 160, 60}, {40, 60, 120}, {220, 210, 190},
                                   {90, 20, 50},  {30, 90, 70},   {170, 90, 40}, {60, 40, 30}};
  const int band = FromMiddle(x, y, 64, 64) / 4;
  const Rgb c = Shade(kBands[band], static_cast<int>(Hash(x / 4, y, 26) % 32) * 2 - 32);
  return {c[0], c[1], c[2], 255};
}

// A lamp's face: warm white, dimming towards the rim.
Rgba Lamp(std::uint32_t x, std::uint32_t y) {
  const Rgb c = Shade({255, 235, 170}, -6 * FromMiddle(x, y, 32, 32));
  return {c[0], c[1], c[2], 255};
}

std::vector<std::uint8_t> Text(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<SampleFile> Samples() {
  std::vector<SampleFile> s;
  s.push_back({"mymod/walls/brick.png",
               EncodePng(Opaque(64, 64, Bricks({150, 60, 40}, {190, 185, 170}, 11)),
                         {.colour = PngColour::kRgb, .varied_filters = true, .idat_size = 1024})});
  s.push_back({"mymod/walls/concrete.png",
               EncodePng(Opaque(64, 64, Noise({128, 128, 128}, 40, 12)), {.colour = PngColour::kGrey})});
  s.push_back({"mymod/walls/steel.png", EncodePng(Opaque(64, 32, Gradient({40, 50, 60}, {200, 210, 225}, 64, 32)),
                                                  {.colour = PngColour::kRgb, .bit_depth = 16})});
  s.push_back({"mymod/walls/stone.tga", EncodeTga(Opaque(64, 64, Noise({120, 115, 105}, 25, 14)), {})});
  s.push_back({"mymod/walls/plaster.bmp", EncodeBmp(Opaque(32, 32, Noise({200, 190, 170}, 12, 15)), {})});
  s.push_back({"mymod/floors/tiles.png", EncodePng(Opaque(128, 64, Bricks({200, 200, 195}, {70, 70, 70}, 13)),
                                                   {.colour = PngColour::kRgb, .interlaced = true})});
  s.push_back({"mymod/floors/planks.tga", EncodeTga(Paint(128, 64, Planks), {.image_type = 10, .bits = 32, .top_left = true})});
  s.push_back({"mymod/floors/rug.pcx", EncodePcx(Paint(64, 64, Rug))});
  s.push_back({"mymod/fences/grate.png", EncodePng(Paint(32, 32, Grate), {.colour = PngColour::kPalette, .bit_depth = 4})});
  s.push_back({"mymod/fences/chainlink.png", EncodePng(Paint(64, 64, ChainLink), {.colour = PngColour::kRgba})});
  s.push_back({"mymod/decals/stain.png", EncodePng(Paint(32, 32, Stain), {.colour = PngColour::kGreyAlpha})});
  s.push_back({"mymod/lights/lamp.png", EncodePng(Paint(32, 32, Lamp), {.colour = PngColour::kRgb})});
  s.push_back({"mymod/lights/lamp.wal_json",
               Text("// A ceiling lamp: the surface gives off light of intensity 300.\n"
                    "{\"flags\": \"LIGHT\", \"value\": 300}\n")});
  s.push_back({"mymod/liquids/water.tga",
               EncodeTga(Opaque(64, 64, Noise({30, 80, 140}, 20, 16)), {.image_type = 9, .id = "water"})});
  s.push_back({"mymod/liquids/water.wal_json",
               Text("/* Water: drawn warped and a third opaque; what is below the surface is water. */\n"
                    "{\"flags\": [\"WARP\", \"TRANS33\"], \"contents\": \"WATER\"}\n")});
  // Refused by the converter: sides that are no multiples of 8 (its rows are padded, too).
  s.push_back({"mymod/misc/odd_size.bmp", EncodeBmp(Opaque(62, 62, Noise({90, 120, 90}, 30, 17)), {})});
  return s;
}

}  // namespace

std::vector<std::string> PictureLibraryFiles() { return PathsOf(Samples()); }

bool WritePictureLibrary(const std::string& root) { return WriteSampleFiles(root, Samples()); }

}  // namespace tarnvick::samples
