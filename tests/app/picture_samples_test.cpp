// The sample generator's PNG encoder, read back by libpng against the pixels given (its TGA, BMP
// and PCX forms are read back through the converter in the pictures tests); and
// `tarnvick-samples --pictures`, which must write its library of pictures, each readable.
#include "picture_encoder.h"
#include "picture_library.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

#include "support/png_reader.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_TGA
#define STBI_ONLY_BMP
#include "stb_image.h"

namespace tarnvick::testing {
namespace {

using samples::Picture;
using samples::PngColour;
using Bytes = std::vector<std::uint8_t>;

std::uint32_t Mix(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
  std::uint32_t h = (x + 1) * 2654435761u ^ (y + 7) * 40503u ^ seed * 977u;
  return h ^ (h >> 15);
}

// A test picture of at most `colours` distinct colours (0: any bytes), its rows in turn of a new
// colour each pixel, of one colour, and in runs of 3; grey when asked (red = green = blue), with
// varied alpha when asked (else opaque).
Picture TestPicture(std::uint32_t w, std::uint32_t h, std::uint32_t colours, bool grey, bool alpha) {
  Picture picture{w, h, {}};
  for (std::uint32_t y = 0; y < h; ++y) {
    const std::uint32_t run = y % 3 == 0 ? 1 : y % 3 == 1 ? w : 3;
    for (std::uint32_t x = 0; x < w; ++x) {
      const std::uint32_t k = Mix(x / run, y, 5) % (colours == 0 ? 1u << 24 : colours);
      const auto r = static_cast<std::uint8_t>(colours == 0 ? k : k * 255 / std::max(colours - 1, 1u));
      const auto g = grey ? r : static_cast<std::uint8_t>(colours == 0 ? k >> 8 : 255 - k);
      const auto b = grey ? r : static_cast<std::uint8_t>(colours == 0 ? k >> 16 : k * 7 + 3);
      picture.rgba.insert(picture.rgba.end(), {r, g, b, static_cast<std::uint8_t>(alpha ? Mix(k, 0, 9) | 1 : 255)});
    }
  }
  return picture;
}

// What libpng must give for `picture` in `form`, from the PNG format's rules alone.
Bytes ExpectedSamples(const Picture& picture, const samples::PngForm& form) {
  bool transparent = false;
  for (std::size_t p = 3; p < picture.rgba.size(); p += 4) transparent |= picture.rgba[p] != 255;
  Bytes out;
  for (std::size_t p = 0; p < picture.rgba.size(); p += 4) {
    const std::uint8_t* c = &picture.rgba[p];
    Bytes channels;
    switch (form.colour) {
      case PngColour::kGrey: channels = {c[0]}; break;
      case PngColour::kGreyAlpha: channels = {c[0], c[3]}; break;
      case PngColour::kRgb: channels = {c[0], c[1], c[2]}; break;
      case PngColour::kRgba: channels = {c[0], c[1], c[2], c[3]}; break;
      case PngColour::kPalette: channels = transparent ? Bytes{c[0], c[1], c[2], c[3]} : Bytes{c[0], c[1], c[2]}; break;
    }
    for (std::uint8_t v : channels) {
      const int d = form.bit_depth;
      if (d == 16) {
        out.insert(out.end(), {v, static_cast<std::uint8_t>(v ^ 0x80)});
      } else if (d < 8 && form.colour == PngColour::kGrey) {
        out.push_back(static_cast<std::uint8_t>((v >> (8 - d)) * 255 / ((1 << d) - 1)));
      } else {
        out.push_back(v);
      }
    }
  }
  return out;
}

TEST(PictureSamples, PngOfEveryColourTypeDepthAndInterlaceReadsBackByLibpng) {
  const struct {
    samples::PngForm form;
    std::uint32_t w, h, colours;
    bool alpha;
  } cases[] = {
      {{PngColour::kGrey, 8}, 13, 11, 0, false},
      {{PngColour::kGrey, 16, true}, 13, 11, 0, false},
      {{PngColour::kGrey, 1}, 13, 11, 2, false},
      {{PngColour::kGrey, 2, true}, 13, 11, 4, false},
      {{PngColour::kGrey, 4, false, true}, 13, 11, 16, false},
      {{PngColour::kRgb, 8, false, true, 40}, 13, 11, 0, false},
      {{PngColour::kRgb, 16}, 13, 11, 0, false},
      {{PngColour::kRgb, 8, true}, 1, 1, 0, false},
      {{PngColour::kPalette, 8}, 13, 11, 200, true},
      {{PngColour::kPalette, 8, true, true}, 13, 11, 60, false},
      {{PngColour::kPalette, 1}, 13, 11, 2, false},
      {{PngColour::kPalette, 2, true}, 3, 2, 4, true},
      {{PngColour::kPalette, 4}, 13, 11, 16, true},
      {{PngColour::kGreyAlpha, 8, false, true}, 13, 11, 0, true},
      {{PngColour::kGreyAlpha, 16, true}, 13, 11, 0, true},
      {{PngColour::kRgba, 8, true, true}, 13, 11, 0, true},
      {{PngColour::kRgba, 16, false, true, 100}, 13, 11, 0, true},
  };
  for (const auto& c : cases) {
    const bool grey = c.form.colour == PngColour::kGrey || c.form.colour == PngColour::kGreyAlpha;
    SCOPED_TRACE(::testing::Message() << "colour type " << int(c.form.colour) << ", depth " << c.form.bit_depth
                                      << ", interlaced " << c.form.interlaced << ", " << c.w << " x " << c.h);
    const Picture picture = TestPicture(c.w, c.h, c.colours, grey, c.alpha);
    const PngSamples read = ReadPngSamples(samples::EncodePng(picture, c.form));
    ASSERT_EQ(read.width, c.w);
    EXPECT_EQ(read.height, c.h);
    EXPECT_EQ(read.colour_type, int(c.form.colour));
    EXPECT_EQ(read.bit_depth, c.form.bit_depth);
    EXPECT_EQ(read.interlaced, c.form.interlaced);
    EXPECT_EQ(read.samples, ExpectedSamples(picture, c.form));
  }
}

// The RGBA pixels stb_image reads from `bytes`, with their size; none when it cannot.
Bytes ReadByStb(const Bytes& bytes, int& w, int& h) {
  int channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &channels, 4);
  if (pixels == nullptr) {
    w = h = 0;
    return {};
  }
  const Bytes read(pixels, pixels + 4 * std::size_t(w) * std::size_t(h));
  stbi_image_free(pixels);
  return read;
}

TEST(PictureSamples, TheProgramWritesThePictureLibraryEveryPictureReadable) {
  TempDir dir;
  const ProgramResult result = RunTarnvick({"--pictures", "textures"}, {.program = TARNVICK_SAMPLES_BINARY, .working_directory = dir.path()});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out + result.err, "");
  // Path, width and height; sides are multiples of 8 but for the one the converter refuses.
  const std::map<std::string, std::pair<int, int>> pictures = {
      {"mymod/decals/stain.png", {32, 32}},  {"mymod/fences/chainlink.png", {64, 64}}, {"mymod/fences/grate.png", {32, 32}},
      {"mymod/floors/planks.tga", {128, 64}}, {"mymod/floors/rug.pcx", {64, 64}},       {"mymod/floors/tiles.png", {128, 64}},
      {"mymod/lights/lamp.png", {32, 32}},   {"mymod/liquids/water.tga", {64, 64}},     {"mymod/misc/odd_size.bmp", {62, 62}},
      {"mymod/walls/brick.png", {64, 64}},   {"mymod/walls/concrete.png", {64, 64}},    {"mymod/walls/plaster.bmp", {32, 32}},
      {"mymod/walls/steel.png", {64, 32}},   {"mymod/walls/stone.tga", {64, 64}},
  };
  const std::map<std::string, nlohmann::json> metadata = {
      {"mymod/lights/lamp.wal_json", {{"flags", "LIGHT"}, {"value", 300}}},
      {"mymod/liquids/water.wal_json", {{"flags", {"WARP", "TRANS33"}}, {"contents", "WATER"}}},
  };
  std::vector<std::string> written;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir / "textures")) {
    if (entry.is_regular_file()) written.push_back(entry.path().lexically_relative(dir / "textures").generic_string());
  }
  std::sort(written.begin(), written.end());
  std::vector<std::string> expected;
  for (const auto& [path, size] : pictures) expected.push_back(path);
  for (const auto& [path, json] : metadata) expected.push_back(path);
  std::sort(expected.begin(), expected.end());
  ASSERT_EQ(written, expected);
  std::vector<std::string> listed = samples::PictureLibraryFiles();
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, expected);

  for (const auto& [path, size] : pictures) {
    SCOPED_TRACE(path);
    const Bytes bytes = ReadBytes(dir / ("textures/" + path));
    int w = 0, h = 0;
    if (path.ends_with(".png")) {
      const PngSamples png = ReadPngSamples(bytes);
      w = int(png.width), h = int(png.height);
    } else if (path.ends_with(".pcx")) {
      // The window's far corner, from a corner at 0, 0.
      w = (bytes[8] | bytes[9] << 8) + 1, h = (bytes[10] | bytes[11] << 8) + 1;
    } else {
      ReadByStb(bytes, w, h);
    }
    EXPECT_EQ(std::make_pair(w, h), size);
  }
  for (const auto& [path, json] : metadata) {
    EXPECT_EQ(nlohmann::json::parse(ReadText(dir / ("textures/" + path)), nullptr, true, true), json) << path;
  }
}

}  // namespace
}  // namespace tarnvick::testing
