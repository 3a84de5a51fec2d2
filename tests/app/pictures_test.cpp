// Pictures as sources (PNG, TGA, BMP, PCX), their mip levels made in linear light with their
// coverage kept, M8 and M32 levels made the same way, and the .wal_json beside a source: each
// WAL against the one computed here from the known pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "picture_encoder.h"
#include "support/pak_files.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/texture_pairs.h"

namespace tarnvick::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
using samples::Picture;

// Greys 0 to 254, and entry 255 black again, so that no opaque pixel ever takes it.
Bytes GreyPalette() {
  Bytes palette(768);
  for (int i = 0; i < 255; ++i) std::fill_n(palette.begin() + 3 * i, 3, static_cast<std::uint8_t>(i));
  return palette;
}

// The four levels of a WAL made from `level0` (w x h, 4 bytes a pixel) as the rule says, written
// the plain way: each pixel from its own block, the light table from its formula, the opaque
// pixels of a level chosen by a stable sort of their blocks' counts and sums.
std::vector<std::array<std::uint8_t, 4>> RuleLevels(const Picture& level0, bool transparent) {
  std::array<double, 256> light{};
  for (int c = 0; c < 256; ++c) {
    const double x = c / 255.0;
    light[c] = std::round(65535 * (x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4)));
  }
  const std::uint32_t w = level0.width, h = level0.height;
  const auto at = [&](std::uint32_t x, std::uint32_t y) { return level0.rgba.data() + 4 * (std::size_t{y} * w + x); };
  std::vector<std::array<std::uint8_t, 4>> out;
  std::size_t opaque0 = 0;
  for (std::uint32_t i = 0; i < w * h; ++i) {
    const std::uint8_t* p = level0.rgba.data() + 4 * i;
    out.push_back({p[0], p[1], p[2], p[3]});
    opaque0 += p[3] >= 128;
  }
  for (int level = 1; level < 4; ++level) {
    const std::uint32_t side = 1u << level, lw = w >> level, lh = h >> level;
    std::vector<std::array<std::uint8_t, 4>> pixels;
    std::vector<std::pair<long, long>> keys;  // opaque texels, alpha sum
    for (std::uint32_t y = 0; y < lh; ++y) {
      for (std::uint32_t x = 0; x < lw; ++x) {
        long count = 0, sum = 0;
        for (std::uint32_t by = 0; by < side; ++by) {
          for (std::uint32_t bx = 0; bx < side; ++bx) {
            count += at(x * side + bx, y * side + by)[3] >= 128;
            sum += at(x * side + bx, y * side + by)[3];
          }
        }
        std::array<std::uint8_t, 4> pixel{0, 0, 0, 255};
        for (int channel = 0; channel < 3; ++channel) {
          std::uint64_t weighted = 0, weights = 0;
          for (std::uint32_t by = 0; by < side; ++by) {
            for (std::uint32_t bx = 0; bx < side; ++bx) {
              const std::uint8_t* texel = at(x * side + bx, y * side + by);
              const std::uint64_t weight = transparent && sum > 0 ? texel[3] : 1;
              weighted += weight * static_cast<std::uint64_t>(light[texel[channel]]);
              weights += weight;
            }
          }
          const std::uint64_t mean = (weighted + weights / 2) / weights;
          int best = 0;
          for (int c = 1; c < 256; ++c) {
            if (std::abs(light[c] - static_cast<double>(mean)) < std::abs(light[best] - static_cast<double>(mean))) best = c;
          }
          pixel[channel] = static_cast<std::uint8_t>(best);
        }
        pixels.push_back(pixel);
        keys.emplace_back(count, sum);
      }
    }
    if (transparent) {
      const std::size_t n = pixels.size(), opaque = (opaque0 * n + w * h / 2) / (w * h);
      std::vector<std::size_t> order(n);
      std::iota(order.begin(), order.end(), 0);
      std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return keys[a] > keys[b]; });
      for (std::size_t rank = 0; rank < n; ++rank) pixels[order[rank]][3] = rank < opaque ? 255 : 0;
    }
    out.insert(out.end(), pixels.begin(), pixels.end());
  }
  return out;
}

