#include "app/preview.h"

#include <algorithm>

#include "app/caption_font.h"
#include "app/console.h"
#include "io/file_ref.h"
#include "texture/png_encoder.h"

namespace tarnvick {
namespace {

// The two greys of the checkerboard that shows transparent pixels, in squares of 8.
constexpr std::uint8_t kChecker[2][3] = {{153, 153, 153}, {102, 102, 102}};

// Level 0 of a w x h image scaled into a kHalf x kHalf square; `colour_at(i)` gives the three
// colour bytes of pixel i, or null for a transparent pixel.
template <typename ColourAt>
std::vector<std::uint8_t> Scale(std::uint64_t w, std::uint64_t h, ColourAt colour_at) {
  constexpr std::uint64_t kSide = Preview::kHalf;
  std::vector<std::uint8_t> rgb(3 * kSide * kSide, 0);
  const std::uint64_t m = std::max(w, h);
  if (m == 0) return rgb;
  const std::uint64_t width = std::max<std::uint64_t>(1, w * kSide / m);
  const std::uint64_t height = std::max<std::uint64_t>(1, h * kSide / m);
  for (std::uint64_t y = 0; y < height; ++y) {
    for (std::uint64_t x = 0; x < width; ++x) {
      const std::uint8_t* colour = colour_at((y * h / height) * w + x * w / width);
      if (colour == nullptr) colour = kChecker[(x / 8 + y / 8) % 2];
      std::copy_n(colour, 3, rgb.begin() + static_cast<std::ptrdiff_t>(3 * (y * kSide + x)));
    }
  }
  return rgb;
}

constexpr std::uint8_t kStripColour[3] = {40, 40, 40};
constexpr std::uint8_t kTextColour[3] = {230, 230, 230};
constexpr std::size_t kTextInset = 4;  // the text starts this far right of and below the strip's corner

}  // namespace

std::string Preview::Caption(const Tile& tile) {
  std::string text = PsnrText(tile.error) + " dB  " + tile.label;
  if (text.size() > kCaptionCharacters) text = "..." + text.substr(text.size() - (kCaptionCharacters - 3));
  for (char& c : text) {
    // Paths show '/' on every system, so the picture is the same wherever it is made.
    if (IsSeparator(c)) c = '/';
    if (c < ' ' || c > '~') c = '?';
  }
  return text;
}

Preview::Tile Preview::MakeTile(const Texture& source, const WalTexture& wal, const Palette& palette, bool transparent) {
  Tile tile;
  tile.error = MeasureError(source, wal, palette, transparent);
  const bool alpha = transparent && source.bits_per_pixel == 32;  // M32 pixels may be transparent
  tile.source = Scale(wal.width, wal.height, [&](std::uint64_t i) -> const std::uint8_t* {
    return alpha && source.pixels[4 * i + 3] < kOpaqueAlpha ? nullptr : source.Colour(i);
  });
  tile.wal = Scale(wal.width, wal.height, [&](std::uint64_t i) -> const std::uint8_t* {
    return transparent && wal.pixels[i] == kTransparentIndex ? nullptr : palette.data() + 3 * wal.pixels[i];
  });
  return tile;
}

void Preview::Offer(Tile tile) {
  const auto place = std::upper_bound(tiles_.begin(), tiles_.end(), tile,
                                      [](const Tile& a, const Tile& b) { return LargerMeanError(a.error, b.error); });
  if (place == tiles_.end() && tiles_.size() >= kMostTiles) return;
  tiles_.insert(place, std::move(tile));
  if (tiles_.size() > kMostTiles) tiles_.pop_back();
}

Result<std::vector<std::uint8_t>> Preview::Encode(const Palette& palette) const {
  const std::size_t rows = kBand + kTileHeight * ((tiles_.size() + 3) / 4);
  std::vector<std::uint8_t> image(3 * kWidth * rows, 0);
  const auto put = [&](std::size_t x, std::size_t y, const std::uint8_t* colour) {
    std::copy_n(colour, 3, image.begin() + static_cast<std::ptrdiff_t>(3 * (y * kWidth + x)));
  };
  for (std::size_t entry = 0; entry < kPaletteEntries; ++entry) {
    for (std::size_t dy = 0; dy < 8; ++dy) {
      for (std::size_t dx = 0; dx < 8; ++dx) put((entry % 16) * 8 + dx, (entry / 16) * 8 + dy, palette.data() + 3 * entry);
    }
  }
  for (std::size_t k = 0; k < tiles_.size(); ++k) {
    const std::size_t left = (k % 4) * 2 * kHalf;
    const std::size_t top = kBand + (k / 4) * kTileHeight;
    for (std::size_t y = 0; y < kCaption; ++y) {
      for (std::size_t x = 0; x < 2 * kHalf; ++x) put(left + x, top + y, kStripColour);
    }
    const std::string caption = Caption(tiles_[k]);
    for (std::size_t i = 0; i < caption.size(); ++i) {
      const std::array<std::uint8_t, 8>& glyph = CaptionGlyph(caption[i]);
      for (std::size_t y = 0; y < 8; ++y) {
        for (std::size_t x = 0; x < 8; ++x) {
          if ((glyph[y] >> x) & 1) put(left + kTextInset + 8 * i + x, top + kTextInset + y, kTextColour);
        }
      }
    }
    for (std::size_t y = 0; y < kHalf; ++y) {
      for (std::size_t x = 0; x < kHalf; ++x) {
        put(left + x, top + kCaption + y, tiles_[k].source.data() + 3 * (y * kHalf + x));
        put(left + kHalf + x, top + kCaption + y, tiles_[k].wal.data() + 3 * (y * kHalf + x));
      }
    }
  }
  return EncodePng({kWidth, static_cast<std::uint32_t>(rows), image, {}});
}

}  // namespace tarnvick