// The WAL of `level0` named `name`, against `palette`, as the rule makes it.
Bytes RuleWal(const Picture& level0, bool transparent, const std::string& name, const Bytes& palette,
              std::uint32_t flags = 0, std::uint32_t contents = 0, std::uint32_t value = 0) {
  const auto levels = RuleLevels(level0, transparent);
  WalContent content{name, "", level0.width, level0.height, flags, contents, value, {}};
  for (const auto& pixel : levels) content.pixels.push_back({pixel[0], pixel[1], pixel[2]});
  Bytes wal = ExpectedWal(content, palette);
  for (std::size_t i = 0; i < levels.size(); ++i) {
    if (transparent && levels[i][3] < 128) wal[100 + i] = 255;
  }
  return wal;
}

// A w x h picture of noise from `seed`; `grey` makes red, green and blue one, `alpha` keeps the
// noise's alpha (else 255), and `colours` (when not 0) takes that many colours only.
Picture Noise(std::uint32_t w, std::uint32_t h, std::uint32_t seed, bool grey, bool alpha, int colours = 0) {
  Picture picture{w, h, NoiseBytes(std::size_t{4} * w * h, seed)};
  const Bytes few = NoiseBytes(4 * 16, seed + 1);
  for (std::size_t i = 0; i < std::size_t{w} * h; ++i) {
    std::uint8_t* p = picture.rgba.data() + 4 * i;
    if (colours > 0) std::copy_n(few.begin() + 4 * (p[0] % colours), 4, p);
    if (grey) p[1] = p[2] = p[0];
    if (!alpha) p[3] = 255;
  }
  return picture;
}

TEST(Pictures, EveryFormDecodesToItsPixelsAndConvertsByTheRule) {
  using samples::BmpForm;
  using samples::PngColour;
  using samples::PngForm;
  using samples::TgaForm;
  const Bytes palette = GreyPalette();
  // A 16-bit TGA holds 5 bits a channel: its pixels here are those a 5-bit channel gives back.
  Picture five = Noise(16, 16, 30, false, false);
  for (std::size_t i = 0; i < five.rgba.size(); ++i) {
    if (i % 4 != 3) five.rgba[i] = static_cast<std::uint8_t>((five.rgba[i] >> 3) * 255 / 31);
  }
  const Picture rgba = Noise(16, 16, 31, false, true), rgb = Noise(16, 8, 32, false, false);
  const Picture grey = Noise(8, 16, 33, true, false), grey_alpha = Noise(16, 16, 34, true, true);
  const Picture few = Noise(16, 16, 35, false, true, 12), few_opaque = Noise(24, 16, 36, false, false, 12);
  const struct {
    std::string file;
    Picture pixels;
    Bytes bytes;
  } forms[] = {
      {"png/grey.png", grey, samples::EncodePng(grey, {PngColour::kGrey})},
      {"png/grey16.png", grey, samples::EncodePng(grey, {PngColour::kGrey, 16})},
      {"png/rgb.png", rgb, samples::EncodePng(rgb, {PngColour::kRgb, 8, false, true, 64})},
      {"png/rgb_interlaced.png", rgb, samples::EncodePng(rgb, {PngColour::kRgb, 8, true})},
      {"png/palette.png", few, samples::EncodePng(few, {PngColour::kPalette, 4})},
      {"png/grey_alpha.png", grey_alpha, samples::EncodePng(grey_alpha, {PngColour::kGreyAlpha})},
      {"png/rgba.png", rgba, samples::EncodePng(rgba, {PngColour::kRgba})},
      {"png/rgba16_interlaced.png", rgba, samples::EncodePng(rgba, {PngColour::kRgba, 16, true})},
      {"tga/mapped.tga", few_opaque, samples::EncodeTga(few_opaque, {1, 24})},
      {"tga/rgb.tga", rgb, samples::EncodeTga(rgb, {2, 24})},
      {"tga/rgba_top.tga", rgba, samples::EncodeTga(rgba, {2, 32, true, "id"})},
      {"tga/five.tga", five, samples::EncodeTga(five, {2, 16})},
      {"tga/grey.tga", grey, samples::EncodeTga(grey, {3, 8})},
      {"tga/mapped_rle.tga", few, samples::EncodeTga(few, {9, 32, true})},
      {"tga/rgba_rle.tga", rgba, samples::EncodeTga(rgba, {10, 32})},
      {"tga/grey_rle.tga", grey, samples::EncodeTga(grey, {11, 8, true})},
      {"bmp/rgb.bmp", rgb, samples::EncodeBmp(rgb, {24})},
      {"bmp/rgba_top.bmp", rgba, samples::EncodeBmp(rgba, {32, true})},
      {"bmp/mapped.bmp", few_opaque, samples::EncodeBmp(few_opaque, {8})},
      {"pcx/few.pcx", few_opaque, samples::EncodePcx(few_opaque)},
  };
  TempDir dir;
  WriteBytes(dir / "p.pal", palette);
  for (const auto& form : forms) WriteBytes(dir / ("lib/" + form.file), form.bytes);
  for (const bool transparent : {false, true}) {
    std::vector<std::string> arguments = {"lib", "-s", "-pp.pal", "--pictures"};
    if (transparent) arguments.push_back("--transparent");
    const ProgramResult result = RunTarnvick(arguments, {.working_directory = dir.path()});
    EXPECT_EQ(result.err, "") << transparent;
    EXPECT_EQ(result.exit_code, 0) << transparent;
    for (const auto& form : forms) {
      const std::string wal = form.file.substr(0, form.file.rfind('.')) + ".wal";
      EXPECT_EQ(ReadBytes(dir / ("lib/" + wal)), RuleWal(form.pixels, transparent, wal.substr(0, wal.size() - 4), palette))
          << form.file << (transparent ? ", --transparent" : "");
    }
  }
}

TEST(Pictures, LevelsKeepTheirLightAndTheirCoverage) {
  const Bytes palette = GreyPalette();
  // A black-and-white checkerboard of single pixels: its mean light is mid-grey 188, not 128.
  Picture board{16, 16, Bytes(16 * 16 * 4, 255)};
  for (std::size_t i = 0; i < 256; ++i) std::fill_n(board.rgba.begin() + 4 * i, 3, ((i % 16 + i / 16) % 2) * 255);
  // A fence: one-pixel wires every fourth row and column, nothing between them.
  Picture fence{32, 32, Bytes(32 * 32 * 4, 0)};
  std::size_t wires = 0;
  for (std::size_t i = 0; i < 32 * 32; ++i) {
    if (i % 4 == 0 || (i / 32) % 4 == 0) {
      std::fill_n(fence.rgba.begin() + 4 * i, 4, 200);
      ++wires;
    }
  }
  TempDir dir;
  WriteBytes(dir / "p.pal", palette);
  WriteBytes(dir / "lib/board.png", samples::EncodePng(board, {samples::PngColour::kGrey}));
  WriteBytes(dir / "lib/fence.png", samples::EncodePng(fence, {samples::PngColour::kRgba}));
  const ProgramResult result =
      RunTarnvick({"lib", "-pp.pal", "--pictures", "--transparent"}, {.working_directory = dir.path()});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const Bytes board_wal = ReadBytes(dir / "lib/board.wal"), fence_wal = ReadBytes(dir / "lib/fence.wal");
  ASSERT_EQ(board_wal.size(), 100u + 256 + 64 + 16 + 4);
  for (std::size_t i = 100 + 256; i < board_wal.size(); ++i) EXPECT_EQ(board_wal[i], 188) << i;
  ASSERT_EQ(fence_wal.size(), 100u + 1024 + 256 + 64 + 16);
  std::size_t first = 100;
  for (std::size_t level = 0, pixels = 1024; level < 4; first += pixels, pixels /= 4, ++level) {
    const auto kept = static_cast<std::size_t>(
        std::count_if(fence_wal.begin() + static_cast<std::ptrdiff_t>(first),
                      fence_wal.begin() + static_cast<std::ptrdiff_t>(first + pixels), [](std::uint8_t i) { return i != 255; }));
    EXPECT_EQ(kept, (wires * pixels + 512) / 1024) << "level " << level;
    EXPECT_GT(kept, 0u) << "level " << level;
  }
  EXPECT_EQ(fence_wal, RuleWal(fence, true, "fence", palette));
}

}  // namespace
}  // namespace tarnvick::testing
